// What the page learns from the plug-in instead of keeping copies: it comes once per opening
// before any tagged message, names every tag the plug-in sends or answers, lists the texts a
// host shows for a bay's effect and character, and each factory row selects the preset it names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <set>
#include <string>

#include "host/host_application.h"
#include "host/text.h"
#include "rack/tarnwell_params.h"
#include "rack/ui_requests.h"
#include "recording_tarnwell.h"
#include "webview/page_script_calls.h"

namespace {

using tarnwell::BayField;
using tarnwell::BayParam;

class PageVocabulary : public ::testing::Test {
 protected:
  // The vocabulary of the last opening; fails the test when there was not exactly one.
  nlohmann::json Opened() {
    plugin->ClearPage();
    plugin->OnEditorOpened();
    const auto sent = plugin->MessagesTagged(plugkit::kPageVocabularyTag);
    EXPECT_EQ(sent.size(), 1u);
    return sent.empty() ? nlohmann::json() : nlohmann::json::parse(sent[0].Text());
  }

  // The text a host shows for the plain value of a list parameter.
  std::string HostText(int32_t paramIdx, double plain) {
    const plugkit::IParam* param = plugin->GetParam(paramIdx);
    Steinberg::Vst::String128 text{};
    EXPECT_EQ(plugin->getParamStringByValue(static_cast<Steinberg::Vst::ParamID>(paramIdx),
                                            param->NormaliseValue(plain), text),
              Steinberg::kResultOk);
    return tarnwell::host::Utf16ToUtf8(text, 128);
  }

  test::FakeTempoState tempo{.available = true};
  test::OwnedTarnwell plugin{tempo};
};

TEST_F(PageVocabulary, ComesAtEveryOpeningBeforeAnyTaggedMessage) {
  const nlohmann::json vocabulary = Opened();
  plugin->OnIdleTick();
  ASSERT_GE(plugin->messages.size(), 2u);
  EXPECT_EQ(plugin->messages[0].msgTag, plugkit::kPageVocabularyTag);
  EXPECT_EQ(plugin->paramValues.size(), 53u);

  plugin->DetachEditorWindow();
  EXPECT_EQ(Opened(), vocabulary);
}

TEST_F(PageVocabulary, NamesEveryTagThePlugInSendsOrAnswers) {
  const nlohmann::json vocabulary = Opened();
  std::set<int32_t> named;
  for (const auto& [name, tag] : vocabulary["tags"].items())
    EXPECT_TRUE(named.insert(tag.get<int32_t>()).second) << name << " shares its number";
  for (const tarnwell::UIRequestRoute& route : tarnwell::UIRequestRoutes()) {
    EXPECT_TRUE(named.contains(route.msgTag)) << route.msgTag;
    if (route.failureReply != nullptr) {
      EXPECT_TRUE(named.contains(route.replyTag)) << route.replyTag;
    }
  }
  // What the idle tick sends of its own accord: the version, the tempo link, the preset id and
  // the meters.
  Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample64, 64, 48000.0};
  ASSERT_EQ(plugin->setupProcessing(setup), Steinberg::kResultOk);
  std::vector<double> in(64, 0.5), outL(64), outR(64);
  double* inputs[2] = {in.data(), in.data()};
  double* outputs[2] = {outL.data(), outR.data()};
  plugin->SetChannelConnections(plugkit::BusDirection::Output, 0, 2, true);
  plugin->RenderBlock(inputs, outputs, 64);
  plugin->OnIdleTick();
  std::set<int32_t> sent;
  for (const test::PageMessage& message : plugin->messages) sent.insert(message.msgTag);
  sent.erase(plugkit::kPageVocabularyTag);
  EXPECT_EQ(sent.size(), 4u);
  for (int32_t tag : sent) EXPECT_TRUE(named.contains(tag)) << tag;
  EXPECT_EQ(vocabulary["tags"]["version"], 22);
  EXPECT_EQ(vocabulary["tags"]["selectFactoryPresetRequest"], 4);
}

TEST_F(PageVocabulary, EffectAndCharacterTextsAreWhatAHostShows) {
  tarnwell::host::HostApplication host("Test Host");
  ASSERT_EQ(plugin->initialize(&host), Steinberg::kResultOk);
  const nlohmann::json vocabulary = Opened();
  EXPECT_EQ(vocabulary["bays"], 10);
  struct Case {
    const char* key;
    BayField field;
    size_t count;
  };
  for (const Case& c : {Case{"effects", BayField::Effect, 18}, Case{"characters", BayField::Character, 16}}) {
    SCOPED_TRACE(c.key);
    const nlohmann::json& texts = vocabulary[c.key];
    ASSERT_EQ(texts.size(), c.count);
    for (size_t value = 0; value < c.count; ++value)
      EXPECT_EQ(texts[value], HostText(BayParam(0, c.field), static_cast<double>(value))) << value;
  }
  // A fresh bay holds the empty effect.
  const int32_t empty = vocabulary["emptyEffect"];
  EXPECT_EQ(static_cast<double>(empty), plugin->GetParam(BayParam(9, BayField::Effect))->Default());
  EXPECT_EQ(vocabulary["effects"][static_cast<size_t>(empty)], "Empty");
  plugin->terminate();
}

TEST_F(PageVocabulary, EachFactoryRowSelectsThePresetItNames) {
  const nlohmann::json vocabulary = Opened();
  const nlohmann::json& rows = vocabulary["factory"];
  ASSERT_EQ(rows.size(), 4u);
  const int32_t select = vocabulary["tags"]["selectFactoryPresetRequest"];
  // From the last row back, so that every row changes the current preset.
  for (size_t row = rows.size(); row-- > 0;) {
    ASSERT_TRUE(plugin->HandleUIMessage(select, static_cast<int32_t>(row), 0, nullptr));
    EXPECT_EQ(plugin->CurrentPresetId(), rows[row]["id"]) << row;
  }
  EXPECT_EQ(rows[1]["id"], "factory:present");
  EXPECT_EQ(rows[1]["name"], "Present");
}

}  // namespace
