// The page's session requests, each answered with the exact reply text the page reads.
#include <gtest/gtest.h>

#include <string>

#include "fake_credentials.h"
#include "rack/session_request.h"
#include "rack/ui_msg_tag.h"
#include "rack/ui_outbox.h"
#include "recording_tarnwell.h"
#include "tests/platform/scratch_folder.h"
#include "tests/platform/user_folder_redirect.h"

namespace {

tarnwell::UIRequest Request(const std::string& payload) {
  return {tarnwell::TagValue(tarnwell::UIMsgTag::SessionRequest), 0,
          std::span(reinterpret_cast<const uint8_t*>(payload.data()), payload.size())};
}

TEST(SessionRequests, RepliesInOrder) {
  test::ScratchFolder folder;
  test::FakeCredentials credentials;
  tarnwell::SessionTokenStore store(credentials, folder.Path());
  const std::string token = "tok-0123456789ABCDEF";
  const struct {
    std::string payload;
    std::string reply;
  } steps[] = {
      {"", R"({"error":"bad request","ok":false,"request_id":""})"},
      {"get", R"({"error":"bad request","ok":false,"request_id":""})"},
      {R"(["get"])", R"({"error":"bad request","ok":false,"request_id":""})"},
      {R"("get")", R"({"error":"bad request","ok":false,"request_id":""})"},
      {"{\"request_id\":\"\xFF\"}", R"({"error":"bad request","ok":false,"request_id":""})"},
      {R"({"request_id":7,"action":"clear"})", R"({"error":"bad request","ok":false,"request_id":""})"},
      {R"({"request_id":"r","action":7})", R"({"error":"bad request","ok":false,"request_id":"r"})"},
      {R"({"request_id":"r","action":"set","token":5})", R"({"error":"bad request","ok":false,"request_id":"r"})"},
      {R"({"request_id":"x","action":"CLEAR"})", R"({"error":"bad action","ok":false,"request_id":"x"})"},
      {R"({})", R"({"ok":true,"request_id":"","token":""})"},
      {R"({"request_id":"s","action":"set","token":"short"})",
       R"({"error":"invalid token","ok":false,"request_id":"s"})"},
      {R"({"request_id":"s","action":"set"})", R"({"error":"invalid token","ok":false,"request_id":"s"})"},
      {R"({"request_id":"s","action":"set","token":")" + token + R"("})", R"({"ok":true,"request_id":"s"})"},
      {R"({"action":"get","request_id":"g"})", R"({"ok":true,"request_id":"g","token":")" + token + R"("})"},
      {R"({"request_id":"x","action":"clear"})", R"({"ok":true,"request_id":"x"})"},
      {R"({"request_id":"g"})", R"({"ok":true,"request_id":"g","token":""})"},
  };
  for (const auto& step : steps)
    EXPECT_EQ(tarnwell::CompactJson(tarnwell::SessionReply(store, Request(step.payload))), step.reply) << step.payload;
}

TEST(SessionRequests, AStoreRefusalReachesThePageAsItsError) {
  test::FakeCredentials credentials;
  credentials.refuseWrites = true;
  tarnwell::SessionTokenStore homeless(credentials, "");
  EXPECT_EQ(tarnwell::CompactJson(tarnwell::SessionReply(
                homeless, Request(R"({"request_id":"s","action":"set","token":"tok-0123456789ABCDEF"})"))),
            R"({"error":"cannot write token","ok":false,"request_id":"s"})");
}

// Another program may have stored any bytes in the credential; they reach the page with
// replacement characters instead of breaking the reply.
TEST(SessionRequests, ACredentialThatIsNotUtf8IsSentWithReplacements) {
  test::FakeCredentials credentials;
  credentials.items[tarnwell::kSessionCredentialTarget] = std::string(15, 'a') + "\xFF";
  tarnwell::SessionTokenStore store(credentials, "");
  EXPECT_EQ(tarnwell::CompactJson(tarnwell::SessionReply(store, Request(R"({"request_id":"g"})"))),
            "{\"ok\":true,\"request_id\":\"g\",\"token\":\"aaaaaaaaaaaaaaa\xEF\xBF\xBD\"}");
}

TEST(SessionRequests, ThePluginAnswersUnderTheReplyTagAtTheNextTick) {
  test::ScratchFolder folder;
  test::UserFolderRedirect redirect(folder.Path());
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin{tempo};
  plugin->OnEditorOpened();
  plugin->OnIdleTick();
  plugin->ClearPage();
  const std::string payload = R"({"request_id":"p","action":"nope"})";
  EXPECT_TRUE(plugin->HandleUIMessage(20, 0, static_cast<int32_t>(payload.size()), payload.data()));
  EXPECT_TRUE(plugin->MessagesTagged(21).empty());
  plugin->OnIdleTick();
  const auto replies = plugin->MessagesTagged(21);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].Text(), R"({"error":"bad action","ok":false,"request_id":"p"})");
  EXPECT_TRUE(plugin->HandleUIMessage(20, 0, 0, nullptr));
  plugin->OnIdleTick();
  ASSERT_EQ(plugin->MessagesTagged(21).size(), 2u);
  EXPECT_EQ(plugin->MessagesTagged(21)[1].Text(), R"({"error":"bad request","ok":false,"request_id":""})");
}

}  // namespace
