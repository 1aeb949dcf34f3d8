// The session token store on the platform's own credential store and the user's own local
// application data folder (under Wine, the prefix's; natively, the stand-in redirected to
// a scratch folder). The credential gets a name of this run only.
#include <gtest/gtest.h>

#include <string>

#include "framework/core/folder_paths.h"
#include "platform/bundle_layout.h"
#include "platform/file_access.h"
#include "platform/process_id.h"
#include "rack/session_token_store.h"
#include "tests/platform/scratch_folder.h"
#include "tests/platform/user_folder_redirect.h"

namespace {

TEST(SessionStoreOnThePlatform, TokenRoundTripInTheUsersFolder) {
  test::ScratchFolder folder;
  test::UserFolderRedirect redirect(folder.Path());
  plugkit::GrowString appData;
  ASSERT_TRUE(plugkit::AppDataFolder(appData, false));
  const auto credentials = plugkit::platform::MakeUserCredentialStore();
  tarnwell::SessionTokenStore store(*credentials, appData.Get(),
                                    "TarnwellTest/Session-" + std::to_string(plugkit::platform::CurrentProcessId()));
  const std::string sep(1, plugkit::platform::kPathSeparator);
  const std::string sessionFolder = appData.Get() + sep + "Tarnwell";
  EXPECT_EQ(store.SessionFilePathCreatingFolder(), sessionFolder + sep + "session.json");
  EXPECT_TRUE(plugkit::platform::PathExists(sessionFolder));

  const std::string token = "platform-token-0123456789.abc_DEF=";
  std::string error;
  ASSERT_TRUE(store.SetSessionToken(token, error)) << error;
  EXPECT_EQ(store.GetSessionToken(), token);
  EXPECT_FALSE(plugkit::platform::PathExists(store.SessionFilePathCreatingFolder()));
  store.ClearSessionToken();
  EXPECT_EQ(store.GetSessionToken(), "");
}

}  // namespace
