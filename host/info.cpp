#include "host/info.h"

#include <cstring>

#include "host/host_application.h"
#include "host/text.h"
#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace tarnwell::host {
namespace {

using namespace Steinberg;

template <typename T>
struct Released {
  T* ptr = nullptr;
  ~Released() {
    if (ptr) ptr->release();
  }
};

void PrintBuses(Vst::IComponent* component, Vst::MediaType type, Vst::BusDirection dir, const char* label,
                std::ostream& out) {
  int32 count = component->getBusCount(type, dir);
  for (int32 i = 0; i < count; ++i) {
    Vst::BusInfo bus{};
    if (component->getBusInfo(type, dir, i, bus) != kResultOk) continue;
    out << "  " << label << " bus " << i << ": \"" << Utf16ToUtf8(bus.name, 128) << "\", " << bus.channelCount
        << " channels, " << (bus.busType == Vst::kMain ? "main" : "aux")
        << ((bus.flags & Vst::BusInfo::kDefaultActive) ? ", active by default" : "") << "\n";
  }
}

bool PrintInstance(IPluginFactory* factory, const PClassInfo& info, std::ostream& out) {
  Released<Vst::IComponent> component;
  if (factory->createInstance(info.cid, Vst::IComponent::iid, reinterpret_cast<void**>(&component.ptr)) != kResultOk ||
      component.ptr == nullptr) {
    out << "  (instance could not be created)\n";
    return false;
  }
  HostApplication hostApp;
  if (component.ptr->initialize(&hostApp) != kResultOk) {
    out << "  (instance refused to initialize)\n";
    return false;
  }
  PrintBuses(component.ptr, Vst::kAudio, Vst::kInput, "audio in", out);
  PrintBuses(component.ptr, Vst::kAudio, Vst::kOutput, "audio out", out);
  PrintBuses(component.ptr, Vst::kEvent, Vst::kInput, "event in", out);
  PrintBuses(component.ptr, Vst::kEvent, Vst::kOutput, "event out", out);

  Released<Vst::IEditController> controller;
  component.ptr->queryInterface(Vst::IEditController::iid, reinterpret_cast<void**>(&controller.ptr));
  if (controller.ptr) {
    int32 count = controller.ptr->getParameterCount();
    out << "  parameters: " << count << "\n";
    for (int32 i = 0; i < count; ++i) {
      Vst::ParameterInfo p{};
      if (controller.ptr->getParameterInfo(i, p) != kResultOk) continue;
      Vst::String128 value{};
      controller.ptr->getParamStringByValue(p.id, p.defaultNormalizedValue, value);
      out << "    " << p.id << " \"" << Utf16ToUtf8(p.title, 128) << "\" steps " << p.stepCount << ", default "
          << Utf16ToUtf8(value, 128) << " " << Utf16ToUtf8(p.units, 128) << ", flags " << p.flags << "\n";
    }
  }
  Released<Vst::IAudioProcessor> processor;
  component.ptr->queryInterface(Vst::IAudioProcessor::iid, reinterpret_cast<void**>(&processor.ptr));
  if (processor.ptr)
    out << "  latency: " << processor.ptr->getLatencySamples() << " samples, tail " << processor.ptr->getTailSamples()
        << "\n";
  component.ptr->terminate();
  return true;
}

}  // namespace

bool PrintModuleInfo(const Module& module, std::ostream& out) {
  IPluginFactory* factory = module.Factory();
  PFactoryInfo factoryInfo{};
  factory->getFactoryInfo(&factoryInfo);
  out << "module: " << module.BinaryPath() << "\n"
      << "factory: vendor \"" << factoryInfo.vendor << "\", url \"" << factoryInfo.url << "\", email \""
      << factoryInfo.email << "\", flags 0x" << std::hex << factoryInfo.flags << std::dec << "\n";

  Released<IPluginFactory2> factory2;
  factory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2.ptr));
  bool ok = true;
  int32 count = factory->countClasses();
  out << "classes: " << count << "\n";
  for (int32 i = 0; i < count; ++i) {
    PClassInfo info{};
    if (factory->getClassInfo(i, &info) != kResultOk) continue;
    out << "class " << i << ": \"" << info.name << "\" category \"" << info.category << "\" cid " << HexId(info.cid)
        << " cardinality 0x" << std::hex << info.cardinality << std::dec << "\n";
    PClassInfo2 info2{};
    if (factory2.ptr && factory2.ptr->getClassInfo2(i, &info2) == kResultOk)
      out << "  sub-categories \"" << info2.subCategories << "\" version \"" << info2.version << "\" sdk \""
          << info2.sdkVersion << "\" flags " << info2.classFlags << "\n";
    if (std::strcmp(info.category, kVstAudioEffectClass) == 0) ok = PrintInstance(factory, info, out) && ok;
  }
  return ok;
}

}  // namespace tarnwell::host
