// The navigation guard's rules, with Windows paths where the build has them and the same
// cases mirrored with POSIX paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
      {kOrigin + "x..y.html", false},  // kept as specified: any ".." is refused
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

TEST(NavigationGuard, LinksInsideTheFolderResolveOnDisk) {
  namespace fs = std::filesystem;
  const fs::path scratch = fs::temp_directory_path() / ("tarnwell-guard-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(scratch);
  fs::create_directories(scratch / "web");
  fs::create_directories(scratch / "other");
  const std::u8string web = fs::weakly_canonical(scratch / "web").generic_u8string();
  const std::u8string other = fs::weakly_canonical(scratch / "other").generic_u8string();
  const std::string webText(web.begin(), web.end());
  const std::string otherText(other.begin(), other.end());
  const std::string prefix = webText.starts_with("/") ? "file://" : "file:///";
  EXPECT_TRUE(CheckNavigationUrl((prefix + webText + "/a.html").c_str(), webText));
  EXPECT_FALSE(CheckNavigationUrl((prefix + otherText + "/a.html").c_str(), webText));
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
}

}  // namespace
