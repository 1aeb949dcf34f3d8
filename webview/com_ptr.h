// Holds one reference to a browser COM object and releases it when dropped.
#pragma once

#include <utility>

#include "webview/webview2/types.h"

namespace plugkit::webview {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* object) noexcept {
    ComPtr result;
    result.object_ = object;
    return result;
  }
  // Adds a reference of its own to a borrowed pointer.
  static ComPtr Share(T* object) noexcept {
    if (object != nullptr) object->AddRef();
    return Adopt(object);
  }

  ComPtr(const ComPtr& other) noexcept : ComPtr(Share(other.object_)) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* Get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  // For an out parameter that receives a new reference; drops the one held first.
  T** Put() noexcept {
    Reset();
    return &object_;
  }

  void Reset() noexcept {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }

  // The interface U of the same object, or empty when the object does not offer it.
  template <typename U>
  ComPtr<U> As() const noexcept {
    if (object_ == nullptr) return {};
    void* found = nullptr;
    if (object_->QueryInterface(U::kIid, &found) != webview2::kOk || found == nullptr) return {};
    return ComPtr<U>::Adopt(static_cast<U*>(found));
  }

 private:
  T* object_ = nullptr;
};

}  // namespace plugkit::webview
