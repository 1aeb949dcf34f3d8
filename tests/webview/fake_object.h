// Base of every fake browser object: counts references without ever deleting, so that a
// test can tell a leaked reference from a double release after the code under test is done.
#pragma once

#include <string>
#include <utility>

#include "webview/webview2/types.h"

namespace fake {

using namespace plugkit::webview2;

// What the fake browser keeps of each object it made.
class Tracked {
 public:
  explicit Tracked(std::string name) : name_(std::move(name)) {}
  virtual ~Tracked() = default;
  const std::string& Name() const { return name_; }
  int References() const { return references_; }
  int BadReleases() const { return badReleases_; }

 protected:
  int references_ = 0;
  int badReleases_ = 0;

 private:
  std::string name_;
};

// Answers IUnknown, Interface's own identifier and those of its bases that Offers() admits.
template <typename Interface>
class FakeObject : public Interface, public Tracked {
 public:
  using Tracked::Tracked;

  HResult QueryInterface(const Guid& iid, void** object) override {
    if (object == nullptr) return kInvalidPointer;
    if (iid == IUnknown::kIid || Offers(iid)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return kOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  ULong AddRef() override { return static_cast<ULong>(++references_); }
  ULong Release() override {
    if (references_ == 0) {
      ++badReleases_;
      return 0;
    }
    return static_cast<ULong>(--references_);
  }

 protected:
  virtual bool Offers(const Guid& iid) const { return iid == Interface::kIid; }
};

}  // namespace fake
