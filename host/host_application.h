// The host's own IHostApplication: the name it gives is what a plug-in identifies the host by.
#pragma once

#include <string>

#include "pluginterfaces/vst/ivsthostapplication.h"

namespace tarnwell::host {

class HostApplication : public Steinberg::Vst::IHostApplication {
 public:
  explicit HostApplication(std::string name = "Tarnwell Host") : name_(std::move(name)) {}
  virtual ~HostApplication() = default;

  void SetName(std::string name) { name_ = std::move(name); }
  // A host whose getName fails (after writing its name all the same).
  bool nameFails = false;

  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid, void** obj) override;

  // Queries this object does not answer itself go to `extra` (null: none), as a host hands
  // out further interfaces of its own (a Linux host its run loop).
  void Offer(Steinberg::FUnknown* extra) { extra_ = extra; }

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  // Lives on the host's stack or as a member: reference counting is not used for lifetime.
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::string name_;
  Steinberg::FUnknown* extra_ = nullptr;
};

}  // namespace tarnwell::host
