// The host's parameter queues for one process call. Storage is reserved up front, so
// that handing them to the plug-in and reading them never allocates.
#pragma once

#include <vector>

#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace tarnwell::host {

class ParamValueQueue : public Steinberg::Vst::IParamValueQueue {
 public:
  explicit ParamValueQueue(Steinberg::Vst::ParamID id = 0) : id_(id) { points_.reserve(kReserve); }
  virtual ~ParamValueQueue() = default;

  void Reset(Steinberg::Vst::ParamID id) {
    id_ = id;
    points_.clear();
  }

  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
  Steinberg::int32 PLUGIN_API getPointCount() override { return static_cast<Steinberg::int32>(points_.size()); }
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  static constexpr size_t kReserve = 64;
  struct Point {
    Steinberg::int32 offset;
    Steinberg::Vst::ParamValue value;
  };
  Steinberg::Vst::ParamID id_;
  std::vector<Point> points_;
};

class ParameterChanges : public Steinberg::Vst::IParameterChanges {
 public:
  explicit ParameterChanges(size_t capacity = 256);
  virtual ~ParameterChanges() = default;

  void Clear() { used_ = 0; }
  // Adds one point for id (a new queue when the id has none yet).
  void Add(Steinberg::Vst::ParamID id, Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value);

  Steinberg::int32 PLUGIN_API getParameterCount() override { return static_cast<Steinberg::int32>(used_); }
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  std::vector<ParamValueQueue> queues_;
  size_t used_ = 0;
};

}  // namespace tarnwell::host
