#include "devtools_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace tarnwell::browser {
namespace {

// The closed network here makes a browser that tries to reach out stall or misbehave, so
// everything that would is switched off, and whatever is left goes to a port on this
// machine where nothing listens.
const char* const kFixedArguments[] = {
    "--headless",
    "--remote-debugging-pipe",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--disable-dev-shm-usage",
    "--proxy-server=127.0.0.1:9",
    "--host-resolver-rules=MAP * ~NOTFOUND",
    "--hide-scrollbars",
    "--mute-audio",
};

constexpr auto kGraceForExit = std::chrono::seconds(3);

std::runtime_error Failure(const std::string& what) { return std::runtime_error("chromium: " + what); }

bool Executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string MakeUserDataFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-chromium-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw Failure("no user data folder: " + std::string(std::strerror(errno)));
  return pattern;
}

}  // namespace

std::string FindChromium() {
  if (const char* chosen = std::getenv("TARNWELL_CHROMIUM"); chosen != nullptr && chosen[0] != '\0')
    return Executable(chosen) ? chosen : "";
  for (const char* candidate : {"/usr/lib/chromium/chromium-headless-shell", "/usr/bin/chromium-headless-shell",
                                "/usr/lib/chromium/chromium", "/usr/bin/chromium"})
    if (Executable(candidate)) return candidate;
  return "";
}

DevToolsPipe::DevToolsPipe(const std::vector<std::string>& extraArguments) {
  const std::string executable = FindChromium();
  if (executable.empty()) throw Failure("no browser installed");
  userDataFolder_ = MakeUserDataFolder();

  std::vector<std::string> arguments{executable};
  arguments.insert(arguments.end(), std::begin(kFixedArguments), std::end(kFixedArguments));
  arguments.push_back("--user-data-dir=" + userDataFolder_);
  arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
  arguments.push_back("about:blank");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int commands[2];
  int answers[2];
  if (pipe2(commands, O_CLOEXEC) != 0) throw Failure("no pipe");
  if (pipe2(answers, O_CLOEXEC) != 0) {
    close(commands[0]);
    close(commands[1]);
    throw Failure("no pipe");
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls from here to exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test process
    if (getppid() != parent) _exit(127);
    const int quiet = open("/dev/null", O_RDWR);
    if (quiet >= 0) {
      dup2(quiet, 0);
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    // Out of the way first: a pipe end may itself be 3 or 4, and dup2 onto itself would
    // keep its close-on-exec flag.
    const int reads = fcntl(commands[0], F_DUPFD, 10);
    const int writes = fcntl(answers[1], F_DUPFD, 10);
    if (reads < 0 || writes < 0 || dup2(reads, 3) < 0 || dup2(writes, 4) < 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(commands[0]);
  close(answers[1]);
  toBrowser_ = commands[1];
  fromBrowser_ = answers[0];
  if (pid_ < 0) {
    Stop();
    throw Failure("cannot start " + executable);
  }
  // A browser that went away must show up as a failed write, not as SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
}

DevToolsPipe::~DevToolsPipe() { Stop(); }

void DevToolsPipe::Stop() noexcept {
  if (toBrowser_ >= 0) close(toBrowser_);  // the browser quits when its command pipe closes
  toBrowser_ = -1;
  if (pid_ > 0) {
    const auto deadline = std::chrono::steady_clock::now() + kGraceForExit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  pid_ = -1;
  if (fromBrowser_ >= 0) close(fromBrowser_);
  fromBrowser_ = -1;
  if (!userDataFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(userDataFolder_, ignored);
  }
  userDataFolder_.clear();
}

void DevToolsPipe::Send(const std::string& message) {
  std::string framed = message;
  framed.push_back('\0');
  std::size_t written = 0;
  while (written < framed.size()) {
    const ssize_t n = write(toBrowser_, framed.data() + written, framed.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Failure("the browser has gone (write)");
    written += static_cast<std::size_t>(n);
  }
}

bool DevToolsPipe::Receive(std::string& message, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const std::size_t end = received_.find('\0');
    if (end != std::string::npos) {
      message.assign(received_, 0, end);
      received_.erase(0, end + 1);
      return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fromBrowser_, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) return false;
    char chunk[65536];
    const ssize_t n = read(fromBrowser_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Failure("the browser has gone (read)");
    received_.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace tarnwell::browser
