// Preset files for real, in a scratch application-data folder: save, load and the listing
// through the page's requests, with their replies, ids and files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/core/folder_paths.h"
#include "preset_fixture.h"
#include "rack/preset_folder.h"
#include "rack/tarnwell_params.h"
#include "tests/platform/user_folder_redirect.h"

namespace {

using nlohmann::json;
using tarnwell::BayField;
using tarnwell::BayParam;
using tarnwell::UIMsgTag;

class PresetFiles : public test::PresetFolderTest {
 protected:
  double Value(int32_t paramIdx) const { return plugin->ParamValue(paramIdx); }
  void Set(int32_t paramIdx, double value) { plugin->GetParam(paramIdx)->SetValue(value); }
  std::string Load(std::string_view path) { return Outcome(UIMsgTag::LoadPresetRequest, path); }
  std::string Save(const json& request) { return OutcomeWith(UIMsgTag::SavePresetRequest, request); }
  std::vector<test::PageMessage> CurrentPresetMessages() const {
    return plugin->MessagesTagged(tarnwell::TagValue(UIMsgTag::CurrentPreset));
  }
  // The listing sorted by id: the walk's order is the system's.
  json List() {
    json reply = Ask(UIMsgTag::ListPresetsRequest, "");
    EXPECT_EQ(reply.size(), 1u) << reply;
    json presets = reply.value("presets", json::array());
    std::sort(presets.begin(), presets.end(), [](const json& a, const json& b) { return a["id"] < b["id"]; });
    return presets;
  }
};

TEST_F(PresetFiles, SavedRackLoadsBackWithItsIdAndFileLayout) {
  Set(tarnwell::kInputParam, 3.5);
  Set(tarnwell::kOutputParam, -2.0);
  Set(tarnwell::kSafetyParam, 0.0);
  Set(BayParam(0, BayField::On), 1.0);
  Set(BayParam(0, BayField::Effect), 4.0);
  Set(BayParam(0, BayField::Character), 2.0);
  Set(BayParam(0, BayField::Amount), 25.0);
  Set(BayParam(0, BayField::Solo), 1.0);
  // Saved switched off: comes back off and empty, its character kept.
  Set(BayParam(4, BayField::Effect), 11.0);
  Set(BayParam(4, BayField::Character), 3.0);

  EXPECT_EQ(AskText(UIMsgTag::SavePresetRequest, R"({"name":" .My/Preset ","path":"Vocals"})"), R"({"ok":true})");
  EXPECT_EQ(plugin->CurrentPresetId(), "user:Vocals/My-Preset.json");
  // The tick that sent the reply sent the new id first.
  ASSERT_EQ(CurrentPresetMessages().size(), 1u);
  EXPECT_EQ(plugin->messages.front().msgTag, tarnwell::TagValue(UIMsgTag::CurrentPreset));
  EXPECT_EQ(CurrentPresetMessages()[0].Text(), R"({"id":"user:Vocals/My-Preset.json"})");

  const std::string file = Read("Vocals/My-Preset.json");
  ASSERT_FALSE(file.empty());
  EXPECT_NE(file.back(), '\n');
  EXPECT_EQ(file.find("{\n  \"category\": \"User\",\n  \"inputGain\": 3.5,\n  \"name\": \" .My/Preset \",\n"
                      "  \"outputGain\": -2.0,\n  \"safety\": false,\n  \"slots\": [\n    {\n      \"amount\": 0.25,\n"
                      "      \"index\": 0,\n      \"on\": true,\n      \"solo\": true,\n      \"style\": 2,\n"
                      "      \"type\": 4\n    },"),
            0u)
      << file;
  EXPECT_EQ(json::parse(file)["slots"].size(), 10u);

  plugin->SelectFactoryPreset(3);
  EXPECT_EQ(Load("Vocals/My-Preset.json"), "ok");
  EXPECT_EQ(plugin->CurrentPresetId(), "user:Vocals/My-Preset.json");
  EXPECT_EQ(Value(tarnwell::kInputParam), 3.5);
  EXPECT_EQ(Value(tarnwell::kOutputParam), -2.0);
  EXPECT_EQ(Value(tarnwell::kSafetyParam), 0.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Effect)), 4.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Character)), 2.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Amount)), 25.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Solo)), 0.0);  // no bay comes back soloed
  EXPECT_EQ(Value(BayParam(4, BayField::On)), 0.0);
  EXPECT_EQ(Value(BayParam(4, BayField::Effect)), 17.0);
  EXPECT_EQ(Value(BayParam(4, BayField::Character)), 3.0);
  // The page hears every value and then the id.
  EXPECT_EQ(plugin->paramValues.size(), 53u);
}

