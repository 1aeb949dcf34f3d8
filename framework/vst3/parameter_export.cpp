#include "framework/vst3/parameter_export.h"

#include <cstring>
#include <new>

#include "framework/core/grow_buffer.h"
#include "framework/vst3/ids.h"
#include "framework/vst3/midi_controllers.h"
#include "framework/vst3/text.h"

namespace plugkit {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr ProgramListID kNoProgramList = kNoProgramListId;

void AddUnit(EditControllerEx1& controller, const char* name, UnitID id, UnitID parent) {
  String128 wide;
  WidenBytes(wide, name);
  controller.addUnit(new Unit(wide, id, parent, kNoProgramList));
}

// Group names in order of first appearance; a group's unit id is its position from 1.
class GroupList {
 public:
  // The group's unit id, registering a new unit for a name not seen before. Throws
  // std::bad_alloc when the list cannot grow.
  UnitID UnitOf(EditControllerEx1& controller, const char* group) {
    if (group == nullptr || group[0] == '\0') return kRootUnitId;
    const char* const* names = groups_.DataAs<const char*>();
    const int32_t count = groups_.Count<const char*>();
    for (int32_t i = 0; i < count; ++i)
      if (std::strcmp(names[i], group) == 0) return i + 1;
    if (!groups_.Append(&group, sizeof group)) throw std::bad_alloc();
    const UnitID id = groups_.Count<const char*>();
    AddUnit(controller, group, id, kRootUnitId);
    return id;
  }

 private:
  GrowBuffer groups_{GrowBuffer::kListGranularity};
};

void ExportMidiControllers(EditControllerEx1& controller, ParameterContainer& parameters) {
  const UnitID ccUnit = controller.getUnitCount() + 1;
  AddUnit(controller, "MIDI CCs", ccUnit, kRootUnitId);
  const UnitID channelUnit = controller.getUnitCount() + 1;
  AddUnit(controller, "CH1", channelUnit, ccUnit);
  for (int32_t cc = 0; cc < kMidiControllersPerChannel; ++cc) {
    char buffer[16];
    String128 title;
    WidenBytes(title, MidiControllerTitle(cc, buffer));
    const ParamValue defaultValue = cc == kMidiPitchBend ? 0.5 : 0.0;
    parameters.addParameter(new Parameter(title, kMidiControllerParamBase + static_cast<ParamID>(cc), nullptr,
                                          defaultValue, 0, 0, channelUnit, nullptr));
  }
}

}  // namespace

ParameterExportResult ExportParameters(EditControllerEx1& controller, ParameterContainer& parameters,
                                       std::span<const IParam* const> params, bool isInstrument, bool takesMidi) {
  ParameterExportResult result;
  try {
    if (!isInstrument)
      result.bypass =
          static_cast<IPluginVST3BypassParameter*>(parameters.addParameter(new IPluginVST3BypassParameter()));
    AddUnit(controller, "Root", kRootUnitId, kNoParentUnitId);
    GroupList groups;
    for (size_t i = 0; i < params.size(); ++i) {
      const IParam& param = *params[i];
      const UnitID unit = groups.UnitOf(controller, param.GroupName());
      parameters.addParameter(new IPluginVST3Parameter(param, static_cast<ParamID>(i), unit));
    }
    if (takesMidi) ExportMidiControllers(controller, parameters);
    result.complete = true;
  } catch (const std::bad_alloc&) {
    // A half-filled container can hold an id whose object never arrived.
    parameters.removeAll();
    result.bypass = nullptr;
  }
  return result;
}

}  // namespace plugkit
