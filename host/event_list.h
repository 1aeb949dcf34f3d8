// The host's event list for one process call, with storage reserved up front.
#pragma once

#include <vector>

#include "pluginterfaces/vst/ivstevents.h"

namespace tarnwell::host {

class EventList : public Steinberg::Vst::IEventList {
 public:
  explicit EventList(size_t capacity = 512) { events_.reserve(capacity); }
  virtual ~EventList() = default;

  void Clear() { events_.clear(); }
  const std::vector<Steinberg::Vst::Event>& Events() const { return events_; }

  Steinberg::int32 PLUGIN_API getEventCount() override { return static_cast<Steinberg::int32>(events_.size()); }
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::vector<Steinberg::Vst::Event> events_;
};

}  // namespace tarnwell::host
