// A headless Chromium driven over its DevTools pipe: the browser reads commands on file
// descriptor 3 and writes answers and events on 4, each a JSON text ended by a NUL. No
// network port is opened. The process is always ended with the pipe, and its user data
// folder, fresh for every launch, is removed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnwell::browser {

// The browser to run: $TARNWELL_CHROMIUM when set, else the first of Debian's headless shell
// and full browser that is installed; "" when there is none.
std::string FindChromium();

class DevToolsPipe {
 public:
  // Starts the browser with extraArguments after the fixed ones. Throws std::runtime_error.
  explicit DevToolsPipe(const std::vector<std::string>& extraArguments);
  ~DevToolsPipe();
  DevToolsPipe(const DevToolsPipe&) = delete;
  DevToolsPipe& operator=(const DevToolsPipe&) = delete;

  // Throws std::runtime_error when the browser has gone.
  void Send(const std::string& message);
  // One message, waiting up to timeoutMs for it; false when none came in time. Throws
  // std::runtime_error when the browser has gone.
  bool Receive(std::string& message, int timeoutMs);

 private:
  void Stop() noexcept;

  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  std::string received_;
  std::string userDataFolder_;
};

}  // namespace tarnwell::browser
