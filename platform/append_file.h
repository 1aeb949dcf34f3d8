// Appending to a file that other processes append to at the same time.
#pragma once

#include <string>
#include <string_view>

namespace plugkit::platform {

// Opens utf8Path for appending (created when missing, shared with other writers), writes the
// bytes with one write and closes it again. False on any failure.
bool AppendToFile(const std::string& utf8Path, std::string_view bytes) noexcept;

}  // namespace plugkit::platform
