// The other process of the two-writer preset test: a Tarnwell instance of its own, with its
// application-data folder given, saving one preset over and over as the page asks.
//   preset_save_peer <application-data folder> <preset name> <milliseconds> <input gain>
// Each save pauses a millisecond between writing its temporary file and renaming it, where a
// second writer would do its harm.
// Prints how many saves were answered ok and how many were refused; exits 0 when every reply
// was one of those two, 1 on a bad command line, 2 on any other reply.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "platform/atomic_file_write.h"
#include "rack/tarnwell_params.h"
#include "rack/ui_msg_tag.h"
#include "recording_tarnwell.h"

namespace {

class AppDataTarnwell : public test::RecordingTarnwell {
 public:
  using RecordingTarnwell::RecordingTarnwell;
  std::string LocalAppDataFolder() const override { return appData; }
  std::string appData;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 1;
  test::FakeTempoState tempo;
  auto* plugin = new AppDataTarnwell(tempo);
  plugin->appData = argv[1];
  plugin->GetParam(tarnwell::kInputParam)->SetValue(std::atof(argv[4]));
  plugkit::platform::SetAtomicWriteStepHookForTesting(
      [](plugkit::platform::AtomicWriteStep step, void*) {
        if (step == plugkit::platform::AtomicWriteStep::Flushed) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
      },
      nullptr);
  plugin->OnEditorOpened();
  plugin->OnIdleTick();
  const std::string request = nlohmann::json{{"name", argv[2]}, {"overwrite", true}}.dump();
  const int32_t replyTag = tarnwell::TagValue(tarnwell::UIMsgTag::SavePresetReply);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[3]));
  int saved = 0, refused = 0, other = 0;
  while (std::chrono::steady_clock::now() < end && other == 0) {
    plugin->ClearPage();
    plugin->HandleUIMessage(tarnwell::TagValue(tarnwell::UIMsgTag::SavePresetRequest), 0,
                            static_cast<int32_t>(request.size()), request.data());
    plugin->OnIdleTick();
    for (const test::PageMessage& reply : plugin->MessagesTagged(replyTag)) {
      if (reply.Text() == R"({"ok":true})") {
        ++saved;
      } else if (reply.Text() == R"({"error":"cannot write preset","ok":false})") {
        ++refused;
      } else {
        std::printf("unexpected reply: %s\n", reply.Text().c_str());
        ++other;
      }
    }
  }
  std::printf("saved %d refused %d\n", saved, refused);
  plugin->release();
  return other == 0 ? 0 : 2;
}