TEST_F(PresetFiles, SaveRefusalsAndTheirTexts) {
  using namespace std::string_literals;
  ASSERT_EQ(Save({{"name", "Taken"}}), "ok");
  struct Case {
    std::string payload;
    std::string outcome;
  };
  const Case cases[] = {
      {R"({"name":""})", "name required"},
      {R"({"name":" . "})", "name required"},
      {R"({"path":"Vocals"})", "name required"},
      {R"({"name":"A","path":"Cloud"})", "cloud preset is read-only"},
      {R"({"name":"A","path":"Cloudy"})", "cloud preset is read-only"},
      {R"({"name":"A","path":"Cloud/x"})", "cloud preset is read-only"},
      {R"({"name":"Taken"})", "preset exists"},
      {R"({"name":"Taken","overwrite":true})", "ok"},
      {R"({"name":"CON"})", "cannot write preset"},
      {R"({"name":"nul.txt"})", "cannot write preset"},
      {R"({"name":"A","path":"com1"})", "cannot write preset"},
      {R"({"name":5})", "[json.exception.type_error.302] type must be string, but is number"},
      {R"({"name":"A","overwrite":"yes"})", "[json.exception.type_error.302] type must be boolean, but is string"},
      {R"(["A"])", "[json.exception.type_error.306] cannot use value() with array"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(UIMsgTag::SavePresetRequest, c.payload), c.outcome) << c.payload;
  EXPECT_EQ(AskText(UIMsgTag::SavePresetRequest, ""), R"({"error":"save failed","ok":false})");
  // The parser's message quotes what it read; a stray byte reaches the page replaced.
  for (const char* payload : {"not json", "{\"name\":\"\xFF\"}"})
    EXPECT_EQ(Outcome(UIMsgTag::SavePresetRequest, payload).rfind("[json.exception.parse_error.101]", 0), 0u)
        << payload;
  EXPECT_FALSE(Exists("Cloud"));
  EXPECT_FALSE(Exists("Cloudy"));
}

TEST_F(PresetFiles, NulInANameNeverCutsThePath) {
  ASSERT_EQ(Save({{"name", std::string("My\0P", 4)}, {"path", std::string("x.json\0", 7)}}), "ok");
  EXPECT_TRUE(Exists("x.json-/My-P.json"));
  EXPECT_EQ(plugin->CurrentPresetId(), "user:x.json-/My-P.json");
}

TEST_F(PresetFiles, NonAsciiNamesRoundTripAsUtf8) {
  const std::string name = "\xE8\xB4\xB4\xE8\x84\xB8\xE4\xBA\xBA\xE5\xA3\xB0";  // CJK
  const std::string folder =
      "\xC3\x9C"
      "bung";
  ASSERT_EQ(Save({{"name", name}, {"path", folder}}), "ok");
  const std::string path = folder + "/" + name + ".json";
  EXPECT_EQ(plugin->CurrentPresetId(), "user:" + path);
  EXPECT_EQ(json::parse(Read(path))["name"], name);
  const json presets = List();
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0]["id"], "user:" + path);
  EXPECT_EQ(presets[0]["name"], name);
  EXPECT_EQ(Load(path), "ok");
}

TEST_F(PresetFiles, RequestsWhileTheEditorIsClosedAreCarriedOutWithoutAReply) {
  plugin->DetachEditorWindow();
  const std::string request = R"({"name":"Closed"})";
  EXPECT_TRUE(plugin->HandleUIMessage(tarnwell::TagValue(UIMsgTag::SavePresetRequest), 0,
                                      static_cast<int32_t>(request.size()), request.data()));
  plugin->OnIdleTick();
  EXPECT_TRUE(plugin->messages.empty());
  EXPECT_TRUE(Exists("Closed.json"));
  EXPECT_EQ(plugin->CurrentPresetId(), "user:Closed.json");
}

