// A host's audio thread: process calls on one plug-in instance without pause, on a thread of
// its own, until stopped. The instance's parameter queue belongs to this thread while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "host/plugin_instance.h"

namespace tarnwell::test {

class AudioThread {
 public:
  static constexpr int kBlock = 128;
  // Fills the input channels for the block that starts at frame and queues any automation.
  using Feed =
      std::function<void(int64_t frame, std::vector<std::vector<float>>& inputs, host::PluginInstance& plugin)>;

  AudioThread(host::PluginInstance& plugin, int inputChannels, int outputChannels, Feed feed);
  ~AudioThread() { Stop(); }
  AudioThread(const AudioThread&) = delete;
  AudioThread& operator=(const AudioThread&) = delete;

  void Stop();

  // Read after Stop.
  int64_t Blocks() const { return blocks_; }
  int64_t FailedCalls() const { return failedCalls_; }
  int64_t NonFiniteBlocks() const { return nonFinite_; }

 private:
  void Run();

  host::PluginInstance& plugin_;
  Feed feed_;
  std::vector<std::vector<float>> inputs_;
  std::vector<std::vector<float>> outputs_;
  std::atomic<bool> stop_{false};
  int64_t blocks_ = 0;
  int64_t failedCalls_ = 0;
  int64_t nonFinite_ = 0;
  std::thread thread_;
};

}  // namespace tarnwell::test
