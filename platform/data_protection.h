// Sealing a secret for the current user before it goes into a file. On Windows the system's
// user data protection; the POSIX stand-in only scrambles and checks integrity (no secrecy:
// it keeps tests honest about a sealed form that differs from the secret and detects damage).
#pragma once

#include <string>
#include <string_view>

namespace plugkit::platform {

// The sealed form of bytes, described by description (shown by the system's tools). False
// on failure. Never prompts the user and never throws.
bool ProtectForCurrentUser(std::string_view bytes, const std::string& description, std::string& sealed) noexcept;

// The bytes a sealed form holds; false when it was damaged, sealed for another user, or is
// no sealed form at all.
bool UnprotectForCurrentUser(std::string_view sealed, std::string& bytes) noexcept;

}  // namespace plugkit::platform
