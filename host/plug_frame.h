// The host's frame around a plug-in view: records resize requests and grants them.
#pragma once

#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace tarnwell::host {

class PlugFrame : public Steinberg::IPlugFrame {
 public:
  virtual ~PlugFrame() = default;

  const std::vector<Steinberg::ViewRect>& Resizes() const { return resizes_; }

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

  // Queries this object does not answer itself go to `extra` (null: none), as a host hands
  // out further interfaces of its own (a Linux host its run loop).
  void Offer(Steinberg::FUnknown* extra) { extra_ = extra; }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::vector<Steinberg::ViewRect> resizes_;
  Steinberg::FUnknown* extra_ = nullptr;
};

}  // namespace tarnwell::host
