#include "webview/web_view_log.h"

#include "platform/append_file.h"
#include "webview/desktop_services.h"

namespace plugkit::webview {

void AppendLogLine(const char* logName, std::string_view line) noexcept {
  try {
    const std::string path = JoinPath(CurrentDesktop().TemporaryFolder(), logName);
    if (path.empty()) return;
    std::string bytes(line);
    bytes += "\r\n";
    platform::AppendToFile(path, bytes);
  } catch (...) {
  }
}

std::string LogSafe(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      safe += '%';
      safe += kHex[byte >> 4];
      safe += kHex[byte & 0x0F];
    } else {
      safe += c;
    }
  }
  return safe;
}

}  // namespace plugkit::webview
