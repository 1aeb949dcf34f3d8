// Environment values for the rack's tuning variables. The input is lines of NAME=VALUE, in
// up to four environments parted by lines of "--", as the process environment may change
// between two prepares. One bay is prepared as the engine prepares each of its bays, once
// for every environment in turn (a value read stays until a later one sets it again), at a
// rate the input's length picks, and after each runs every effect type with the character
// the input's first byte picks.
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "rack/dsp/block_tunings.h"
#include "rack/dsp/engine.h"
#include "rack/dsp/rack_bay.h"
#include "rack/dsp/tuning_env.h"

namespace {

constexpr size_t kMostEnvironments = 4;

std::vector<std::pair<std::string, std::string>> variables;

const char* Lookup(const char* name) {
  for (const auto& [key, value] : variables)
    if (key == name) return value.c_str();
  return nullptr;
}

std::vector<std::string_view> Environments(std::string_view text) {
  std::vector<std::string_view> environments;
  while (environments.size() + 1 < kMostEnvironments) {
    const size_t parting = text.find("\n--\n");
    if (parting == std::string_view::npos) break;
    environments.push_back(text.substr(0, parting));
    text.remove_prefix(parting + 4);
  }
  environments.push_back(text);
  return environments;
}

void ReadVariables(std::string_view text) {
  variables.clear();
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    variables.emplace_back(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
  }
  for (const auto& [name, value] : variables) {
    const std::optional<double> real = tarnwell::dsp::ParseEnvReal(value);
    tarnwell::fuzz::Require(!real || std::isfinite(*real), "a real tuning value is finite");
    tarnwell::dsp::ParseEnvInteger(value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr double kRates[] = {8000.0, 44100.0, 192000.0};
  constexpr int kFrames = 64;
  std::vector<double> left(kFrames), right(kFrames);
  const tarnwell::dsp::TuningEnvironment environment(&Lookup);
  const auto tunings = std::make_unique<tarnwell::dsp::BlockTunings>();
  const auto bay = std::make_unique<tarnwell::dsp::RackBay>();
  const int32_t character = size > 0 ? data[0] % 16 : 0;
  const std::vector<std::string_view> environments =
      Environments(std::string_view(reinterpret_cast<const char*>(data), size));
  for (size_t e = 0; e < environments.size(); ++e) {
    ReadVariables(environments[e]);
    const double rate = kRates[(size + e) % 3];
    tunings->Read(environment);
    bay->Prepare(
        {rate, static_cast<int32_t>(tarnwell::dsp::RackEngine::kMaxDelaySeconds * rate), environment, *tunings});
    bay->Reset();
    for (int32_t type = 0; type < tarnwell::dsp::kEffectTypeCount - 1; ++type) {
      for (int i = 0; i < kFrames; ++i)
        left[static_cast<size_t>(i)] = right[static_cast<size_t>(i)] = 0.5 * std::sin(0.1 * i);
      bay->ResetBlock(type);
      bay->Process({true, false, type, character, 1.0}, {left.data(), right.data(), kFrames, 120.0});
    }
  }
  return 0;
}
