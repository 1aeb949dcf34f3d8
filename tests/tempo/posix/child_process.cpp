#include "tempo/child_process.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tarnwell::test {

ChildProcess::~ChildProcess() {
  if (running_) Wait();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
  id_ = pid;
  running_ = true;
  return true;
}

int ChildProcess::Wait() {
  if (!running_) return -1;
  running_ = false;
  int status = 0;
  if (waitpid(static_cast<pid_t>(id_), &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarnwell::test
