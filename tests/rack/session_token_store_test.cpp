// The session token store against an in-memory credential store and a scratch folder as the
// application data folder; the data protection and the files are the platform's own.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "fake_credentials.h"
#include "platform/atomic_file_write.h"
#include "platform/data_protection.h"
#include "platform/file_access.h"
#include "rack/session_token_store.h"
#include "tests/platform/scratch_folder.h"

namespace {

using tarnwell::kSessionCredentialTarget;
using tarnwell::SessionTokenStore;

const std::string kToken = "abcXYZ019-._=abcdef";  // every kind of allowed character
const std::string kOlderToken = "older-token-0123456789";

class SessionStore : public ::testing::Test {
 protected:
  std::string SessionFile() const { return folder.Path("Tarnwell/session.json"); }
  std::string SessionFileText() const {
    std::string text;
    EXPECT_TRUE(plugkit::platform::ReadFilePrefix(SessionFile(), 1 << 20, text));
    return text;
  }
  void WriteSessionFile(const std::string& text) const {
    ASSERT_TRUE(plugkit::platform::CreateFolders(folder.Path("Tarnwell")));
    ASSERT_TRUE(plugkit::platform::WriteFileAtomically(SessionFile(), text));
  }
  static std::string SealedHex(const std::string& token) {
    std::string sealed;
    EXPECT_TRUE(plugkit::platform::ProtectForCurrentUser(token, "Tarnwell session", sealed));
    return tarnwell::HexEncode(sealed);
  }
  std::string Set(const std::string& token) {
    std::string error;
    const bool stored = store.SetSessionToken(token, error);
    EXPECT_EQ(stored, error.empty()) << error;
    return error;
  }

