// Starts another program as a child process and waits for its exit code: posix_spawn
// natively, CreateProcessW under Windows (the child shares the parent's session, as two
// processes of one DAW user do).
#pragma once

#include <string>
#include <vector>

namespace tarnwell::test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // waits for a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::string& program, const std::vector<std::string>& arguments);
  // The child's exit code, or -1 when it could not be waited for or died by a signal.
  int Wait();
  bool Running() const { return running_; }

 private:
  long long id_ = 0;  // pid, or the process handle's value
  bool running_ = false;
};

}  // namespace tarnwell::test