TEST_F(PresetFiles, AFailedSaveKeepsTheOldFile) {
  ASSERT_EQ(Save({{"name", "Keep"}}), "ok");
  const std::string before = Read("Keep.json");
  plugin->SelectFactoryPreset(1);
  // A folder where the temporary file would go makes the write fail.
  std::filesystem::create_directories(File("Keep.json.tmp"));
  EXPECT_EQ(Save({{"name", "Keep"}, {"overwrite", true}}), "cannot write preset");
  EXPECT_EQ(Read("Keep.json"), before);
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:present");
  // A name so long that the file would pass the reading limit is refused before writing.
  EXPECT_EQ(Save({{"name", std::string(70000, ' ') + "x"}}), "preset too large");
  EXPECT_FALSE(Exists("x.json"));
}

TEST_F(PresetFiles, LoadReadsSlotsWithClampsAndDefaults) {
  Write("Slots.json", R"({"inputGain": 1.5, "slots": [
      {"index": 0, "type": 25, "amount": 1.7, "style": 20},
      {"index": 1, "type": -5, "amount": -1, "style": -3},
      {"index": 2.7, "type": 4.9, "amount": 0.5},
      {"type": 3},
      {"index": 1e300, "type": 3},
      {"index": 4294967296, "type": 3},
      {"index": 3, "type": 6, "on": false, "style": 5},
      {"index": 4, "type": 1}, {"index": 4, "type": 2, "solo": true}], "extra": [1, 2]})");
  EXPECT_EQ(Load("Slots.json"), "ok");
  EXPECT_EQ(Value(tarnwell::kInputParam), 1.5);
  EXPECT_EQ(Value(tarnwell::kSafetyParam), 1.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Effect)), 17.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Amount)), 100.0);
  EXPECT_EQ(Value(BayParam(0, BayField::Character)), 15.0);
  EXPECT_EQ(Value(BayParam(1, BayField::On)), 0.0);
  EXPECT_EQ(Value(BayParam(1, BayField::Amount)), 0.0);
  EXPECT_EQ(Value(BayParam(2, BayField::Effect)), 4.0);
  EXPECT_EQ(Value(BayParam(2, BayField::Amount)), 50.0);
  EXPECT_EQ(Value(BayParam(3, BayField::On)), 0.0);
  EXPECT_EQ(Value(BayParam(3, BayField::Character)), 5.0);
  EXPECT_EQ(Value(BayParam(4, BayField::Effect)), 2.0);  // the later slot of an index wins
  EXPECT_EQ(Value(BayParam(4, BayField::Solo)), 0.0);
  for (int32_t bay = 5; bay < tarnwell::dsp::kBayCount; ++bay)
    EXPECT_EQ(Value(BayParam(bay, BayField::On)), 0.0) << bay;

  Write("Null.json", "null");
  EXPECT_EQ(Load("Null.json"), "ok");
  for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay)
    EXPECT_EQ(Value(BayParam(bay, BayField::Effect)), 17.0) << bay;
  EXPECT_EQ(Value(tarnwell::kInputParam), 0.0);
}

TEST_F(PresetFiles, LoadFailuresChangeNeitherRackNorId) {
  Write("Array.json", "[1]");
  Write("Broken.json", "{\"slots\": [");
  Write("BadSafety.json", R"({"safety": "yes", "slots": [{"index": 0, "type": 3}]})");
  Write("BadSlot.json", R"({"slots": [5]})");
  Write("BadType.json", R"({"slots": [{"index": 0, "type": "Gate"}]})");
  Write("Folder.json/inner.json", "{}");
  Write("Big.json", std::string(65537, ' '));
  Write("Cloud/Pack/A.json", "{}");
  plugin->SelectFactoryPreset(2);
  const std::pair<std::string, std::string> cases[] = {
      {"Array.json", "[json.exception.type_error.305] cannot use operator[] with a string argument with array"},
      {"BadSafety.json", "[json.exception.type_error.302] type must be boolean, but is string"},
      {"BadSlot.json", "[json.exception.type_error.306] cannot use value() with number"},
      {"BadType.json", "[json.exception.type_error.302] type must be number, but is string"},
      {"Missing.json", "preset not found"},
      {"Folder.json", "preset not found"},
      {"Big.json", "preset too large"},
      {"../Big.json", "invalid preset path"},
      {"A.JSON", "invalid preset path"},
      {"Cloud\\Pack\\A.json", "invalid preset path"},
      {"CON.json", "invalid preset path"},
  };
  for (const auto& [path, outcome] : cases) {
    EXPECT_EQ(Load(path), outcome) << path;
    EXPECT_EQ(plugin->CurrentPresetId(), "factory:speech") << path;
    EXPECT_EQ(Value(BayParam(0, BayField::Effect)), 0.0) << path;  // speech's gate
  }
  EXPECT_EQ(Load("Broken.json").rfind("[json.exception.parse_error.101]", 0), 0u);
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:speech");
  EXPECT_EQ(AskText(UIMsgTag::LoadPresetRequest, ""), R"({"error":"load failed","ok":false})");
}

