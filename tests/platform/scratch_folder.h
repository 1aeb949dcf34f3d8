// A fresh folder under the system's temporary folder for one test, removed with everything
// in it afterwards. Its path is a UTF-8 text in the platform's own form.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test {

class ScratchFolder {
 public:
  ScratchFolder() {
    static int counter = 0;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::temp_directory_path() /
            ("tarnwell-" + std::string(info != nullptr ? info->name() : "scratch") + "-" +
             std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + std::to_string(counter++));
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    std::filesystem::create_directories(root_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    // Files a test marked read-only would keep remove_all from deleting them on Windows.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  // A path inside the folder as UTF-8.
  std::string Path(const std::string& name = {}) const {
    std::filesystem::path path = name.empty() ? root_ : root_ / std::filesystem::u8path(name);
    path.make_preferred();
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  }

 private:
  std::filesystem::path root_;
};

}  // namespace test
