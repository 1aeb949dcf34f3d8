// The module folder and the bundle's resource folder of a really built bundle, loaded as a
// host loads it, also from a path longer than 255 characters and from a non-ASCII folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "framework/core/folder_paths.h"
#include "platform/bundle_layout.h"
#include "platform/dynamic_library.h"

namespace plugkit {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}

std::string ModuleFileName() { return std::string("TarnwellFixture") + platform::kModuleFileSuffix; }

// <bundle>/Contents/<arch>/ as the platform writes it, with a trailing separator.
std::string ArchitectureFolderOf(const std::string& bundle) {
  return Native(bundle + "/Contents/" + platform::kBundleArchitectureFolder + "/");
}

struct LoadedFolders {
  std::string module;
  std::string resources;
};

LoadedFolders FoldersOfModuleAt(const std::string& modulePath) {
  platform::DynamicLibrary library;
  std::string error;
  EXPECT_TRUE(library.Open(modulePath, &error)) << error;
  GrowString module;
  GrowString resources;
  EXPECT_TRUE(ModuleFolder(library.NativeHandle(), module));
  EXPECT_TRUE(ResourceFolder(library.NativeHandle(), resources));
  return {module.Get(), resources.Get()};
}

TEST(ModuleFolder, OfTheBuiltBundle) {
  const std::string bundle = Utf8(fs::canonical(FromUtf8(FIXTURE_BUNDLE)));
  const LoadedFolders folders = FoldersOfModuleAt(ArchitectureFolderOf(bundle) + ModuleFileName());
  EXPECT_EQ(folders.module, ArchitectureFolderOf(bundle));
  EXPECT_EQ(folders.resources, Native(bundle + "/Contents/Resources/"));
  EXPECT_TRUE(fs::is_directory(FromUtf8(folders.resources)));
}

// Copies the fixture bundle's module into <temp>/<bundleName>/Contents/<arch>/ and returns
// the bundle folder; removed again by the fixture.
class CopiedBundle : public ::testing::Test {
 protected:
  std::string CopyTo(const std::string& bundleName) {
    root_ = fs::temp_directory_path() /
            ("tarnwell-core-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    const fs::path bundle = root_ / FromUtf8(bundleName);
    const fs::path arch = bundle / "Contents" / platform::kBundleArchitectureFolder;
    fs::create_directories(arch);
    fs::create_directories(bundle / "Contents" / "Resources");
    const fs::path source =
        FromUtf8(FIXTURE_BUNDLE) / "Contents" / platform::kBundleArchitectureFolder / ModuleFileName();
    fs::copy_file(source, arch / ModuleFileName(), fs::copy_options::overwrite_existing);
    return Utf8(fs::canonical(bundle));
  }
  void TearDown() override {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

  fs::path root_;
};

TEST_F(CopiedBundle, ModuleFolderOfANonAsciiFolder) {
  const std::string bundle = CopyTo("J\xC3\xBCrgen \xE9\x9F\xB3 \xF0\x9F\x98\x80.vst3");
  const LoadedFolders folders = FoldersOfModuleAt(ArchitectureFolderOf(bundle) + ModuleFileName());
  EXPECT_EQ(folders.module, ArchitectureFolderOf(bundle));
  EXPECT_EQ(folders.resources, Native(bundle + "/Contents/Resources/"));
}

TEST_F(CopiedBundle, ModuleFolderOfAPathLongerThan255Characters) {
  // Long enough to be cut by a 256-unit buffer, short enough for a loader without long-path
  // support (under 260 with the file name).
  const std::string probe = CopyTo("p.vst3");
  const size_t fixedPart = ArchitectureFolderOf(probe).size() - std::string("p.vst3").size() + ModuleFileName().size();
  ASSERT_LT(fixedPart, 250u) << "the temporary folder is too long for this test";
  TearDown();
  const std::string bundle = CopyTo(std::string(258 - fixedPart - 5, 'L') + ".vst3");
  const std::string modulePath = ArchitectureFolderOf(bundle) + ModuleFileName();
  ASSERT_EQ(modulePath.size(), 258u);
  const LoadedFolders folders = FoldersOfModuleAt(modulePath);
  EXPECT_EQ(folders.module, ArchitectureFolderOf(bundle));
  EXPECT_EQ(folders.resources, Native(bundle + "/Contents/Resources/"));
}

}  // namespace
}  // namespace plugkit
