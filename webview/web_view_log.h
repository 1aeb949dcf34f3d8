// The two diagnostic logs in the temporary folder. Lines carry no time stamp; every instance
// of every module appends to the same files, one open-write-close per line.
#pragma once

#include <string>
#include <string_view>

namespace plugkit::webview {

inline constexpr const char* kWebViewLogName = "tarnwell-webview.log";
inline constexpr const char* kUiLogName = "tarnwell-ui.log";

// Appends line and CR LF to the named log (the same bytes on every platform). Failures are
// swallowed: a log must never stop the editor.
void AppendLogLine(const char* logName, std::string_view line) noexcept;

// text with bytes below 0x20 and 0x7F written as %XX, so a text from the page can never
// start a line of its own in the log.
std::string LogSafe(std::string_view text);

}  // namespace plugkit::webview
