#include "tests/host/soak_suite.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "host/bus_channels.h"
#include "host/parameter_infos.h"
#include "host/plugin_instance.h"
#include "host/text.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int kMaxBlock = 8192;
constexpr double kDefaultSeconds = 10.0;
constexpr size_t kKeptStates = 4;

double SoakSeconds() {
  const char* text = std::getenv("TARNWELL_SOAK_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : kDefaultSeconds;
  return seconds > 0.0 ? seconds : kDefaultSeconds;
}

uint32_t SoakSeed() {
  const char* text = std::getenv("TARNWELL_SOAK_SEED");
  return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 1u;
}

struct HostParam {
  ParamID id;
  bool bypass;
};

// What a host automates: every automatable parameter and the bypass switch.
std::vector<HostParam> HostParams(IEditController* controller) {
  std::vector<HostParam> params;
  for (const ParameterInfo& info : ParameterInfos(controller)) {
    if ((info.flags & ParameterInfo::kIsReadOnly) != 0) continue;
    const bool bypass = (info.flags & ParameterInfo::kIsBypass) != 0;
    if (bypass || (info.flags & ParameterInfo::kCanAutomate) != 0) params.push_back({info.id, bypass});
  }
  return params;
}

// One host session: its random choices, its transport and the states it kept.
class Session {
 public:
  Session(PluginInstance& plugin, uint32_t seed) : plugin_(plugin), random_(seed) {
    params_ = HostParams(plugin.Controller());
    ReadValuesBack();
    inputs_ = BusChannelCounts(plugin.Component(), kInput);
    int32 outputs = 0;
    for (int32 channels : BusChannelCounts(plugin.Component(), kOutput)) outputs += channels;
    outputChannels_ = outputs;
  }

  // Plays seconds of audio at the rate the plug-in is set up for; false after the first
  // block that failed (the failure is reported).
  bool Play(double seconds, double rate, bool wide) {
    const auto total = static_cast<int64>(seconds * rate);
    for (int64 played = 0; played < total;) {
      const int frames = static_cast<int>(std::min<int64>(BlockSize(), total - played));
      if (!Block(frames, rate, wide)) return false;
      played += frames;
      ++blocks_;
      BetweenBlocks();
    }
    return true;
  }

 private:
  double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }
  int UniformInt(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool OneIn(int n) { return UniformInt(1, n) == 1; }

  // Spread evenly over the octaves: hosts' tiny blocks are as common as their large ones.
  int BlockSize() {
    return std::clamp(static_cast<int>(std::exp2(Uniform(0.0, std::log2(static_cast<double>(kMaxBlock) + 1.0)))), 1,
                      kMaxBlock);
  }

  void Automate(int frames) {
    const int changed = UniformInt(0, 4);
    for (int c = 0; c < changed && !params_.empty(); ++c) {
      const HostParam& param = params_[static_cast<size_t>(UniformInt(0, static_cast<int>(params_.size()) - 1))];
      if (param.bypass && !OneIn(16)) continue;  // toggles now and then, not every block
      std::vector<int32> offsets(static_cast<size_t>(UniformInt(1, 3)));
      for (int32& offset : offsets) offset = UniformInt(0, frames - 1);
      std::sort(offsets.begin(), offsets.end());
      for (int32 offset : offsets) {
        const ParamValue value = param.bypass ? (OneIn(2) ? 1.0 : 0.0) : Uniform(0.0, 1.0);
        plugin_.InputChanges().Add(param.id, offset, value);
        values_[static_cast<size_t>(&param - params_.data())] = value;
      }
    }
  }

  double InputSample(size_t channel, int64 position, double rate) {
    const double t = static_cast<double>(position) / rate;
    const double tone = 0.3 * std::sin(2.0 * 3.141592653589793 * (180.0 + 40.0 * channel) * t);
    return tone + Uniform(-0.2, 0.2);
  }

  // Samples a host passes on from a broken source: not numbers, infinite, beyond the float
  // range, below the smallest normal.
  double BadSample() {
    constexpr double kBad[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               1e300,
                               -1e39,
                               1e-310};
    return kBad[UniformInt(0, static_cast<int>(std::size(kBad)) - 1)];
  }

  template <typename Sample>
  bool Run(int frames, const std::vector<std::vector<double>>& in, std::vector<std::vector<double>>& out,
           const ProcessContext& context) {
    std::vector<std::vector<Sample>> inSamples(in.size()), outSamples(out.size(), std::vector<Sample>(out[0].size()));
    std::vector<Sample*> inPtrs, outPtrs;
    for (size_t c = 0; c < in.size(); ++c) {
      inSamples[c].assign(in[c].begin(), in[c].end());
      inPtrs.push_back(inSamples[c].data());
    }
    for (auto& channel : outSamples) outPtrs.push_back(channel.data());
    tresult result;
    if constexpr (sizeof(Sample) == sizeof(double))
      result = plugin_.Process64(inPtrs, outPtrs, frames, &context);
    else
      result = plugin_.Process(inPtrs, outPtrs, frames, &context);
    for (size_t c = 0; c < out.size(); ++c) out[c].assign(outSamples[c].begin(), outSamples[c].end());
    return result == kResultOk;
  }

  bool Block(int frames, double rate, bool wide) {
    const size_t n = static_cast<size_t>(frames);
    size_t inputChannels = 0;
    for (int32 channels : inputs_) inputChannels += static_cast<size_t>(channels);
    std::vector<std::vector<double>> in(inputChannels, std::vector<double>(n));
    std::vector<std::vector<double>> out(static_cast<size_t>(outputChannels_), std::vector<double>(n, 7.0));
    for (size_t c = 0; c < in.size(); ++c)
      for (size_t i = 0; i < n; ++i) in[c][i] = InputSample(c, position_ + static_cast<int64>(i), rate);
    const bool damaged = OneIn(16);
    if (damaged) {
      for (int k = UniformInt(1, 4); k > 0; --k)
        in[static_cast<size_t>(UniformInt(0, static_cast<int>(in.size()) - 1))]
          [static_cast<size_t>(UniformInt(0, frames - 1))] = BadSample();
    }
    Automate(frames);

    tempo_ = std::clamp(tempo_ + Uniform(-2.0, 2.0), 30.0, 300.0);
    if (OneIn(200)) playing_ = !playing_;
    ProcessContext context{};
    context.state = ProcessContext::kTempoValid | ProcessContext::kProjectTimeMusicValid |
                    (playing_ ? ProcessContext::kPlaying : 0);
    context.sampleRate = rate;
    context.tempo = tempo_;
    context.projectTimeSamples = position_;
    context.projectTimeMusic = static_cast<double>(position_) / rate * tempo_ / 60.0;

    const bool ok = wide ? Run<double>(frames, in, out, context) : Run<float>(frames, in, out, context);
    if (!ok) {
      ADD_FAILURE() << "block " << blocks_ << " of " << frames << " frames was refused";
      return false;
    }
    for (size_t c = 0; c < out.size(); ++c) {
      const auto bad = std::find_if(out[c].begin(), out[c].end(), [](double s) { return !std::isfinite(s); });
      if (bad != out[c].end()) {
        ADD_FAILURE() << "output channel " << c << " reads " << *bad << " at sample " << (bad - out[c].begin())
                      << " of block " << blocks_ << " (" << frames << " frames" << (damaged ? ", damaged input" : "")
                      << "), with " << ValueTexts();
        return false;
      }
    }
    position_ += frames;
    return true;
  }

  // What a host does on its UI thread between two process calls: save the session now and
  // then, and go back to a saved one.
  void BetweenBlocks() {
    if (OneIn(100)) {
      std::vector<uint8_t> state;
      EXPECT_TRUE(plugin_.SaveState(&state)) << "block " << blocks_;
      if (kept_.size() == kKeptStates) kept_.erase(kept_.begin());
      kept_.push_back(std::move(state));
    }
    if (!kept_.empty() && OneIn(100)) {
      const size_t pick = static_cast<size_t>(UniformInt(0, static_cast<int>(kept_.size()) - 1));
      EXPECT_TRUE(plugin_.LoadState(kept_[pick])) << "block " << blocks_;
      ReadValuesBack();
    }
  }

  // The values this host last sent (or read back after a state), as the host shows them, to
  // tell which setting a failure came from.
  void ReadValuesBack() {
    values_.clear();
    for (const HostParam& param : params_) values_.push_back(plugin_.Controller()->getParamNormalized(param.id));
  }
  std::string ValueTexts() const {
    std::string texts;
    for (size_t i = 0; i < params_.size(); ++i) {
      String128 text{};
      plugin_.Controller()->getParamStringByValue(params_[i].id, values_[i], text);
      texts += std::to_string(params_[i].id) + "=" + Utf16ToUtf8(text, 128) + "; ";
    }
    return texts;
  }

  PluginInstance& plugin_;
  std::mt19937 random_;
  std::vector<ParamValue> values_;
  std::vector<HostParam> params_;
  std::vector<int32> inputs_;
  int32 outputChannels_ = 0;
  std::vector<std::vector<uint8_t>> kept_;
  int64 position_ = 0;
  int64 blocks_ = 0;
  double tempo_ = 120.0;
  bool playing_ = true;
};

}  // namespace

