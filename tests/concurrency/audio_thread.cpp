#include "audio_thread.h"

#include <cmath>

namespace tarnwell::test {

AudioThread::AudioThread(host::PluginInstance& plugin, int inputChannels, int outputChannels, Feed feed)
    : plugin_(plugin),
      feed_(std::move(feed)),
      inputs_(static_cast<size_t>(inputChannels), std::vector<float>(kBlock)),
      outputs_(static_cast<size_t>(outputChannels), std::vector<float>(kBlock)) {
  thread_ = std::thread([this] { Run(); });
}

void AudioThread::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void AudioThread::Run() {
  std::vector<float*> in, out;
  for (auto& channel : inputs_) in.push_back(channel.data());
  for (auto& channel : outputs_) out.push_back(channel.data());
  while (!stop_) {
    feed_(blocks_ * kBlock, inputs_, plugin_);
    if (plugin_.Process(in, out, kBlock) != Steinberg::kResultOk) ++failedCalls_;
    for (const auto& channel : outputs_) {
      bool finite = true;
      for (float sample : channel) finite = finite && std::isfinite(sample);
      if (!finite) {
        ++nonFinite_;
        break;
      }
    }
    ++blocks_;
  }
}

}  // namespace tarnwell::test
