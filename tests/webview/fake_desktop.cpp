#include "fake_desktop.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

#include "fake_browser.h"

namespace fake {
namespace {

std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

FakeDesktop::FakeDesktop() : previous_(plugkit::webview::InstallDesktopServices(this)) {
  static std::atomic<int> counter{0};
  scratch_ = std::filesystem::temp_directory_path() /
             ("tarnwell-webview-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
              std::to_string(counter++) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF));
  std::filesystem::remove_all(scratch_);
  std::filesystem::create_directories(scratch_ / "temp");
  temporaryFolder = Utf8Path(scratch_ / "temp");
  desktopFolder = Utf8Path(scratch_ / "Desktop");
  webViewCacheFolder = Utf8Path(scratch_ / "Roaming" / "Tarnwell" / "WebViewCache");
}

FakeDesktop::~FakeDesktop() {
  plugkit::webview::InstallDesktopServices(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

bool FakeDesktop::QueryWindowDpi(void* window, uint32_t& dpi) {
  if (!dpiQueryAvailable) return false;
  auto found = windowDpi.find(window);
  dpi = found != windowDpi.end() ? found->second : 96;
  return true;
}

bool FakeDesktop::WindowClientSize(void* window, int32_t& width, int32_t& height) {
  auto found = clientSizes.find(window);
  if (found == clientSizes.end()) return false;
  width = found->second.first;
  height = found->second.second;
  return true;
}

bool FakeDesktop::PostSpaceKeyDown(void* window) {
  spaceKeyDowns.push_back(window);
  return true;
}

intptr_t FakeDesktop::OpenInShell(void* parentWindow, const char16_t* uri) {
  shellCalls.push_back({parentWindow, Utf8(uri)});
  return shellResult;
}

std::string FakeDesktop::ResourceFolder(void* module) {
  resourceFolderQueries.push_back(module);
  auto found = resourceFolders.find(module);
  return found != resourceFolders.end() ? found->second : std::string();
}

std::vector<std::string> FakeDesktop::LogLines(const char* logName) const {
  std::ifstream file(scratch_ / "temp" / logName, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  if (start < bytes.size()) lines.push_back(bytes.substr(start) + "<no CR LF>");
  return lines;
}

void FakeDesktop::ClearLog(const char* logName) const {
  std::error_code ignored;
  std::filesystem::remove(scratch_ / "temp" / logName, ignored);
}

}  // namespace fake