std::string SoakCaseName(const ::testing::TestParamInfo<SoakCase>& info) {
  std::string name;
  for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name + "_" + std::to_string(static_cast<int>(info.param.sampleRate)) + "_then_" +
         std::to_string(static_cast<int>(info.param.laterSampleRate));
}

void PrintTo(const SoakCase& soak, std::ostream* out) {
  *out << soak.name << " at " << soak.sampleRate << " Hz, then " << soak.laterSampleRate << " Hz";
}

std::vector<SoakCase> SoakCasesFor(const std::string& name, const std::string& bundle) {
  constexpr double kRates[] = {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  std::vector<SoakCase> cases;
  // Each rate is followed by one three places on, so the session drops or climbs a long way.
  for (size_t i = 0; i < std::size(kRates); ++i)
    cases.push_back({name, bundle, kRates[i], kRates[(i + 3) % std::size(kRates)]});
  return cases;
}

void Soak::SetUp() {
  std::string error;
  ASSERT_TRUE(module_.Load(GetParam().bundle, &error)) << error;
}

TEST_P(Soak, StaysFiniteWithoutAllocatingThroughAnythingAHostSends) {
  const SoakCase& soak = GetParam();
  const double half = SoakSeconds() / 2.0;
  const uint32_t seed = SoakSeed() * 7919u + static_cast<uint32_t>(soak.sampleRate);
  SCOPED_TRACE("seed " + std::to_string(seed));
  PluginInstance plugin;
  std::string error;
  ASSERT_TRUE(plugin.Create(module_, "Soak Host", &error)) << error;
  ASSERT_TRUE(plugin.Start(soak.sampleRate, kMaxBlock));
  Session session(plugin, seed);
  ASSERT_TRUE(session.Play(half, soak.sampleRate, false));

  // The project's rate changes: the host stops, sets up anew (now in 64-bit) and goes on.
  plugin.Stop();
  ASSERT_EQ(plugin.SetupProcessing(soak.laterSampleRate, kMaxBlock, true), kResultOk);
  ASSERT_EQ(plugin.SetActive(true), kResultOk);
  plugin.SetProcessing(true);
  ASSERT_TRUE(session.Play(half, soak.laterSampleRate, true));
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

}  // namespace tarnwell::host
