// Our side of the browser's callback interfaces: a reference-counted object whose Invoke
// forwards to a function. Nothing thrown inside may reach the browser, and the browser is
// always told S_OK, so a fault in our code never becomes a fault in the browser's.
#pragma once

#include <atomic>
#include <functional>
#include <utility>

#include "webview/com_ptr.h"
#include "webview/webview2/types.h"

namespace plugkit::webview {

template <typename Interface, typename Signature = decltype(&Interface::Invoke)>
class Callback;

template <typename Interface, typename... Args>
class Callback<Interface, webview2::HResult (Interface::*)(Args...)> final : public Interface {
 public:
  using Function = std::function<void(Args...)>;

  // A new handler holding one reference for the caller. Throws std::bad_alloc.
  static ComPtr<Interface> Make(Function function) {
    return ComPtr<Interface>::Adopt(new Callback(std::move(function)));
  }

  webview2::HResult QueryInterface(const webview2::Guid& iid, void** object) override {
    if (object == nullptr) return webview2::kInvalidPointer;
    if (iid == webview2::IUnknown::kIid || iid == Interface::kIid) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return webview2::kOk;
    }
    *object = nullptr;
    return webview2::kNoInterface;
  }

  webview2::ULong AddRef() override { return references_.fetch_add(1) + 1; }

  webview2::ULong Release() override {
    const webview2::ULong left = references_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

  webview2::HResult Invoke(Args... args) override {
    try {
      if (function_) function_(args...);
    } catch (...) {
    }
    return webview2::kOk;
  }

 private:
  explicit Callback(Function function) : function_(std::move(function)) {}
  ~Callback() = default;

  std::atomic<webview2::ULong> references_{1};
  Function function_;
};

}  // namespace plugkit::webview
