// Messages the page posts, through the page protocol of a Tarnwell with its editor open, each
// followed by an idle tick (replies, meters) and a block of audio.
#include <string>

#include "fuzz/fuzzed_tarnwell.h"

namespace {

tarnwell::fuzz::FuzzedTarnwell& Session() {
  tarnwell::fuzz::FuzzedTarnwell& session = tarnwell::fuzz::TarnwellInScratchFolders();
  static const bool opened = session.fuzzed->Instance().OpenEditor();
  (void)opened;
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnwell::fuzz::FuzzedTarnwell& session = Session();
  const std::string json(reinterpret_cast<const char*>(data), size);
  session.plugin->OnPageMessage(json.c_str());
  session.plugin->OnIdleTick();
  session.fuzzed->CheckParametersInRange();
  session.fuzzed->ProcessAndCheck(64);
  return 0;
}
