// Import, export and delete of preset files for real, in a scratch application-data folder,
// through the page's requests: what each writes or removes, and what each refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preset_fixture.h"

namespace {

using nlohmann::json;
using tarnwell::UIMsgTag;

const json kPreset = {{"slots", json::array()}, {"name", "P"}};

std::string Nested(int depth) { return std::string(static_cast<size_t>(depth), '[') + std::string(depth, ']'); }

class PresetExchange : public test::PresetFolderTest {
 protected:
  std::string Import(const json& request) { return OutcomeWith(UIMsgTag::ImportPresetRequest, request); }
  std::string Delete(std::string_view path) { return Outcome(UIMsgTag::DeletePresetRequest, path); }
  std::string Export(std::string_view payload) { return Outcome(UIMsgTag::ExportPresetRequest, payload); }
};

TEST_F(PresetExchange, ImportWritesSortedKeysAndOneLineBreak) {
  const std::string request = R"({"kind":"cloud","path":"Cloud/Pack/A.json","json":{"z":1,"slots":[],"a":"\u8d34"}})";
  EXPECT_EQ(AskText(UIMsgTag::ImportPresetRequest, request), R"({"ok":true})");
  EXPECT_EQ(Read("Cloud/Pack/A.json"), "{\n  \"a\": \"\xE8\xB4\xB4\",\n  \"slots\": [],\n  \"z\": 1\n}\n");
  // Without "kind" it is a user import, and an existing file is replaced unless told not to.
  EXPECT_EQ(Import({{"path", "Vocals/B.json"}, {"json", kPreset}}), "ok");
  EXPECT_EQ(Import({{"path", "Vocals/B.json"}, {"json", {{"slots", {1}}}}}), "ok");
  EXPECT_EQ(json::parse(Read("Vocals/B.json"))["slots"], json({1}));
  EXPECT_EQ(Import({{"path", "Vocals/B.json"}, {"json", kPreset}, {"overwrite", false}}), "preset exists");
  EXPECT_EQ(json::parse(Read("Vocals/B.json"))["slots"], json({1}));
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:empty");
}

TEST_F(PresetExchange, ImportRefusals) {
  std::filesystem::create_directories(File("Folder.json"));
  struct Case {
    json request;
    std::string outcome;
  };
  const Case cases[] = {
      {json::array({1}), "bad request"},
      {{{"kind", "User"}, {"path", "A.json"}, {"json", kPreset}}, "bad kind"},
      {{{"kind", 1}, {"path", "A.json"}}, "[json.exception.type_error.302] type must be string, but is number"},
      {{{"kind", "cloud"}, {"path", "Pack/A.json"}, {"json", kPreset}}, "invalid preset path"},
      {{{"kind", "user"}, {"path", "Cloud/A.json"}, {"json", kPreset}}, "invalid preset path"},
      {{{"path", "../A.json"}, {"json", kPreset}}, "invalid preset path"},
      {{{"path", "C:\\A.json"}, {"json", kPreset}}, "invalid preset path"},
      {{{"path", "NUL.json"}, {"json", kPreset}}, "invalid preset path"},
      {{{"path", "A.json:x"}, {"json", kPreset}}, "invalid preset path"},
      {{{"path", "A.json"}}, "bad preset"},
      {{{"path", "A.json"}, {"json", "text"}}, "bad preset"},
      {{{"path", "A.json"}, {"json", {{"name", "no slots"}}}}, "bad preset"},
      {{{"path", "A.json"}, {"json", {{"slots", {{"index", 0}}}}}}, "bad preset"},
      {{{"path", "Folder.json"}, {"json", kPreset}, {"overwrite", "no"}},
       "[json.exception.type_error.302] type must be boolean, but is string"},
      {{{"path", "Folder.json"}, {"json", kPreset}, {"overwrite", true}}, "cannot write preset"},
  };
  for (const Case& c : cases) EXPECT_EQ(Import(c.request), c.outcome) << c.request;
  EXPECT_EQ(AskText(UIMsgTag::ImportPresetRequest, ""), R"({"error":"import failed","ok":false})");
  EXPECT_EQ(Outcome(UIMsgTag::ImportPresetRequest, "{").rfind("[json.exception.parse_error.101]", 0), 0u);
  EXPECT_FALSE(Exists("A.json"));
  EXPECT_FALSE(Exists("Pack"));
}

TEST_F(PresetExchange, ImportRefusesWhatReadersWouldRefuseAndKeepsTheOldFile) {
  // {"slots":[],"x":"..."} indented: 28 bytes around the text, plus the line break.
  const auto sized = [](size_t fileBytes) {
    return json{{"slots", json::array()}, {"x", std::string(fileBytes - 29, 'a')}};
  };
  ASSERT_EQ(json(sized(100)).dump(2).size() + 1, 100u);
  EXPECT_EQ(Import({{"path", "Exact.json"}, {"json", sized(65536)}}), "ok");
  EXPECT_EQ(Outcome(UIMsgTag::LoadPresetRequest, "Exact.json"), "ok");
  EXPECT_EQ(Import({{"path", "Over.json"}, {"json", sized(65537)}}), "preset too large");
  EXPECT_FALSE(Exists("Over.json"));

  // Nesting far deeper than any preset is refused before it is copied or serialised.
  const std::string deep = R"({"path":"Deep.json","json":{"slots":[],"x":)" + Nested(20000) + "}}";
  EXPECT_EQ(Outcome(UIMsgTag::ImportPresetRequest, deep), "bad preset");
  EXPECT_FALSE(Exists("Deep.json"));

  const std::string before = Read("Exact.json");
  std::filesystem::create_directories(File("Exact.json.tmp"));
  EXPECT_EQ(Import({{"path", "Exact.json"}, {"json", kPreset}}), "cannot write preset");
  EXPECT_EQ(Read("Exact.json"), before);
}

TEST_F(PresetExchange, UserImportsNeverLandInTheCloudFolderAsTheDiskSeesIt) {
  ASSERT_EQ(Import({{"kind", "cloud"}, {"path", "Cloud/A.json"}, {"json", kPreset}}), "ok");
  const std::string cloudFile = Read("Cloud/A.json");
  const bool folds = FoldsCase();
  for (const char* path : {"cloud/A.json", "CLOUD/A.json", "Cloud./A.json", "Cloud /A.json"}) {
    // Where names fold, each of these is the Cloud folder; elsewhere a user folder of its own.
    EXPECT_EQ(Import({{"path", path}, {"json", {{"slots", {1}}}}}), folds ? "cloud preset is read-only" : "ok") << path;
  }
  EXPECT_EQ(Read("Cloud/A.json"), cloudFile);
}

TEST_F(PresetExchange, SavesNeverLandInTheCloudFolderAsTheDiskSeesIt) {
  ASSERT_EQ(Import({{"kind", "cloud"}, {"path", "Cloud/A.json"}, {"json", kPreset}}), "ok");
  const bool folds = FoldsCase();
  for (const char* folder : {"cloud", "CLOUD", "cLoUd"}) {
    EXPECT_EQ(OutcomeWith(UIMsgTag::SavePresetRequest, json{{"name", "A"}, {"path", folder}, {"overwrite", true}}),
              folds ? "cloud preset is read-only" : "ok")
        << folder;
  }
  EXPECT_EQ(json::parse(Read("Cloud/A.json")), kPreset);
}

TEST_F(PresetExchange, ExportAnswersTheFileAsAnObject) {
  Write("Vocals/A.json", R"({"name": "A", "slots": [{"index": 0}]})");
  Write("Cloud/Pack/A.json", R"({"name": "C"})");
  Write("Array.json", "[1]");
  Write("Deep.json", R"({"x": )" + Nested(100) + "}");
  EXPECT_EQ(AskText(UIMsgTag::ExportPresetRequest, R"("Vocals/A.json")"),
            R"({"json":{"name":"A","slots":[{"index":0}]},"ok":true})");
  EXPECT_EQ(AskText(UIMsgTag::ExportPresetRequest, R"({"path":"Cloud/Pack/A.json"})"),
            R"({"json":{"name":"C"},"ok":true})");
  const std::pair<std::string, std::string> cases[] = {
      {R"("Array.json")", "bad preset"},
      {R"("Deep.json")", "bad preset"},
      {R"("Missing.json")", "preset not found"},
      {R"({"path":"../A.json"})", "invalid preset path"},
      {R"({})", "invalid preset path"},
      {R"(5)", "[json.exception.type_error.302] type must be string, but is number"},
  };
  for (const auto& [payload, outcome] : cases) EXPECT_EQ(Export(payload), outcome) << payload;
  EXPECT_EQ(Export("Vocals/A.json").rfind("[json.exception.parse_error.101]", 0), 0u);
  EXPECT_EQ(AskText(UIMsgTag::ExportPresetRequest, ""), R"({"error":"export failed","ok":false})");
}

TEST_F(PresetExchange, DeleteRemovesOnlyUserPresetsInsideTheFolder) {
  Write("Cloud/A.json", "{}");
  Write("Vocals/A.txt", "{}");
  Write("Vocals/A.json", "{}");
  const std::pair<std::string, std::string> cases[] = {
      {"Cloud/A.json", "cloud preset is read-only"},
      {"Cloud\\A.json", "cloud preset is read-only"},
      {"./Cloud/A.json", "cloud preset is read-only"},
      {".\\.\\Cloud\\A.json", "cloud preset is read-only"},
      {"Vocals/A.txt", "not a user preset"},
      {"Vocals/", "not a user preset"},
      {"Vocals/Missing.json", "preset not found"},
      {"Vocals", "not a user preset"},
      {"/tarnwell-no-such-preset-anywhere.json", "preset not found"},
      {"../Presets/Vocals/A.json", "invalid preset path"},
      {"C:/A.json", "invalid preset path"},
      {"C:A.json", "invalid preset path"},
      {"\\\\server\\share\\A.json", "invalid preset path"},
      {"Vocals/CON.json", "invalid preset path"},
      {"Vocals/A.json:stream", "invalid preset path"},
      {std::string("Vocals/A.json\0.txt", 18), "invalid preset path"},
      {"\xFF.json", "invalid preset path"},
  };
  for (const auto& [path, outcome] : cases) EXPECT_EQ(Delete(path), outcome) << path;
  // Where names fold, these spell the Cloud folder; elsewhere they name nothing.
  const bool folds = FoldsCase();
  for (const char* path : {"cloud/A.json", "CLOUD\\A.json", "Cloud./A.json", "Cloud /A.json"})
    EXPECT_EQ(Delete(path), folds ? "cloud preset is read-only" : "preset not found") << path;
  EXPECT_TRUE(Exists("Cloud/A.json"));
  EXPECT_TRUE(Exists("Vocals/A.json"));
  EXPECT_EQ(AskText(UIMsgTag::DeletePresetRequest, ""), R"({"error":"delete failed","ok":false})");

  EXPECT_EQ(AskText(UIMsgTag::DeletePresetRequest, "./Vocals/A.json"), R"({"ok":true})");
  EXPECT_FALSE(Exists("Vocals/A.json"));
  EXPECT_EQ(Delete("Vocals/A.json"), "preset not found");
}

TEST_F(PresetExchange, DeletingTheLoadedPresetMakesTheEmptyOneCurrentAndKeepsTheRack) {
  Write("Vocals/A.json", R"({"slots": [{"index": 0, "type": 4}]})");
  ASSERT_EQ(Outcome(UIMsgTag::LoadPresetRequest, "Vocals\\A.json"), "ok");
  ASSERT_EQ(plugin->CurrentPresetId(), "user:Vocals\\A.json");
  EXPECT_EQ(Delete("Vocals/A.json"), "ok");
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:empty");
  EXPECT_EQ(plugin->ParamValue(tarnwell::BayParam(0, tarnwell::BayField::Effect)), 4.0);
  // The tick that sent the reply sent the new id first.
  const auto ids = plugin->MessagesTagged(tarnwell::TagValue(UIMsgTag::CurrentPreset));
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(ids[0].Text(), R"({"id":"factory:empty"})");
  // Another preset's delete leaves the id alone.
  Write("B.json", "{}");
  ASSERT_EQ(Outcome(UIMsgTag::LoadPresetRequest, "B.json"), "ok");
  Write("C.json", "{}");
  EXPECT_EQ(Delete("C.json"), "ok");
  EXPECT_EQ(plugin->CurrentPresetId(), "user:B.json");
}

TEST_F(PresetExchange, ALinkToAFileOutsideIsNeverDeleted) {
  Write("Vocals/A.json", "{}");
  const auto outside = Presets().parent_path() / "outside.json";
  { std::ofstream(outside) << "{}"; }
  ASSERT_TRUE(std::filesystem::exists(outside));
  if (!test::MakeLink(test::Utf8Of(outside), test::Utf8Of(File("Out.json")), false) || Read("Out.json") != "{}")
    GTEST_SKIP() << "no links to files here";
  EXPECT_EQ(Delete("Out.json"), "invalid preset path");
  EXPECT_TRUE(std::filesystem::exists(outside));
}

TEST_F(PresetExchange, ALinkToTheCloudFolderIsTheCloudFolder) {
  Write("Cloud/A.json", "{}");
  if (!test::MakeLink(test::Utf8Of(File("Cloud")), test::Utf8Of(File("Alias")), true) || !Exists("Alias/A.json"))
    GTEST_SKIP() << "no links to folders here";
  // The walk does not follow the link: the cloud preset is listed once.
  const json listing = Ask(UIMsgTag::ListPresetsRequest, "");
  std::vector<std::string> ids;
  for (const json& entry : listing["presets"]) ids.push_back(entry["id"]);
  EXPECT_EQ(ids, std::vector<std::string>{"cloud:Cloud/A.json"});
  EXPECT_EQ(Delete("Alias/A.json"), "cloud preset is read-only");
  EXPECT_EQ(Import({{"path", "Alias/B.json"}, {"json", kPreset}}), "cloud preset is read-only");
  EXPECT_EQ(OutcomeWith(UIMsgTag::SavePresetRequest, json{{"name", "B"}, {"path", "Alias"}}),
            "cloud preset is read-only");
  EXPECT_TRUE(Exists("Cloud/A.json"));
  EXPECT_FALSE(Exists("Cloud/B.json"));
}

}  // namespace
