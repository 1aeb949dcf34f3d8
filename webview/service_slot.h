// A platform service that tests may replace: the platform's own object unless another is
// installed. UI thread only, like everything that uses it.
#pragma once

#include <utility>

namespace plugkit::webview {

template <typename Service>
class ServiceSlot {
 public:
  explicit ServiceSlot(Service& platformService) noexcept : platformService_(platformService) {}

  Service& Current() const noexcept { return installed_ != nullptr ? *installed_ : platformService_; }

  // Null restores the platform's service; returns the one installed before.
  Service* Install(Service* service) noexcept { return std::exchange(installed_, service); }

 private:
  Service& platformService_;
  Service* installed_ = nullptr;
};

}  // namespace plugkit::webview