TEST_F(PresetFiles, LoadTakesFilesUpToTheLimitAndKeepsTheTextAsTheId) {
  std::string exact = R"({"slots": []})";
  exact.resize(65536, ' ');
  Write("Vocals/Exact.json", exact);
  EXPECT_EQ(Load("Vocals\\Exact.json"), "ok");
  EXPECT_EQ(plugin->CurrentPresetId(), "user:Vocals\\Exact.json");
  Write("Cloud/Pack/A.json", R"({"slots": [{"index": 9, "type": 12}]} trailing text is not read)");
  EXPECT_EQ(Load("Cloud/Pack/A.json"), "ok");
  EXPECT_EQ(plugin->CurrentPresetId(), "cloud:Cloud/Pack/A.json");
  EXPECT_EQ(Value(BayParam(9, BayField::Effect)), 12.0);
}

TEST_F(PresetFiles, ListingDescribesEachReadableFile) {
  Write("Vocals/Lead.json", R"({"slots": []})");
  Write("Top.json", R"({"name": "Top One", "nameZh": "\u9876"})");
  Write("Cloud/A.json", R"({"name": "A"})");
  Write("Cloud/Pack/B.json", R"({"name": "B"})");
  Write("Cloud/Deep/Er/C.json", R"({"name": "C"})");
  Write("\xE4\xBA\xBA\xE5\xA3\xB0/\xE8\xB4\xB4\xE8\x84\xB8.json", R"({"name": "\u8d34\u8138"})");
  // Left out, with the files after them still listed.
  Write("Upper.JSON", "{}");
  Write("x.json/inner.txt", "{}");
  Write("Big.json", "{}" + std::string(65535, ' '));
  Write("Array.json", "[]");
  Write("Invalid.json", "{");
  Write("Number.json", R"({"name": 5})");
  Write("ZhNumber.json", R"({"nameZh": 5})");
  Write("Temp.json.tmp", "{}");
  ASSERT_TRUE(test::SetLastWriteTimeMs(test::Utf8Of(File("Vocals/Lead.json")), 1000));

  const json presets = List();
  std::vector<std::string> ids;
  for (const json& entry : presets) ids.push_back(entry["id"]);
  EXPECT_EQ(ids, (std::vector<std::string>{"cloud:Cloud/A.json", "cloud:Cloud/Deep/Er/C.json",
                                           "cloud:Cloud/Pack/B.json", "user:Top.json", "user:Vocals/Lead.json",
                                           "user:\xE4\xBA\xBA\xE5\xA3\xB0/\xE8\xB4\xB4\xE8\x84\xB8.json"}));
  ASSERT_EQ(presets.size(), 6u);
  EXPECT_EQ(presets[0].dump(), R"({"id":"cloud:Cloud/A.json","name":"A","nameZh":"","pack":"Cloud","path":"",)"
                               R"("source":"cloud","updated_at":)" +
                                   std::to_string(presets[0]["updated_at"].get<int64_t>()) + "}");
  EXPECT_EQ(presets[1]["pack"], "Deep/Er");
  EXPECT_EQ(presets[1]["path"], "");
  EXPECT_EQ(presets[2]["pack"], "Pack");
  EXPECT_EQ(presets[3]["name"], "Top One");
  EXPECT_EQ(presets[3]["nameZh"], "\xE9\xA1\xB6");
  EXPECT_EQ(presets[3]["path"], "");
  EXPECT_EQ(presets[4].dump(), R"({"id":"user:Vocals/Lead.json","name":"Lead","nameZh":"","pack":"User",)"
                               R"("path":"Vocals","source":"user","updated_at":1000})");
  EXPECT_EQ(presets[5]["name"], "\xE8\xB4\xB4\xE8\x84\xB8");
  EXPECT_EQ(presets[5]["path"], "\xE4\xBA\xBA\xE5\xA3\xB0");
  // A fresh file's time is now, not 0.
  EXPECT_GT(presets[3]["updated_at"].get<int64_t>(), 1600000000000);

  // Every listed id loads.
  for (const json& entry : presets) {
    const std::string id = entry["id"];
    EXPECT_EQ(Load(id.substr(id.find(':') + 1)), "ok") << id;
  }
}

