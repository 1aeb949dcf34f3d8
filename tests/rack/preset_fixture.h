// Tarnwell with its application-data folder in a scratch folder of the test's own, asked
// through the page's requests as the page asks, and the files of that folder written and
// read back by the test. Paths are UTF-8 texts, as the plug-in's are.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "rack/ui_msg_tag.h"
#include "rack/tarnwell_params.h"
#include "recording_tarnwell.h"

namespace test {

// Sets a file's last-write time (milliseconds since 1970 UTC); false when it cannot.
bool SetLastWriteTimeMs(const std::string& utf8Path, int64_t ms);
// A symbolic link at link to target (a folder when folder is true); false when it cannot.
bool MakeLink(const std::string& utf8Target, const std::string& utf8Link, bool folder);

inline std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class AppDataTarnwell : public RecordingTarnwell {
 public:
  using RecordingTarnwell::RecordingTarnwell;
  std::string LocalAppDataFolder() const override { return appData; }
  std::string appData;
};

class PresetFolderTest : public ::testing::Test {
 protected:
  PresetFolderTest() {
    std::random_device random;
    scratch_ = std::filesystem::temp_directory_path() /
               ("tarnwell-presets-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(scratch_);
    plugin->appData = Utf8Of(scratch_);
    plugin->OnEditorOpened();
    plugin->OnIdleTick();
    plugin->ClearPage();
  }
  ~PresetFolderTest() override {
    plugin->release();
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  std::filesystem::path Presets() const { return scratch_ / "Tarnwell" / "Presets"; }
  std::filesystem::path File(std::string_view relative) const { return Presets() / PathOf(relative); }

  void Write(std::string_view relative, std::string_view content) const {
    const std::filesystem::path path = File(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << relative;
  }
  std::string Read(std::string_view relative) const {
    std::ifstream in(File(relative), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists(std::string_view relative) const { return std::filesystem::exists(File(relative)); }

  // The page's request and the one reply the next idle tick sends for it, as its text.
  std::string AskText(tarnwell::UIMsgTag tag, std::string_view payload) {
    plugin->ClearPage();
    EXPECT_TRUE(plugin->HandleUIMessage(tarnwell::TagValue(tag), 0, static_cast<int32_t>(payload.size()),
                                        payload.empty() ? nullptr : payload.data()));
    plugin->OnIdleTick();
    const auto replies = plugin->MessagesTagged(tarnwell::TagValue(tag) + 1);
    EXPECT_EQ(replies.size(), 1u) << payload;
    return replies.empty() ? std::string() : replies.back().Text();
  }
  nlohmann::json Ask(tarnwell::UIMsgTag tag, std::string_view payload) {
    const std::string text = AskText(tag, payload);
    return text.empty() ? nlohmann::json() : nlohmann::json::parse(text);
  }
  nlohmann::json AskWith(tarnwell::UIMsgTag tag, const nlohmann::json& payload) { return Ask(tag, payload.dump()); }
  // The error text of a failed reply, "ok" for a success.
  std::string Outcome(tarnwell::UIMsgTag tag, std::string_view payload) {
    const nlohmann::json reply = Ask(tag, payload);
    if (reply.value("ok", false)) return "ok";
    return reply.value("error", std::string("(no error)"));
  }
  std::string OutcomeWith(tarnwell::UIMsgTag tag, const nlohmann::json& payload) {
    return Outcome(tag, payload.dump());
  }

  // Whether the scratch folder's file system takes "probe" and "PROBE" for one name.
  bool FoldsCase() const {
    std::filesystem::create_directories(scratch_ / "Probe");
    return std::filesystem::exists(scratch_ / "PROBE");
  }

  FakeTempoState tempo;
  AppDataTarnwell* plugin = new AppDataTarnwell(tempo);

 private:
  std::filesystem::path scratch_;
};

}  // namespace test
