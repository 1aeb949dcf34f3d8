// Tempo block contents and the reader's clock (the first 48 bytes: the block, then the time
// in ms), read by a Tarnwell whose bays all run the tempo-synced Delay.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzzed_tarnwell.h"
#include "rack/dsp/effect_type.h"
#include "rack/tarnwell_params.h"

namespace {

tarnwell::fuzz::FuzzedTarnwell& Session() {
  static tarnwell::fuzz::FuzzedTarnwell session(true);
  static const bool delays = [] {
    for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay) {
      session.plugin->GetParam(tarnwell::BayParam(bay, tarnwell::BayField::On))->SetValue(1.0);
      session.plugin->GetParam(tarnwell::BayParam(bay, tarnwell::BayField::Effect))
          ->SetValue(static_cast<double>(tarnwell::dsp::EffectType::Delay));
      session.plugin->GetParam(tarnwell::BayParam(bay, tarnwell::BayField::Character))->SetValue(bay);
      session.plugin->GetParam(tarnwell::BayParam(bay, tarnwell::BayField::Amount))->SetValue(100.0);
    }
    return true;
  }();
  (void)delays;
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnwell::fuzz::FuzzedTarnwell& session = Session();
  std::memset(session.tempoBlock.bytes, 0, sizeof session.tempoBlock.bytes);
  std::memcpy(session.tempoBlock.bytes, data, std::min(size, sizeof session.tempoBlock.bytes));
  session.tempoBlock.nowMs = 0;
  if (size > sizeof session.tempoBlock.bytes)
    std::memcpy(&session.tempoBlock.nowMs, data + sizeof session.tempoBlock.bytes,
                std::min(size - sizeof session.tempoBlock.bytes, sizeof session.tempoBlock.nowMs));
  session.fuzzed->ProcessAndCheck(128);
  const tarnwell::TempoLink& link = session.plugin->TempoLinkState();
  if (link.Linked())
    tarnwell::fuzz::Require(std::isfinite(link.LinkedTempoBpm()) && link.LinkedTempoBpm() > 0.0f,
                            "a followed tempo is a positive number");
  return 0;
}
