// The idle hook and the page's requests: the version once per opening, the tempo link
// every 20 ticks when it moved, meters when they moved, replies in order after the preset id,
// and the dispatcher's routes.
#include <gtest/gtest.h>

#include <stdexcept>

#include "rack/ui_msg_tag.h"
#include "rack/ui_requests.h"
#include "recording_tarnwell.h"

namespace {

using tarnwell::TagValue;
using tarnwell::UIMsgTag;
using LinkFrame = std::array<float, 2>;

class IdleHook : public ::testing::Test {
 protected:
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) plugin->OnIdleTick();
  }
  std::vector<test::PageMessage> Sent(UIMsgTag tag) const { return plugin->MessagesTagged(TagValue(tag)); }
  // Publishes one tempo reading through a snapshot, as a block would.
  void FollowTempo(float bpm) {
    tempo.Write(bpm, 0.9f, tempo.nowMs);
    plugin->SnapshotSettingsAndFollowTempo(120.0);
  }

  test::FakeTempoState tempo{.available = true};
  test::OwnedTarnwell plugin{tempo};
};

TEST_F(IdleHook, NothingGoesToAClosedEditor) {
  FollowTempo(100.0f);
  plugin->QueueUIReply(10, {{"ok", true}});
  Ticks(50);
  EXPECT_TRUE(plugin->messages.empty());
}

TEST_F(IdleHook, VersionOncePerOpening) {
  plugin->OnEditorOpened();
  Ticks(3);
  auto version = Sent(UIMsgTag::Version);
  ASSERT_EQ(version.size(), 1u);
  EXPECT_EQ(version[0].Text(), R"({"version":"1.0.10"})");
  plugin->DetachEditorWindow();
  plugin->OnEditorOpened();
  Ticks(3);
  EXPECT_EQ(Sent(UIMsgTag::Version).size(), 2u);
}

TEST_F(IdleHook, TempoLinkEveryTwentyTicksOnlyWhenItMoved) {
  plugin->OnEditorOpened();
  FollowTempo(2.0f);
  Ticks(1);  // the first report comes at the first tick
  auto reports = Sent(UIMsgTag::TempoLink);
  ASSERT_EQ(reports.size(), 1u);
  auto frame = reports[0].As<LinkFrame>();
  EXPECT_EQ(frame[0], 2.0f);
  EXPECT_EQ(frame[1], 1.0f);

  // 2.0 -> 2.05f moves by no more than 0.05 in float32: not sent.
  FollowTempo(2.05f);
  Ticks(40);
  EXPECT_EQ(Sent(UIMsgTag::TempoLink).size(), 1u);
  FollowTempo(2.06f);
  Ticks(19);
  EXPECT_EQ(Sent(UIMsgTag::TempoLink).size(), 1u);  // not yet: twenty ticks since the last report
  Ticks(1);
  reports = Sent(UIMsgTag::TempoLink);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1].As<LinkFrame>()[0], 2.06f);

  // The block goes stale: the tempo stays, the link drops.
  tempo.nowMs += 5000;
  plugin->SnapshotSettingsAndFollowTempo(120.0);
  Ticks(20);
  reports = Sent(UIMsgTag::TempoLink);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[2].As<LinkFrame>()[0], 2.06f);
  EXPECT_EQ(reports[2].As<LinkFrame>()[1], 0.0f);
}

TEST_F(IdleHook, MetersWhenAFrameDiffersEnough) {
  plugin->OnEditorOpened();
  Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample64, 64, 48000.0};
  ASSERT_EQ(plugin->setupProcessing(setup), Steinberg::kResultOk);
  std::vector<double> left(64, 0.5), right(64, 0.5), outL(64), outR(64);
  double* in[2] = {left.data(), right.data()};
  double* out[2] = {outL.data(), outR.data()};
  plugin->SetChannelConnections(plugkit::BusDirection::Output, 0, 2, true);
  plugin->RenderBlock(in, out, 64);
  Ticks(1);
  auto meters = Sent(UIMsgTag::Meters);
  ASSERT_EQ(meters.size(), 1u);
  const tarnwell::dsp::MeterFrame first = meters[0].As<tarnwell::dsp::MeterFrame>();
  EXPECT_FLOAT_EQ(first.inputPeak, 0.5f);
  EXPECT_GT(first.outputPeak, 0.0f);
  EXPECT_EQ(first.outputPeakHold, first.outputPeak);

  // Sixteen blocks later, the same levels: a frame is taken but not sent.
  for (int i = 0; i < 16; ++i) plugin->RenderBlock(in, out, 64);
  Ticks(1);
  EXPECT_EQ(Sent(UIMsgTag::Meters).size(), 1u);
  // A level that moves sends again.
  std::fill(left.begin(), left.end(), 0.25);
  std::fill(right.begin(), right.end(), 0.25);
  for (int i = 0; i < 16; ++i) plugin->RenderBlock(in, out, 64);
  Ticks(1);
  EXPECT_EQ(Sent(UIMsgTag::Meters).size(), 2u);
}

