// Reference counting and QueryInterface for the browser objects of the test backend: an
// object answers IUnknown, its interface and the interfaces that interface derives from.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

#include "webview/utf16_convert.h"
#include "webview/webview2/types.h"

namespace tarnwell::browser {

using namespace plugkit::webview2;

template <typename Interface, typename... AlsoAnswers>
class ComObject : public Interface {
 public:
  HResult QueryInterface(const Guid& iid, void** object) override {
    if (object == nullptr) return kInvalidPointer;
    if (iid == IUnknown::kIid || iid == Interface::kIid || ((iid == AlsoAnswers::kIid) || ...)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return kOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  ULong AddRef() override { return ++references_; }
  ULong Release() override {
    const ULong left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // Appended after the interface's own slots, so the published layout stays as it is.
  virtual ~ComObject() = default;

 private:
  ULong references_ = 1;  // the creator's
};

// A text for the caller to free with the platform's task memory (malloc here).
inline Char* TaskText(const std::string& utf8) {
  const std::u16string text = plugkit::webview::Utf8ToUtf16(utf8);
  auto* copy = static_cast<Char*>(std::malloc((text.size() + 1) * sizeof(Char)));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Char));
  return copy;
}

inline std::string Utf8(const Char* text) { return plugkit::webview::Utf16ToUtf8(text); }

}  // namespace tarnwell::browser
