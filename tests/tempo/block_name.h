// A shared-memory name of the test's own, so that tests running at the same time never meet;
// its region is removed again where names outlive their handles.
#pragma once

#include <atomic>
#include <string>

#include "platform/process_id.h"
#include "platform/shared_memory.h"

namespace tarnwell::test {

class BlockName {
 public:
  explicit BlockName(const char* tag) {
    static std::atomic<int> counter{0};
    name_ = std::string("TarnwellTest_") + tag + "_" + std::to_string(plugkit::platform::CurrentProcessId()) + "_" +
            std::to_string(counter++);
    plugkit::platform::RemoveSharedMemoryName(name_.c_str());
  }
  ~BlockName() { plugkit::platform::RemoveSharedMemoryName(name_.c_str()); }
  BlockName(const BlockName&) = delete;
  BlockName& operator=(const BlockName&) = delete;

  const char* c_str() const { return name_.c_str(); }
  const std::string& str() const { return name_; }

 private:
  std::string name_;
};

}  // namespace tarnwell::test
