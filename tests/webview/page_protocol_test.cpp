// The page protocol on the test plug-in: the parameter list and values after each load,
// every kind of page message, malformed ones, and the script calls to the page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "framework/core/comma_locale.h"
#include "plugin_fixture.h"
#include "webview/base64.h"
#include "webview/page_message.h"

namespace {

using namespace fake;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The JSON text inside an "SAMFD(-1, n, '...')" call.
std::string ParamListOf(const std::string& script) {
  const std::size_t open = script.find('\'');
  const std::size_t close = script.rfind('\'');
  if (open == std::string::npos || close <= open) return "(not an SAMFD call)";
  const auto decoded = plugkit::DecodePagePayload(script.substr(open + 1, close - open - 1));
  return decoded ? std::string(decoded->begin(), decoded->end()) : "(bad base64)";
}

constexpr char kParamList[] =
    R"({"id":"params","params":[)"
    R"({"default":0.0,"display_type":0,"id":0,"max":12.0,"min":-12.0,"name":"Gain","rate":"control","type":"float"},)"
    R"({"default":1.0,"display_type":0,"id":1,"max":2.0,"min":0.0,"name":"Mode","rate":"control","type":"enum"},)"
    R"({"default":1.0,"display_type":0,"id":2,"max":1.0,"min":0.0,"name":"On","rate":"control","type":"bool"}]})";

using PageProtocolTest = PluginFixture;

TEST_F(PageProtocolTest, EachLoadSendsTheParameterListThenTheValues) {
  OpenEditor();
  const std::string url = std::string(plugkit::webview::kVirtualHostOrigin) + "index.html";
  EXPECT_THAT(browser.journal, ::testing::Contains("WebView.Navigate(" + url + ")"));
  ASSERT_EQ(browser.executedScripts.size(), 4u);
  const std::string list = ParamListOf(browser.executedScripts[0]);
  EXPECT_EQ(list, kParamList);
  const int64_t length = static_cast<int64_t>(plugkit::Base64Text(reinterpret_cast<const uint8_t*>(list.data()),
                                                                  static_cast<int64_t>(list.size()))
                                                  .size()) +
                         1;
  EXPECT_TRUE(browser.executedScripts[0].starts_with("SAMFD(-1, " + std::to_string(length) + ", '"));
  EXPECT_THAT(std::vector<std::string>(browser.executedScripts.begin() + 1, browser.executedScripts.end()),
              ElementsAre("SPVFD(0, 0.500000)", "SPVFD(1, 0.500000)", "SPVFD(2, 1.000000)"));
  EXPECT_THAT(plugin->calls, ElementsAre("OnEditorOpened"));

  // A reload of the page gets both again; a failed navigation gets nothing.
  EXPECT_FALSE(browser.StartNavigation(url));
  browser.Pump();
  EXPECT_EQ(browser.executedScripts.size(), 8u);
  EXPECT_EQ(ParamListOf(browser.executedScripts[4]), kParamList);
  browser.navigationSucceeds = false;
  browser.StartNavigation(url);
  browser.Pump();
  EXPECT_EQ(browser.executedScripts.size(), 8u);
  for (size_t i = 0; i < browser.executedScripts.size(); ++i) browser.CompleteScript(i, kOk);
}

TEST_F(PageProtocolTest, NavigationOutsideTheWebFolderIsCancelled) {
  OpenEditor();
  EXPECT_TRUE(browser.StartNavigation("https://elsewhere.example/index.html"));
  EXPECT_TRUE(browser.StartNavigation(std::string(plugkit::webview::kVirtualHostOrigin) + "a/%2e%2e/b.html"));
  EXPECT_FALSE(browser.StartNavigation("about:blank"));
  browser.Pump();
}

TEST_F(PageProtocolTest, ParameterValuesFromThePageAreClampedAndChecked) {
  OpenEditor();
  struct Case {
    const char* json;
    bool reaches;
    int32_t paramIdx;
    double value;
  };
  const Case cases[] = {
      {R"({"msg":"SPVFUI","paramIdx":0,"value":0.75})", true, 0, 0.75},
      {R"({"msg":"SPVFUI","paramIdx":0,"value":5.0})", true, 0, 1.0},
      {R"({"msg":"SPVFUI","paramIdx":0,"value":-3})", true, 0, 0.0},
      {R"({"msg":"SPVFUI","paramIdx":1.9,"value":1})", true, 1, 1.0},   // cut toward zero
      {R"({"msg":"SPVFUI","paramIdx":true,"value":0})", true, 1, 0.0},  // a boolean counts 1
      {R"({"msg":"SPVFUI","paramIdx":3})", false, 0, 0},                // no value
      {R"({"msg":"SPVFUI","paramIdx":3,"value":"0.5"})", false, 0, 0},
      {R"({"msg":"SPVFUI","paramIdx":0,"value":true})", false, 0, 0},  // a boolean is no number
      {R"({"msg":"SPVFUI","paramIdx":3,"value":0.5})", false, 0, 0},   // the parameter count
      {R"({"msg":"SPVFUI","paramIdx":-1,"value":0.5})", false, 0, 0},
      {R"({"msg":"SPVFUI","paramIdx":"0","value":0.5})", false, 0, 0},
      {R"({"msg":"SPVFUI","paramIdx":4294967296.0,"value":0.5})", false, 0, 0},  // beyond int32
      {R"({"msg":"SPVFUI","paramIdx":4294967296,"value":0.5})", true, 0, 0.5},   // low 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    plugin->hostValues.clear();
    browser.PostWebMessage(c.json);
    if (!c.reaches) {
      EXPECT_THAT(plugin->hostValues, IsEmpty());
      continue;
    }
    ASSERT_EQ(plugin->hostValues.size(), 1u);
    EXPECT_EQ(plugin->hostValues[0].paramIdx, c.paramIdx);
    EXPECT_EQ(plugin->hostValues[0].normalised, c.value);
    EXPECT_EQ(plugin->GetParam(c.paramIdx)->NormaliseValue(plugin->GetParam(c.paramIdx)->Value()), c.value);
  }
}

TEST_F(PageProtocolTest, GesturesPassTheirIndexOnUnchecked) {
  OpenEditor();
  plugin->calls.clear();
  browser.PostWebMessage(R"({"msg":"BPCFUI","paramIdx":3})");
  browser.PostWebMessage(R"({"msg":"EPCFUI","paramIdx":-1})");
  browser.PostWebMessage(R"({"msg":"BPCFUI"})");
  browser.PostWebMessage(R"({"msg":"EPCFUI","paramIdx":null})");
  EXPECT_THAT(plugin->calls, ElementsAre("BeginGesture(3)", "EndGesture(-1)"));
}

TEST_F(PageProtocolTest, ArbitraryMessagesCarryTheirDecodedPayload) {
  OpenEditor();
  struct Case {
    const char* data;  // the "data" member as JSON, or null for none
    bool reaches;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {R"("QUJD")", true, {'A', 'B', 'C'}},
      {R"("QUI=")", true, {'A', 'B'}},
      {R"("QQ==")", true, {'A'}},
      {R"("QUJDR!FG")", true, {'A', 'B', 'C', 0, 0, 0}},  // stops at the first foreign character
      {R"("QUJD=")", true, {'A', 'B'}},                   // the size bounds the decoding
      {R"("QU-_")", true, {'A', 0, 0}},                   // URL-safe letters are foreign
      {R"("")", true, {}},
      {nullptr, true, {}},
      {"42", true, {}},  // not a string: no payload
      {R"("=")", false, {}},
      {R"("=A")", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data != nullptr ? c.data : "(none)");
    plugin->messages.clear();
    std::string json = R"({"msg":"SAMFUI","msgTag":7,"ctrlTag":-2)";
    if (c.data != nullptr) json += std::string(R"(,"data":)") + c.data;
    browser.PostWebMessage(json + "}");
    if (!c.reaches) {
      EXPECT_THAT(plugin->messages, IsEmpty());
      continue;
    }
    ASSERT_EQ(plugin->messages.size(), 1u);
    EXPECT_EQ(plugin->messages[0].msgTag, 7);
    EXPECT_EQ(plugin->messages[0].ctrlTag, -2);
    EXPECT_EQ(plugin->messages[0].dataSize, static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(plugin->messages[0].noData, c.bytes.empty());
    EXPECT_EQ(plugin->messages[0].data, c.bytes);
  }
  plugin->messages.clear();
  browser.PostWebMessage(R"({"msg":"SAMFUI","msgTag":7,"data":"QUJD"})");
  browser.PostWebMessage(R"({"msg":"SAMFUI","ctrlTag":7,"msgTag":"1"})");
  EXPECT_THAT(plugin->messages, IsEmpty());
}

TEST_F(PageProtocolTest, MidiFromThePageKeepsTheLowByteOfEachField) {
  OpenEditor();
  browser.PostWebMessage(R"({"msg":"SMMFUI","statusByte":144,"dataByte1":300,"dataByte2":true})");
  browser.PostWebMessage(R"({"msg":"SMMFUI","statusByte":176.7,"dataByte1":-1,"dataByte2":0})");
  browser.PostWebMessage(R"({"msg":"SMMFUI","statusByte":144,"dataByte1":60})");
  ASSERT_EQ(plugin->midiFromPage.size(), 2u);
  EXPECT_EQ(plugin->midiFromPage[0].offset, 0);
  EXPECT_EQ(plugin->midiFromPage[0].status, 144);
  EXPECT_EQ(plugin->midiFromPage[0].data1, 44);
  EXPECT_EQ(plugin->midiFromPage[0].data2, 1);
  EXPECT_EQ(plugin->midiFromPage[1].status, 176);
  EXPECT_EQ(plugin->midiFromPage[1].data1, 255);
}

std::string KeyMessage(const std::string& keyCode, const std::string& utf8, bool isUp, bool shift = false) {
  return R"({"msg":"SKPFUI","keyCode":)" + keyCode + R"(,"utf8":)" + utf8 + R"(,"S":)" + (shift ? "true" : "false") +
         R"(,"C":true,"A":false,"isUp":)" + (isUp ? "true" : "false") + "}";
}

TEST_F(PageProtocolTest, KeysFromThePageAreMappedAndOnlyTheSpaceBarReachesTheHost) {
  OpenEditor();
  struct Case {
    std::string keyCode;
    std::string utf8;
    int32_t vk;
    const char* text;
  };
  const Case cases[] = {
      {"65", R"("a")", 65, "a"},
      {"97", R"("1")", 49, "1"},  // keypad 1
      {"186", R"(";")", 0, ";"},
      {"true", R"("x")", 0, "x"},  // a boolean key code is 1: no key
      {"65.9", R"("A")", 65, "A"},
      {"16", R"("Shift")", 16, ""},  // key names are not texts
      {"69", R"("\u00e9")", 69, "\xc3\xa9"},
      {"0", R"("\ud83d\ude00")", 0, "\xf0\x9f\x98\x80"},  // four bytes fit
      {"112", R"("F1")", 112, ""},
      {"124", R"("F13")", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyCode + " " + c.utf8);
    plugin->keys.clear();
    browser.PostWebMessage(KeyMessage(c.keyCode, c.utf8, false, true));
    ASSERT_EQ(plugin->keys.size(), 1u);
    const plugkit::KeyEvent& key = plugin->keys[0].event;
    EXPECT_EQ(key.VK, c.vk);
    EXPECT_STREQ(key.utf8, c.text);
    EXPECT_TRUE(key.S);
    EXPECT_TRUE(key.C);
    EXPECT_FALSE(key.A);
  }
  EXPECT_THAT(desktop.spaceKeyDowns, IsEmpty());

  plugin->keys.clear();
  plugin->keyResults.clear();
  browser.PostWebMessage(KeyMessage("32", R"(" ")", false));
  browser.PostWebMessage(KeyMessage("32", R"(" ")", true));
  browser.PostWebMessage(KeyMessage("13", R"("Enter")", true));
  EXPECT_THAT(desktop.spaceKeyDowns, ElementsAre(kParentWindow));
  ASSERT_EQ(plugin->keys.size(), 3u);
  EXPECT_FALSE(plugin->keys[0].up);
  EXPECT_TRUE(plugin->keys[1].up);
  EXPECT_TRUE(plugin->keys[2].up);
  EXPECT_THAT(plugin->keyResults, ElementsAre(true, true, true));

  // A key message missing a field, or with a mistyped one, is dropped whole.
  plugin->keys.clear();
  browser.PostWebMessage(R"({"msg":"SKPFUI","keyCode":32,"utf8":" ","S":false,"C":false,"A":false})");
  browser.PostWebMessage(R"({"msg":"SKPFUI","keyCode":32,"utf8":32,"S":false,"C":false,"A":false,"isUp":false})");
  browser.PostWebMessage(R"({"msg":"SKPFUI","keyCode":32,"utf8":" ","S":0,"C":false,"A":false,"isUp":false})");
  EXPECT_THAT(plugin->keys, IsEmpty());
}

TEST_F(PageProtocolTest, WithoutAnEditorWindowTheSpaceBarPostsNothing) {
  OpenEditor();
  plugin->DetachEditorWindow();
  plugkit::KeyEvent space;
  space.VK = 32;
  EXPECT_FALSE(plugin->HandleKeyDown(space));
  EXPECT_THAT(desktop.spaceKeyDowns, IsEmpty());
}

TEST_F(PageProtocolTest, MalformedMessagesChangeNothing) {
  OpenEditor();
  plugin->calls.clear();
  const size_t scripts = browser.executedScripts.size();
  const char* const messages[] = {
      "not json",
      R"("SPVFUI")",
      "[1,2]",
      "null",
      "42",
      "true",
      "{}",
      R"({"msg":5})",
      R"({"msg":"spvfui"})",
      R"({"msg":"XYZ","paramIdx":0,"value":1})",
      R"({"msg":"SPVFUI","paramIdx":0,"value":0.5)",
      R"({"msg":["SPVFUI"]})",
      "",
  };
  for (const char* message : messages) browser.PostWebMessage(message);
  EXPECT_THAT(plugin->calls, IsEmpty());
  EXPECT_THAT(plugin->hostValues, IsEmpty());
  EXPECT_THAT(plugin->messages, IsEmpty());
  EXPECT_THAT(plugin->keys, IsEmpty());
  EXPECT_EQ(browser.executedScripts.size(), scripts);
  // The browser always hands over UTF-8; text that is not is no message either.
  EXPECT_TRUE(std::holds_alternative<plugkit::NoPageMessage>(plugkit::ParsePageMessage(nullptr)));
  EXPECT_TRUE(std::holds_alternative<plugkit::NoPageMessage>(
      plugkit::ParsePageMessage("{\"msg\":\"SAMFUI\",\"msgTag\":1,\"ctrlTag\":1,\"data\":\"\xff\xfe\"}")));
}

TEST_F(PageProtocolTest, ScriptCallsToThePage) {
  OpenEditor();
  browser.executedScripts.clear();
  const uint8_t bytes[] = {'A', 'B', 'C'};
  plugin->SendArbitraryMsgToUI(7, 1, bytes);
  plugin->SendArbitraryMsgToUI(7, 3, bytes);
  plugin->SendArbitraryMsgToUI(7, 0, nullptr);
  plugin->SendControlMsgToUI(3, 4, 0, nullptr);
  plugin->SendControlMsgToUI(3, 4, 2, bytes);
  plugin->SendControlValueToUI(2, 0.25);
  plugin->SendMidiMsgToUI(plugkit::MidiMessage{99, 0x90, 60, 127});
  plugin->SendParamValueToUI(0, 6.0, false);
  plugin->SendParamValueToUI(1, 0.123456789, true);
  plugin->SendParamValueToUI(7, 1.0, false);  // no such parameter: nothing to normalise with
  EXPECT_THAT(browser.executedScripts, ElementsAre("SAMFD(7, 5, 'QQ==')", "SAMFD(7, 5, 'QUJD')", "SAMFD(7, 0, '')",
                                                   "SCMFD(3, 4, 0, '')", "SCMFD(3, 4, 2, 'QUI=')", "SCVFD(2, 0.250000)",
                                                   "SMMFD(144, 60, 127)", "SPVFD(0, 0.750000)", "SPVFD(1, 0.123457)"));
}

TEST_F(PageProtocolTest, LongCallsAreSentWhole) {
  OpenEditor();
  browser.executedScripts.clear();
  const std::vector<uint8_t> payload(9000, 'x');
  plugin->SendArbitraryMsgToUI(5, static_cast<int32_t>(payload.size()), payload.data());
  ASSERT_EQ(browser.executedScripts.size(), 1u);
  const std::string& call = browser.executedScripts[0];
  EXPECT_EQ(call.size(), std::string("SAMFD(5, 12001, '')").size() + 12000);
  EXPECT_TRUE(call.ends_with("')"));
  const auto decoded = plugkit::DecodePagePayload(call.substr(call.find('\'') + 1, 12000));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, payload);
}

TEST_F(PageProtocolTest, NumbersIgnoreTheProcessLocale) {
  OpenEditor();
  browser.executedScripts.clear();
  {
    plugkit::testing::CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    plugin->SendParamValueToUI(0, 0.5, true);
    plugin->SendControlValueToUI(1, -2.5);
  }
  EXPECT_THAT(browser.executedScripts, ElementsAre("SPVFD(0, 0.500000)", "SCVFD(1, -2.500000)"));
}

}  // namespace
