#include "tempo/child_process.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace tarnwell::test {
namespace {

// Quotes one argument by the rules the C runtime of the child parses its command line with.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (running_) Wait();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  const std::wstring path = plugkit::platform::win32::Utf8ToWide(program);
  std::wstring commandLine = Quoted(path);
  for (const auto& argument : arguments) commandLine += L" " + Quoted(plugkit::platform::win32::Utf8ToWide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  id_ = reinterpret_cast<long long>(info.hProcess);
  running_ = true;
  return true;
}

int ChildProcess::Wait() {
  if (!running_) return -1;
  running_ = false;
  HANDLE process = reinterpret_cast<HANDLE>(id_);
  DWORD code = 0;
  const bool done = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return done ? static_cast<int>(code) : -1;
}

}  // namespace tarnwell::test
