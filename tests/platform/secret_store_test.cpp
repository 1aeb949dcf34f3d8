// The user's credential store and data protection, for real: the system's under Wine, the
// stand-ins natively (redirected to a scratch folder).
#include <gtest/gtest.h>

#include <string>

#include "platform/credential_store.h"
#include "platform/data_protection.h"
#include "platform/process_id.h"
#include "tests/platform/scratch_folder.h"
#include "tests/platform/user_folder_redirect.h"

namespace plugkit::platform {
namespace {

class SecretStores : public ::testing::Test {
 protected:
  test::ScratchFolder folder;
  test::UserFolderRedirect redirect{folder.Path()};
  std::unique_ptr<CredentialStore> store = MakeUserCredentialStore();
  // A target of this run only, so parallel runs in one Wine prefix never meet.
  const std::string target = "TarnwellTest/" + std::to_string(CurrentProcessId()) + "-" +
                             std::to_string(::testing::UnitTest::GetInstance()->random_seed());
};

TEST_F(SecretStores, CredentialWriteReadDeleteRoundTrip) {
  EXPECT_FALSE(store->Read(target).has_value());
  const std::string blobs[] = {std::string(16, 'a'), std::string("0123456789"), std::string(512, 'Z'),
                               std::string("with\0nul\xff", 9)};
  for (const std::string& blob : blobs) {
    ASSERT_TRUE(store->Write(target, "tarnwell", blob));
    const std::optional<std::string> read = store->Read(target);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), blob.size());
    EXPECT_EQ(*read, blob);
  }
  EXPECT_FALSE(store->Read(target + "-other").has_value());
  EXPECT_TRUE(store->Delete(target));
  EXPECT_FALSE(store->Read(target).has_value());
  EXPECT_FALSE(store->Delete(target));
}

TEST_F(SecretStores, CredentialRefusesABlobAboveThePlatformLimit) {
  EXPECT_FALSE(store->Write(target, "tarnwell", std::string(kMaxCredentialBlobBytes + 1, 'x')));
  EXPECT_FALSE(store->Read(target).has_value());
  ASSERT_TRUE(store->Write(target, "tarnwell", std::string(kMaxCredentialBlobBytes, 'x')));
  EXPECT_EQ(store->Read(target).value_or("").size(), kMaxCredentialBlobBytes);
  store->Delete(target);
}

TEST_F(SecretStores, ProtectedBytesRoundTripAndDifferFromThePlainBytes) {
  for (const std::string& plain : {std::string("token-0123456789abcdef"), std::string(512, 'q'), std::string()}) {
    std::string sealed, opened = "stale";
    ASSERT_TRUE(ProtectForCurrentUser(plain, "Tarnwell session", sealed));
    EXPECT_EQ(sealed.find(plain.empty() ? "\x01\x02\x03" : plain), std::string::npos);
    ASSERT_TRUE(UnprotectForCurrentUser(sealed, opened));
    EXPECT_EQ(opened, plain);
  }
}

TEST_F(SecretStores, DamagedProtectedBytesDoNotOpen) {
  const std::string plain = "token-0123456789abcdef";
  std::string sealed, opened;
  ASSERT_TRUE(ProtectForCurrentUser(plain, "Tarnwell session", sealed));
  const auto flipped = [&sealed](size_t index, char mask) {
    std::string copy = sealed;
    copy[index] = static_cast<char>(copy[index] ^ mask);
    return copy;
  };
  const struct {
    const char* what;
    std::string bytes;
  } damaged[] = {
      {"empty", ""},
      {"not a sealed form", "0123456789abcdef0123456789abcdef"},
      {"first byte changed", flipped(0, 0x01)},
      // Near the end lie the sealed secret and its signature; the system's header also holds
      // descriptive fields that not every implementation signs.
      {"byte of the sealed secret changed", flipped(sealed.size() - 8, 0x40)},
      {"last byte changed", flipped(sealed.size() - 1, static_cast<char>(0x80))},
      {"cut short", sealed.substr(0, sealed.size() - 1)},
  };
  for (const auto& d : damaged) {
    opened = "stale";
    EXPECT_FALSE(UnprotectForCurrentUser(d.bytes, opened)) << d.what;
    EXPECT_TRUE(opened.empty()) << d.what;
  }
}

}  // namespace
}  // namespace plugkit::platform
