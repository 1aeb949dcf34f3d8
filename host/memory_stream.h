// A memory IBStream with the faults a real host's streams show, so that state loading
// can be tested against them.
#pragma once

#include <cstdint>
#include <vector>

#include "pluginterfaces/base/ibstream.h"

namespace tarnwell::host {

class MemoryStream : public Steinberg::IBStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
  virtual ~MemoryStream() = default;

  const std::vector<uint8_t>& Bytes() const { return data_; }
  std::vector<uint8_t>& Bytes() { return data_; }

  // Faults to inject. Without them the stream behaves as the SDK's memory stream: a read
  // past the end delivers what is left and still answers kResultOk.
  bool readsReportFailure = false;  // reads deliver their bytes but answer kResultFalse
  bool writesFail = false;          // writes store nothing and answer kResultFalse
  int64_t writeLimit = -1;          // writes stop (short) once the stream holds this many bytes
  bool seekClampsNegative = false;  // a seek before the start lands on 0 and answers Ok

  Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
  Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                      Steinberg::int32* numBytesWritten) override;
  Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
  Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  // Owned by the caller (stack or member); counting is not used for lifetime.
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace tarnwell::host
