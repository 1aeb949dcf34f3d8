// The navigation guard's rules, with Windows paths where the build has them and the same
// cases mirrored with POSIX paths; then on disk: links, non-ASCII folders, relative paths.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/bundle_layout.h"
#include "webview/navigation_guard.h"
#include "webview/virtual_host.h"

namespace {

using plugkit::CheckNavigationUrl;

const std::string kOrigin = plugkit::webview::kVirtualHostOrigin;

TEST(NavigationGuard, PagesOfTheVirtualHost) {
  struct Case {
    std::string url;
    bool allowed;
  };
  const Case cases[] = {
      {"about:blank", true},
      {"about:blank#x", false},
      {"ABOUT:BLANK", false},
      {kOrigin + "index.html", true},
      {kOrigin, true},
      {kOrigin + "a/%2e%2e/b.html", false},
      {kOrigin + "x..y.html", false},         // kept as specified: any ".." is refused
      {kOrigin + "%252e%252e/b.html", true},  // one decoding pass only
      {kOrigin + "a/../b.html", false},
      {kOrigin + "index.html?v=1..2", false},
      {"https://other.example/index.html", false},
      {"http://" + std::string(plugkit::webview::kVirtualHostName) + "/index.html", false},
      {"https://" + std::string(plugkit::webview::kVirtualHostName) + ".evil.example/", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckNavigationUrl(c.url.c_str(), "/opt/web"), c.allowed) << c.url;
  EXPECT_FALSE(CheckNavigationUrl(nullptr, "/opt/web"));
}

TEST(NavigationGuard, PercentDecodingIsOnePass) {
  EXPECT_EQ(plugkit::PercentDecode("a%2e%2E%41+%zz%4"), "a..A+%zz%4");
  EXPECT_EQ(plugkit::PercentDecode("%252e"), "%2e");
  EXPECT_EQ(plugkit::PercentDecode("%"), "%");
}

struct FileCase {
  const char* url;
  bool allowed;
};

void ExpectFileCases(const std::string& folder, std::initializer_list<FileCase> cases) {
  for (const FileCase& c : cases) EXPECT_EQ(CheckNavigationUrl(c.url, folder), c.allowed) << c.url;
}

TEST(NavigationGuard, FileAddressesInsideTheWebFolder) {
  if (plugkit::platform::kPathSeparator == '\\') {
    ExpectFileCases("C:\\Bundle\\Resources\\web",
                    {
                        {"file:///C:/Bundle/Resources/web/index.html", true},
                        {"file:/C:/Bundle/Resources/web/index.html", true},
                        {"file://localhost/C:/Bundle/Resources/web/index.html?x=1#top", true},
                        {"file:///C:/Bundle/Resources/web", true},
                        {"file:///C:/Bundle/Resources/web/sub/%61.css", true},
                        {"file:///C:/Bundle/Resources/webx/a.html", false},
                        {"file:///C:/Bundle/Resources/web/../secret.txt", false},
                        {"file:///C:/Bundle/Resources/web/%2e%2e/secret.txt", false},
                        {"FILE:///C:/Bundle/Resources/web/index.html", false},
                        {"file://server/share/web/index.html", false},  // a network path
                        {"file:///C:web/index.html", false},            // drive-relative
                        {"file:///C:/Bundle/Resources/web/a%0d%0ab.html", false},
                        {"file:///C:/Bundle/Resources/web/a%00b.html", false},
                    });
  } else {
    ExpectFileCases("/opt/Bundle/Resources/web",
                    {
                        {"file:///opt/Bundle/Resources/web/index.html", true},
                        {"file:/opt/Bundle/Resources/web/index.html", true},
                        {"file://localhost/opt/Bundle/Resources/web/index.html?x=1#top", true},
                        {"file:///opt/Bundle/Resources/web", true},
                        {"file:///opt/Bundle/Resources/web/sub/%61.css", true},
                        {"file:///opt/Bundle/Resources/webx/a.html", false},
                        {"file:///opt/Bundle/Resources/web/../secret.txt", false},
                        {"file:///opt/Bundle/Resources/web/%2e%2e/secret.txt", false},
                        {"FILE:///opt/Bundle/Resources/web/index.html", false},
                        {"file://server/opt/Bundle/Resources/web/index.html", false},  // relative after the host
                        {"file:///opt/Bundle/Resources/web/a%0d%0ab.html", false},
                        {"file:///opt/Bundle/Resources/web/a%00b.html", false},
                    });
  }
}

TEST(NavigationGuard, WithoutAWebFolderEveryFileAddressIsRefused) {
  EXPECT_FALSE(CheckNavigationUrl("file:///opt/web/index.html", ""));
  EXPECT_FALSE(CheckNavigationUrl("file:///C:/web/index.html", ""));
  // A relative folder could only be judged against the host's current folder.
  EXPECT_FALSE(CheckNavigationUrl("file:///web/index.html", "web"));
}

namespace fs = std::filesystem;

fs::path Utf8Path(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string GenericUtf8(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// A web folder whose name is not ASCII: "wéb-音" in UTF-8.
const std::string kNonAscii =
    "w\xc3\xa9"
    "b-\xe9\x9f\xb3";

// A scratch folder of the test's own, removed again:
//   web/index.html, web/sub/, other/secret.html and <kNonAscii>/index.html.
class ScratchFolders {
 public:
  ScratchFolders() {
    static int counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path base =
        fs::temp_directory_path() / ("tarnwell-guard-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(base);
    base_ = fs::weakly_canonical(base);
    MakeFile("web/index.html");
    fs::create_directories(Path("web/sub"));
    MakeFile("other/secret.html");
    MakeFile(kNonAscii + "/index.html");
  }
  ~ScratchFolders() {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  ScratchFolders(const ScratchFolders&) = delete;
  ScratchFolders& operator=(const ScratchFolders&) = delete;

  const fs::path& Base() const { return base_; }
  fs::path Path(std::string_view relative) const { return base_ / Utf8Path(relative); }
  // The absolute UTF-8 path, with forward slashes.
  std::string Text(std::string_view relative) const { return GenericUtf8(base_) + "/" + std::string(relative); }
  std::string FileUrl(std::string_view relative) const {
    const std::string text = Text(relative);
    return (text.starts_with("/") ? "file://" : "file:///") + text;
  }

  // A symbolic link at `link` with the text `target` (relative to the link's folder).
  std::error_code Link(std::string_view target, std::string_view link, bool folder) const {
    std::error_code error;
    if (folder)
      fs::create_directory_symlink(Utf8Path(target), Path(link), error);
    else
      fs::create_symlink(Utf8Path(target), Path(link), error);
    return error;
  }

 private:
  void MakeFile(std::string_view relative) const {
    fs::create_directories(Path(relative).parent_path());
    std::ofstream(Path(relative)) << "<p>page</p>";
  }

  fs::path base_;
};

// The working folder for one scope.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
  ~WorkingFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  fs::path previous_;
};

struct DiskCase {
  std::string name;
  std::string folder;  // the web folder, relative to the scratch folder
  std::string target;  // the address's path, relative to the scratch folder (may be percent-encoded)
  bool allowed;
  bool needsLinks;
};

void PrintTo(const DiskCase& c, std::ostream* out) { *out << c.name; }

class NavigationGuardOnDisk : public ::testing::TestWithParam<DiskCase> {};

TEST_P(NavigationGuardOnDisk, LinksInsideTheFolderResolveOnDisk) {
  const DiskCase& c = GetParam();
  const ScratchFolders scratch;
  if (c.needsLinks) {
    const std::pair<std::string, std::string> folderLinks[] = {
        {"sub", "web/pages"},        // inside the web folder
        {"../other", "web/escape"},  // out of it
        {"web", "webLink"},
        {"../other", kNonAscii + "/escape"},
    };
    for (const auto& [target, link] : folderLinks) {
      if (const std::error_code error = scratch.Link(target, link, true))
        GTEST_SKIP() << "no symbolic links here (" << error.message() << ")";
    }
    if (const std::error_code error = scratch.Link("../other/secret.html", "web/secret.html", false))
      GTEST_SKIP() << "no symbolic links here (" << error.message() << ")";
  }
  const std::string url = scratch.FileUrl(c.target);
  EXPECT_EQ(CheckNavigationUrl(url.c_str(), scratch.Text(c.folder)), c.allowed) << url << " in " << c.folder;
}

const DiskCase kDiskCases[] = {
    {"PageInTheFolder", "web", "web/index.html", true, false},
    {"PageInAnotherFolder", "web", "other/secret.html", false, false},
    {"LinkPointingInside", "web", "web/pages/a.html", true, true},
    {"LinkPointingOutside", "web", "web/escape/secret.html", false, true},
    {"FileLinkPointingOutside", "web", "web/secret.html", false, true},
    {"FolderRecordedThroughALink", "webLink", "web/index.html", true, true},
    {"NonAsciiFolder", kNonAscii, kNonAscii + "/index.html", true, false},
    {"NonAsciiFolderPercentEncoded", kNonAscii, "w%C3%A9b-%E9%9F%B3/index.html", true, false},
    {"AnotherNonAsciiFolder", kNonAscii,
     "w\xc3\xa9"
     "b-\xe5\xad\x97/index.html",
     false, false},  // "wéb-字"
    {"LinkOutOfANonAsciiFolder", kNonAscii, kNonAscii + "/escape/secret.html", false, true},
};

INSTANTIATE_TEST_SUITE_P(Scratch, NavigationGuardOnDisk, ::testing::ValuesIn(kDiskCases),
                         [](const ::testing::TestParamInfo<DiskCase>& info) { return info.param.name; });

// A relative path resolves against the process's working folder, which a host may well have
// set beside the web folder: such an address must be refused, not resolved.
TEST(NavigationGuard, RelativePathsAreRefusedEvenWhenTheyWouldResolveIntoTheFolder) {
  const ScratchFolders scratch;
  const fs::path previous = fs::current_path();
  {
    const WorkingFolder beside(scratch.Base());
    const std::string folder = scratch.Text("web");
    // Resolved from here, "web/index.html" would lie inside the folder.
    ASSERT_EQ(GenericUtf8(fs::weakly_canonical("web/index.html")), folder + "/index.html");
    EXPECT_TRUE(CheckNavigationUrl(scratch.FileUrl("web/index.html").c_str(), folder));

    std::vector<std::string> relative = {
        "file://web/index.html",  // "web" read as a host name, left as a relative path
        "file://web",
        "file://./web/index.html",
        "file://%2e/web/index.html",
    };
    // Drive-relative ("C:web/index.html") where paths have a root name.
    const std::string rootName = GenericUtf8(scratch.Base().root_name());
    if (!rootName.empty()) relative.push_back("file:///" + rootName + "web/index.html");
    for (const std::string& url : relative) EXPECT_FALSE(CheckNavigationUrl(url.c_str(), folder)) << url;

    // A relative web folder is refused as well, even for an address inside it.
    EXPECT_FALSE(CheckNavigationUrl(scratch.FileUrl("web/index.html").c_str(), "web"));
    EXPECT_FALSE(CheckNavigationUrl(scratch.FileUrl("web/index.html").c_str(), "./web"));
  }
  EXPECT_EQ(fs::current_path(), previous);
}

}  // namespace