TEST_F(IdleHook, RepliesFollowThePresetIdInQueueOrderAndWaitForTheEditor) {
  plugin->OnEditorOpened();
  Ticks(1);
  plugin->ClearPage();
  plugin->QueueUIReply(10, {{"ok", false}, {"error", "load failed"}});
  plugin->QueueUIReply(8, {{"presets", nlohmann::json::array()}});
  plugin->MarkPresetIdChanged();
  Ticks(1);
  ASSERT_EQ(plugin->messages.size(), 3u);
  EXPECT_EQ(plugin->messages[0].msgTag, 12);
  EXPECT_EQ(plugin->messages[1].msgTag, 10);
  EXPECT_EQ(plugin->messages[1].Text(), R"({"error":"load failed","ok":false})");
  EXPECT_EQ(plugin->messages[2].Text(), R"({"presets":[]})");

  // Queued while open, closed before the tick: sent at the next opening, after the id.
  plugin->QueueUIReply(14, {{"ok", true}});
  plugin->DetachEditorWindow();
  plugin->QueueUIReply(16, {{"ok", true}});  // closed: dropped
  Ticks(3);
  plugin->ClearPage();
  plugin->OnEditorOpened();
  Ticks(1);
  std::vector<int32_t> tags;
  for (const auto& message : plugin->messages)
    if (message.msgTag == 12 || message.msgTag == 14) tags.push_back(message.msgTag);
  EXPECT_EQ(tags, (std::vector<int32_t>{12, 14}));
}

TEST_F(IdleHook, RepliesAndIdsThatAreNotUtf8AreSentWithReplacements) {
  plugin->OnEditorOpened();
  Ticks(1);
  plugin->ClearPage();
  plugin->SetCurrentPresetId("user:\xFF.json");
  plugin->MarkPresetIdChanged();
  plugin->QueueUIReply(6, {{"error", "bad \xC3"}, {"ok", false}});
  Ticks(1);
  ASSERT_EQ(plugin->messages.size(), 2u);
  EXPECT_EQ(plugin->messages[0].Text(), "{\"id\":\"user:\xEF\xBF\xBD.json\"}");
  EXPECT_EQ(plugin->messages[1].Text(), "{\"error\":\"bad \xEF\xBF\xBD\",\"ok\":false}");
}

// A fake context for the dispatcher alone.
struct FakeContext final : tarnwell::RackRequestContext {
  void ApplyPresetSlots(const tarnwell::PresetSlots&) override {}
  void SelectFactoryPreset(int32_t index) override { selected.push_back(index); }
  double ParamValue(int32_t) const override { return 0.0; }
  const std::string& CurrentPresetId() const override { return id; }
  void SetCurrentPresetId(std::string value) override { id = std::move(value); }
  void MarkPresetIdChanged() override {}
  std::string LocalAppDataFolder() const override { return {}; }
  void QueueUIReply(int32_t msgTag, const nlohmann::json& reply) override { replies.push_back({msgTag, reply}); }
  tarnwell::SessionTokenStore& SessionTokens() override { throw std::logic_error("no session store here"); }
  std::vector<int32_t> selected;
  std::string id;
  std::vector<std::pair<int32_t, nlohmann::json>> replies;
};

TEST(UIRequests, UnroutedTagsAnswerFalseAndDoNothing) {
  FakeContext context;
  for (int32_t tag : {0, 1, 3, 6, 8, 12, 19, 22, -1, 999})
    EXPECT_FALSE(tarnwell::DispatchUIRequest(context, tarnwell::UIRequestRoutes(), tag, 1, 0, nullptr)) << tag;
  EXPECT_TRUE(context.selected.empty());
  EXPECT_TRUE(context.replies.empty());
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, tarnwell::UIRequestRoutes(), 4, 3, 0, nullptr));
  EXPECT_EQ(context.selected, std::vector<int32_t>{3});
}

TEST(UIRequests, HandlerThatThrowsGetsTheRouteFailureReply) {
  const tarnwell::UIRequestRoute routes[] = {
      {9, [](tarnwell::RackRequestContext&, const tarnwell::UIRequest&) { throw std::runtime_error("disk"); }, 10,
       [] { return tarnwell::FailedReply("load failed"); }},
      {7, [](tarnwell::RackRequestContext&, const tarnwell::UIRequest&) { throw 42; }, 8,
       [] {
         return nlohmann::json{{"presets", nlohmann::json::array()}};
       }},
      {5, [](tarnwell::RackRequestContext&, const tarnwell::UIRequest&) { throw std::bad_alloc(); }, 6, nullptr},
      {13,
       [](tarnwell::RackRequestContext& c, const tarnwell::UIRequest& r) {
         c.QueueUIReply(14, {{"payload", std::string(r.Text())}, {"has", r.HasPayload()}});
       },
       14, nullptr},
  };
  FakeContext context;
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, routes, 9, 0, 0, nullptr));
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, routes, 7, 0, 0, nullptr));
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, routes, 5, 0, 0, nullptr));
  const char text[] = "a.json";
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, routes, 13, 0, 6, text));
  EXPECT_TRUE(tarnwell::DispatchUIRequest(context, routes, 13, 0, 0, text));  // size 0: no payload
  ASSERT_EQ(context.replies.size(), 4u);
  EXPECT_EQ(context.replies[0].first, 10);
  EXPECT_EQ(context.replies[0].second.dump(), R"({"error":"load failed","ok":false})");
  EXPECT_EQ(context.replies[1].second.dump(), R"({"presets":[]})");
  EXPECT_EQ(context.replies[2].second.dump(), R"({"has":true,"payload":"a.json"})");
  EXPECT_EQ(context.replies[3].second.dump(), R"({"has":false,"payload":""})");
}

}  // namespace
