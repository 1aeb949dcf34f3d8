#include "devtools.h"

#include <chrono>
#include <stdexcept>

namespace tarnwell::browser {
namespace {

// Generous for a loaded CI machine; a command that needs longer is stuck.
constexpr int kCallTimeoutMs = 30000;

std::vector<std::weak_ptr<DevTools>>& Registry() {
  static std::vector<std::weak_ptr<DevTools>> browsers;
  return browsers;
}

}  // namespace

DevTools::DevTools(const std::vector<std::string>& extraArguments) : pipe_(extraArguments) {}

int64_t DevTools::Send(const std::string& method, const Json& params, const std::string& session) {
  Json message = {{"id", ++lastId_}, {"method", method}, {"params", params}};
  if (!session.empty()) message["sessionId"] = session;
  pipe_.Send(message.dump());
  return lastId_;
}

Json DevTools::Call(const std::string& method, const Json& params, const std::string& session) {
  const int64_t id = Send(method, params, session);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
  for (;;) {
    std::string text;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !pipe_.Receive(text, static_cast<int>(left.count())))
      throw std::runtime_error("chromium: no answer to " + method);
    Json message = Json::parse(text, nullptr, false);
    if (message.is_discarded()) continue;
    if (message.value("id", int64_t{-1}) != id) {
      // A paused request holds the page, and with it the answer we wait for: it is served
      // now, ahead of what is queued.
      if (message.value("method", std::string()) == "Fetch.requestPaused")
        Dispatch(message);
      else
        inbox_.push_back(std::move(message));
      continue;
    }
    if (message.contains("error"))
      throw std::runtime_error("chromium: " + method + " failed: " + message["error"].dump());
    return message.value("result", Json::object());
  }
}

void DevTools::Post(const std::string& method, const Json& params, const std::string& session, Answer answer) {
  const int64_t id = Send(method, params, session);
  if (answer) answers_[id] = std::move(answer);
}

void DevTools::ReadAvailable(int timeoutMs) {
  std::string text;
  int wait = timeoutMs;
  while (pipe_.Receive(text, wait)) {
    Json message = Json::parse(text, nullptr, false);
    if (!message.is_discarded()) inbox_.push_back(std::move(message));
    wait = 0;
  }
}

int DevTools::Pump(int timeoutMs) {
  ReadAvailable(inbox_.empty() && tasks_.empty() ? timeoutMs : 0);
  int dispatched = 0;
  // Handlers may queue more (a task, a later answer): those run in this same pump.
  while (!inbox_.empty() || !tasks_.empty()) {
    if (!tasks_.empty()) {
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    } else {
      Json message = std::move(inbox_.front());
      inbox_.pop_front();
      Dispatch(message);
    }
    ++dispatched;
  }
  return dispatched;
}

void DevTools::Dispatch(const Json& message) {
  if (message.contains("id")) {
    auto found = answers_.find(message["id"].get<int64_t>());
    if (found == answers_.end()) return;
    Answer answer = std::move(found->second);
    answers_.erase(found);
    answer(message);
    return;
  }
  const auto found = sinks_.find(message.value("sessionId", std::string()));
  if (found == sinks_.end()) return;
  EventSink sink = found->second;  // a copy: the sink may unsubscribe itself
  sink(message.value("method", std::string()), message.value("params", Json::object()));
}

std::vector<std::shared_ptr<DevTools>> RunningBrowsers() {
  std::vector<std::shared_ptr<DevTools>> running;
  auto& registry = Registry();
  std::erase_if(registry, [](const std::weak_ptr<DevTools>& browser) { return browser.expired(); });
  for (const auto& browser : registry)
    if (auto held = browser.lock()) running.push_back(std::move(held));
  return running;
}

void RegisterBrowser(const std::shared_ptr<DevTools>& browser) { Registry().push_back(browser); }

}  // namespace tarnwell::browser

namespace tarnwell::browser {

int PumpBrowsers(int timeoutMs) {
  int dispatched = 0;
  for (const auto& browser : RunningBrowsers()) dispatched += browser->Pump(timeoutMs);
  return dispatched;
}

}  // namespace tarnwell::browser
