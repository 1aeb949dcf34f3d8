#include "host/render.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

#include "host/bus_channels.h"
#include "host/parameter_infos.h"
#include "host/parameter_text.h"
#include "host/plugin_instance.h"

namespace tarnwell::host {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

bool ParseNormalised(const std::string& text, double* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end && *value >= 0.0 && *value <= 1.0;
}

// The parameter a host would use for bypass: the one flagged kIsBypass.
bool FindBypass(IEditController* controller, ParamID* id) {
  for (const ParameterInfo& info : ParameterInfos(controller)) {
    if ((info.flags & ParameterInfo::kIsBypass) != 0) {
      *id = info.id;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseBlockSizes(const std::string& text, std::vector<int>* sizes) {
  sizes->clear();
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    int size = 0;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + comma, size);
    if (ec != std::errc() || end != text.data() + comma || size <= 0) return false;
    sizes->push_back(size);
    at = comma + 1;
  }
  return !sizes->empty();
}

bool Render(const Module& module, const AudioFile& input, const RenderOptions& options, AudioFile* output,
            std::string* error) {
  PluginInstance plugin;
  if (!plugin.Create(module, options.hostName, error)) return false;
  if (!options.stateFile.empty()) {
    std::ifstream file(options.stateFile, std::ios::binary);
    std::vector<uint8_t> chunk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) return Fail(error, "cannot read the state file");
    if (!plugin.LoadState(chunk)) return Fail(error, "the plug-in refused the saved state");
  }
  const double rate = options.sampleRate > 0 ? options.sampleRate : input.sampleRate;
  std::vector<int> sizes = options.blockSizes.empty() ? std::vector<int>{options.blockSize} : options.blockSizes;
  for (int& size : sizes) size = std::max(1, size);
  const int block = *std::max_element(sizes.begin(), sizes.end());
  plugin.RouteInputChannels(static_cast<int32>(input.channels.size()));
  if (!plugin.Start(rate, block, false, options.offline))
    return Fail(error, "the plug-in refused the processing set-up");

  // Parameters and bypass go in with the first block, as host automation would.
  for (const auto& [name, text] : options.parameters) {
    ParamID id = 0;
    if (!plugin.FindParameter(name, &id)) return Fail(error, "no parameter named " + name);
    double value = 0;
    if (text.size() > 1 && text[0] == '=') {
      if (!ParseNormalised(text.substr(1), &value)) return Fail(error, "bad normalised value for " + name);
    } else if (!ParameterValueFromText(plugin.Controller(), id, name, text, &value, error)) {
      return false;
    }
    plugin.Controller()->setParamNormalized(id, value);
    plugin.InputChanges().Add(id, 0, value);
  }
  ParamID bypassId = 0;
  const bool hasBypass = FindBypass(plugin.Controller(), &bypassId);
  if (options.bypass) {
    if (!hasBypass) return Fail(error, "the plug-in has no bypass parameter");
    plugin.InputChanges().Add(bypassId, 0, 1.0);
  } else if (hasBypass && !options.stateFile.empty()) {
    // A restored session carries the bypass switch; the processor hears of it as automation.
    plugin.InputChanges().Add(bypassId, 0, plugin.Controller()->getParamNormalized(bypassId));
  }

  const size_t frames = input.Frames();
  const size_t channels = input.channels.size();
  output->sampleRate = rate;
  // As many output channels as the plug-in's output buses have; input channels past the main
  // bus go to its side-chain.
  const auto outputChannels = static_cast<size_t>(TotalChannelCount(plugin.Component(), kOutput));
  output->channels.assign(std::max<size_t>(outputChannels, 1), std::vector<float>(frames));
  std::vector<std::vector<float>> in(channels, std::vector<float>(static_cast<size_t>(block)));
  std::vector<float*> inPtrs, outPtrs(output->channels.size());
  for (auto& c : in) inPtrs.push_back(c.data());

  ProcessContext context{};
  context.sampleRate = rate;
  context.tempo = 120.0;
  context.timeSigNumerator = 4;
  context.timeSigDenominator = 4;
  context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
                  ProcessContext::kProjectTimeMusicValid;
  size_t turn = 0;
  for (size_t start = 0, n = 0; start < frames; start += n) {
    n = std::min<size_t>(static_cast<size_t>(sizes[turn++ % sizes.size()]), frames - start);
    for (size_t c = 0; c < channels; ++c)
      std::copy_n(input.channels[c].begin() + static_cast<std::ptrdiff_t>(start), n, in[c].begin());
    for (size_t c = 0; c < outPtrs.size(); ++c) outPtrs[c] = output->channels[c].data() + start;
    context.projectTimeSamples = options.startSample + static_cast<int64>(start);
    context.projectTimeMusic = static_cast<double>(context.projectTimeSamples) / rate * (context.tempo / 60.0);
    if (plugin.Process(inPtrs, outPtrs, static_cast<int>(n), &context) != kResultOk)
      return Fail(error, "the plug-in failed a process call");
  }
  if (plugin.AllocationsDuringProcess() != 0)
    return Fail(error, "the plug-in allocated memory during processing (" +
                           std::to_string(plugin.AllocationsDuringProcess()) + " allocations)");
  if (!options.saveStateFile.empty()) {
    std::vector<uint8_t> chunk;
    if (!plugin.SaveState(&chunk)) return Fail(error, "the plug-in did not save its state");
    std::ofstream file(options.saveStateFile, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    if (!file) return Fail(error, "cannot write the state file");
  }
  return true;
}

}  // namespace tarnwell::host
