// Small file operations on UTF-8 paths, for files the user owns (presets, the session file).
// Every function refuses a path holding a NUL byte (the platform would see a shorter path)
// and never throws.
#pragma once

#include <cstddef>
#include <string>

namespace plugkit::platform {

// Reads at most maxBytes bytes from the start of the file into out, opened shared with other
// readers and writers. False, with out empty, when the file cannot be opened or read. Pass
// one byte more than a size limit to tell a file at the limit from a larger one.
bool ReadFilePrefix(const std::string& utf8Path, std::size_t maxBytes, std::string& out) noexcept;

// Deletes the file. False when it could not be deleted (also when it does not exist).
bool RemoveFile(const std::string& utf8Path) noexcept;

// Creates the folder and any missing parents. True when the folder exists afterwards.
bool CreateFolders(const std::string& utf8Path) noexcept;

// Makes the file or folder writable for its owner again when it was marked read-only.
void ClearReadOnly(const std::string& utf8Path) noexcept;

// True when the path names an existing file or folder.
bool PathExists(const std::string& utf8Path) noexcept;

}  // namespace plugkit::platform
