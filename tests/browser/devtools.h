// The DevTools protocol over the pipe: commands with ids, their answers and the events of
// each attached session. Everything runs on the thread that pumps (the host's UI thread).
// Messages that arrive while a command waits for its answer stay queued in arrival order
// and are dispatched by the next Pump; only a paused request is served at once, since the
// page can answer nothing until it is.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devtools_pipe.h"

namespace tarnwell::browser {

using Json = nlohmann::json;

class DevTools {
 public:
  // Receives the whole answer: {"id", "result"} or {"id", "error"}.
  using Answer = std::function<void(const Json& answer)>;
  using EventSink = std::function<void(const std::string& method, const Json& params)>;
  using Task = std::function<void()>;

  explicit DevTools(const std::vector<std::string>& extraArguments);

  // Sends a command and waits for its result. Throws std::runtime_error on an error answer
  // or when none comes within the time-out.
  Json Call(const std::string& method, const Json& params = Json::object(), const std::string& session = "");
  // Sends a command; its answer goes to answer (when given) in a later Pump.
  void Post(const std::string& method, const Json& params, const std::string& session, Answer answer = {});
  // Runs task in the next Pump, as the browser's own completions come later.
  void Later(Task task) { tasks_.push_back(std::move(task)); }

  void Subscribe(const std::string& session, EventSink sink) { sinks_[session] = std::move(sink); }
  void Unsubscribe(const std::string& session) { sinks_.erase(session); }

  // Dispatches what is queued and what arrives, waiting up to timeoutMs for the first
  // message when nothing is queued. Returns the number of messages and tasks dispatched.
  int Pump(int timeoutMs);

 private:
  int64_t Send(const std::string& method, const Json& params, const std::string& session);
  void Dispatch(const Json& message);
  void ReadAvailable(int timeoutMs);

  DevToolsPipe pipe_;
  int64_t lastId_ = 0;
  std::deque<Json> inbox_;
  std::deque<Task> tasks_;
  std::map<int64_t, Answer> answers_;
  std::map<std::string, EventSink> sinks_;
};

// Every browser process started and not yet ended, for the tests' pump.
std::vector<std::shared_ptr<DevTools>> RunningBrowsers();
void RegisterBrowser(const std::shared_ptr<DevTools>& browser);

}  // namespace tarnwell::browser

namespace tarnwell::browser {

// Delivers what every running browser has sent to its web views' handlers, waiting up to
// timeoutMs for something to come. Returns the number of messages and tasks dispatched.
int PumpBrowsers(int timeoutMs);

}  // namespace tarnwell::browser