TEST_F(PresetFiles, LowerCaseCloudHoldsUserPresetsWhereNamesKeepTheirCase) {
  if (FoldsCase()) GTEST_SKIP() << "cloud and Cloud are one folder here";
  Write("cloud/A.json", "{}");
  const json presets = List();
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0]["source"], "user");
  EXPECT_EQ(presets[0]["pack"], "User");
  EXPECT_EQ(presets[0]["path"], "cloud");
}

TEST_F(PresetFiles, NamesThatAreNotUtf8AreLeftOut) {
  if (std::filesystem::path::preferred_separator != '/') GTEST_SKIP() << "Windows names are always Unicode";
  Write("\xFF.json", "{}");
  Write("\xFE/A.json", "{}");
  Write("Good.json", "{}");
  const json presets = List();
  ASSERT_EQ(presets.size(), 1u) << presets;
  EXPECT_EQ(presets[0]["id"], "user:Good.json");
}

TEST_F(PresetFiles, EmptyFolderListsNothing) {
  EXPECT_EQ(AskText(UIMsgTag::ListPresetsRequest, ""), R"({"presets":[]})");
  EXPECT_TRUE(std::filesystem::is_directory(Presets()));
}

TEST_F(PresetFiles, WithoutAnApplicationDataFolderNothingIsTouched) {
  plugin->appData.clear();
  EXPECT_EQ(AskText(UIMsgTag::ListPresetsRequest, ""), R"({"presets":[]})");
  EXPECT_EQ(Load("A.json"), "preset not found");
  EXPECT_EQ(Save({{"name", "A"}}), "cannot write preset");
  EXPECT_EQ(OutcomeWith(UIMsgTag::ImportPresetRequest, json{{"path", "A.json"}, {"json", {{"slots", json::array()}}}}),
            "cannot write preset");
  EXPECT_EQ(OutcomeWith(UIMsgTag::ExportPresetRequest, json{{"path", "A.json"}}), "preset not found");
  EXPECT_EQ(Outcome(UIMsgTag::DeletePresetRequest, "A.json"), "preset not found");
  EXPECT_FALSE(std::filesystem::exists("Tarnwell"));
}

TEST(PresetsFolder, LivesUnderTarnwellInTheApplicationDataFolderAndIsCreated) {
  const auto scratch = std::filesystem::temp_directory_path() / "tarnwell-presets-folder-test";
  std::filesystem::remove_all(scratch);
  const std::string folder = tarnwell::PresetsFolderIn(test::Utf8Of(scratch));
  EXPECT_EQ(test::PathOf(folder), scratch / "Tarnwell" / "Presets");
  EXPECT_TRUE(std::filesystem::is_directory(test::PathOf(folder)));
  EXPECT_EQ(tarnwell::PresetsFolderIn(""), "");
  std::filesystem::remove_all(scratch);
}

// The plug-in itself asks the platform (under Wine: the prefix's AppData\Local).
TEST(PresetsFolder, ThePlugInsIsInTheUsersLocalApplicationDataFolder) {
  const auto scratch = std::filesystem::temp_directory_path() / "tarnwell-presets-app-data-test";
  test::UserFolderRedirect redirect(test::Utf8Of(scratch));
  plugkit::GrowString appData;
  ASSERT_TRUE(plugkit::AppDataFolder(appData, false));
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  plugin->OnEditorOpened();
  EXPECT_TRUE(plugin->HandleUIMessage(tarnwell::TagValue(UIMsgTag::ListPresetsRequest), 0, 0, nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(test::PathOf(appData.Get()) / "Tarnwell" / "Presets")) << appData.Get();
  std::filesystem::remove_all(scratch);
}

}  // namespace
