#include "platform/special_folder.h"

#include <windows.h>
// after windows.h, which it needs
#include <shlobj.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

int CsidlOf(SpecialFolder folder) {
  switch (folder) {
    case SpecialFolder::Desktop:
      return CSIDL_DESKTOP;
    case SpecialFolder::RoamingAppData:
      return CSIDL_APPDATA;
    case SpecialFolder::LocalAppData:
      return CSIDL_LOCAL_APPDATA;
    case SpecialFolder::CommonAppData:
      return CSIDL_COMMON_APPDATA;
  }
  return -1;
}

constexpr int kPathBufferUnits = 1024;

}  // namespace

std::string SpecialFolderPath(SpecialFolder folder) noexcept {
  const int csidl = CsidlOf(folder);
  if (csidl < 0) return {};
  // A failed query leaves the buffer undefined: start from zeros and trust only a success
  // that wrote something.
  wchar_t path[kPathBufferUnits] = {};
  const HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
  if (FAILED(result) || path[0] == L'\0') return {};
  path[kPathBufferUnits - 1] = L'\0';
  try {
    return win32::WideToUtf8(path);
  } catch (...) {
    return {};
  }
}

}  // namespace plugkit::platform