  test::ScratchFolder folder;
  test::FakeCredentials credentials;
  SessionTokenStore store{credentials, folder.Path()};
};

TEST(SessionTokenRules, LengthAndCharacters) {
  const struct {
    std::string token;
    bool valid;
  } cases[] = {
      {std::string(15, 'a'), false},
      {std::string(16, 'a'), true},
      {std::string(512, '='), true},
      {std::string(513, 'a'), false},
      {"", false},
      {"abcdefghijklmno/", false},
      {"abcdefgh ijklmnop", false},
      {"abcdefgh+ijklmnop", false},
      {std::string("abcdefgh\0ijklmnop", 17), false},
      {"abcdefgh\xC3\xA9ijklmnop", false},
      {kToken, true},
  };
  for (const auto& c : cases) EXPECT_EQ(tarnwell::IsValidSessionToken(c.token), c.valid) << c.token;
  EXPECT_EQ(tarnwell::HexEncode(std::string("\x00\x0f\xa5\xff", 4)), "000fa5ff");
}

TEST_F(SessionStore, InvalidTokensAreRefusedAndNothingIsStored) {
  for (const std::string& token : {std::string(15, 'a'), std::string(513, 'a'), std::string("abcdefgh/ijklmnop")})
    EXPECT_EQ(Set(token), "invalid token");
  EXPECT_TRUE(credentials.items.empty());
  EXPECT_FALSE(plugkit::platform::PathExists(SessionFile()));
}

TEST_F(SessionStore, AStoreThroughTheCredentialRemovesAnOlderSessionFile) {
  WriteSessionFile(R"({"token":")" + kOlderToken + R"("})");
  for (const std::string& token : {std::string(16, 'a'), std::string(512, 'b'), kToken}) {
    EXPECT_EQ(Set(token), "");
    EXPECT_EQ(store.GetSessionToken(), token);
  }
  EXPECT_EQ(credentials.items[kSessionCredentialTarget], kToken);
  EXPECT_EQ(credentials.users[kSessionCredentialTarget], "tarnwell");
  EXPECT_FALSE(plugkit::platform::PathExists(SessionFile()));
}

TEST_F(SessionStore, ARefusedCredentialFallsBackToASealedSessionFile) {
  credentials.items[kSessionCredentialTarget] = kOlderToken;
  credentials.refuseWrites = true;
  EXPECT_EQ(Set(kToken), "");
  const std::string text = SessionFileText();
  const nlohmann::json file = nlohmann::json::parse(text);
  ASSERT_EQ(file.size(), 1u);
  const std::string hex = file.at("token_dpapi").get<std::string>();
  EXPECT_EQ(text, nlohmann::json({{"token_dpapi", hex}}).dump(2));  // two-space indent, no final line break
  EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(hex.find(tarnwell::HexEncode(kToken)), std::string::npos);
  // The older credential would be read first and hide the new token.
  EXPECT_TRUE(credentials.items.empty());
  EXPECT_EQ(store.GetSessionToken(), kToken);
}

TEST_F(SessionStore, ACredentialBlobOfAnotherLengthIsPassedOver) {
  WriteSessionFile(R"({"token":")" + kToken + R"("})");
  for (const std::string& blob : {std::string("0123456789"), std::string(513, 'a'), std::string()}) {
    credentials.items[kSessionCredentialTarget] = blob;
    EXPECT_EQ(store.GetSessionToken(), kToken) << blob.size();
  }
  // Inside the lengths the blob is taken as it is.
  credentials.items[kSessionCredentialTarget] = "sixteen bytes!!!";
  EXPECT_EQ(store.GetSessionToken(), "sixteen bytes!!!");
}

TEST_F(SessionStore, SessionFilesThatYieldNoToken) {
  std::string sealedUpper = SealedHex(kToken);
  for (char& c : sealedUpper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string damaged = SealedHex(kToken);
  char& digit = damaged[damaged.size() - 10];  // inside the sealed secret, not the header
  digit = digit == '0' ? '1' : '0';
  const std::string plain = R"({"token":")" + kToken + R"("})";
  const struct {
    const char* what;
    std::string text;
    std::string expected;
  } cases[] = {
      {"plain token", plain, kToken},
      {"sealed token in upper-case hex", R"({"token_dpapi":")" + sealedUpper + R"("})", kToken},
      {"sealed token wins over plain",
       R"({"token":"plain-token-0123456789","token_dpapi":")" + SealedHex(kToken) + R"("})", kToken},
      {"plain token with a space", R"({"token":"abcdefgh ijklmnop"})", ""},
      {"odd hex beside a valid plain token", R"({"token":")" + kToken + R"(","token_dpapi":"abc"})", ""},
      {"hex with a character that is no digit", R"({"token_dpapi":"zz"})", ""},
      {"damaged sealed bytes", R"({"token_dpapi":")" + damaged + R"("})", ""},
      {"bytes never sealed", R"({"token_dpapi":"00112233445566778899aabbccddeeff"})", ""},
      {"sealed token that breaks the rules", R"({"token_dpapi":")" + SealedHex("short") + R"("})", ""},
      {"token of another type", R"({"token":42})", ""},
      {"sealed token of another type", R"({"token_dpapi":["00"]})", ""},
      {"not an object", R"(["token"])", ""},
      {"not JSON", "token=" + kToken, ""},
      {"empty file", "", ""},
      {"deeply nested value beside the token",
       R"({"token":")" + kToken + R"(","x":)" + std::string(30000, '[') + std::string(30000, ']') + "}", kToken},
      {"exactly 64 KiB", plain + std::string(65536 - plain.size(), ' '), kToken},
      {"one byte more than 64 KiB", plain + std::string(65537 - plain.size(), ' '), ""},
  };
  for (const auto& c : cases) {
    WriteSessionFile(c.text);
    EXPECT_EQ(store.GetSessionToken(), c.expected) << c.what;
  }
}

TEST_F(SessionStore, ClearRemovesTheCredentialAndTheFile) {
  EXPECT_EQ(Set(kToken), "");
  WriteSessionFile(R"({"token":")" + kOlderToken + R"("})");
  store.ClearSessionToken();
  EXPECT_TRUE(credentials.items.empty());
  EXPECT_FALSE(plugkit::platform::PathExists(SessionFile()));
  EXPECT_EQ(store.GetSessionToken(), "");
  store.ClearSessionToken();  // nothing left to remove
  EXPECT_EQ(store.GetSessionToken(), "");
}

TEST_F(SessionStore, AReadOnlySessionFileIsStillReplacedAndRemoved) {
  const auto makeReadOnly = [this] {
    std::filesystem::permissions(std::filesystem::u8path(SessionFile()), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
  };
  credentials.refuseWrites = true;
  WriteSessionFile(R"({"token":")" + kOlderToken + R"("})");
  makeReadOnly();
  EXPECT_EQ(Set(kToken), "");
  EXPECT_EQ(store.GetSessionToken(), kToken);
  makeReadOnly();
  store.ClearSessionToken();
  EXPECT_FALSE(plugkit::platform::PathExists(SessionFile()));
  EXPECT_EQ(store.GetSessionToken(), "");
}

TEST_F(SessionStore, AFailedFileWriteKeepsWhatWasStored) {
  credentials.items[kSessionCredentialTarget] = std::string(10, 'x');  // passed over, but kept
  credentials.refuseWrites = true;
  const std::string old = R"({"token":")" + kOlderToken + R"("})";
  WriteSessionFile(old);
  ASSERT_TRUE(plugkit::platform::CreateFolders(plugkit::platform::AtomicWriteTempPath(SessionFile())));
  EXPECT_EQ(Set(kToken), "cannot write token");
  EXPECT_EQ(SessionFileText(), old);
  EXPECT_EQ(credentials.items.size(), 1u);
  EXPECT_EQ(store.GetSessionToken(), kOlderToken);
}

TEST_F(SessionStore, WithoutAnApplicationDataFolderNoFileIsUsed) {
  SessionTokenStore homeless(credentials, "");
  EXPECT_EQ(homeless.SessionFilePathCreatingFolder(), "");
  credentials.refuseWrites = true;
  std::string error;
  EXPECT_FALSE(homeless.SetSessionToken(kToken, error));
  EXPECT_EQ(error, "cannot write token");
  EXPECT_EQ(homeless.GetSessionToken(), "");
  credentials.refuseWrites = false;
  EXPECT_TRUE(homeless.SetSessionToken(kToken, error));
  EXPECT_EQ(homeless.GetSessionToken(), kToken);
  homeless.ClearSessionToken();
  EXPECT_EQ(homeless.GetSessionToken(), "");
}

TEST_F(SessionStore, TheSessionFolderIsCreatedWithItsParents) {
  SessionTokenStore deeper(credentials, folder.Path("Local Data/\xC3\xBC"));
  const std::string path = deeper.SessionFilePathCreatingFolder();
  EXPECT_EQ(path, folder.Path("Local Data/\xC3\xBC/Tarnwell/session.json"));
  EXPECT_TRUE(plugkit::platform::PathExists(folder.Path("Local Data/\xC3\xBC/Tarnwell")));
  credentials.refuseWrites = true;
  std::string error;
  EXPECT_TRUE(deeper.SetSessionToken(kToken, error)) << error;
  EXPECT_EQ(deeper.GetSessionToken(), kToken);
}

}  // namespace
