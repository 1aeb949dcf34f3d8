// Points the user's folders (presets, session file, logs, browser data) into a scratch folder
// of this run, so that a fuzz target writes nothing of the real user's. The fuzzers are built
// only by the Linux clang build, so the POSIX environment is set directly.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "fuzz/fuzz_check.h"

namespace tarnwell::fuzz {

inline std::filesystem::path UseScratchUserFolders() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-fuzz-XXXXXX").string();
  Require(mkdtemp(pattern.data()) != nullptr, "a scratch folder is made");
  const std::filesystem::path root = pattern;
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "TMPDIR", "HOME"}) {
    const std::filesystem::path folder = root / name;
    std::filesystem::create_directories(folder);
    setenv(name, folder.c_str(), 1);
  }
  return root;
}

}  // namespace tarnwell::fuzz
