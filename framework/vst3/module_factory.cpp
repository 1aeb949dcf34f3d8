// GetPluginFactory and the create function: linked into each module.
#include "framework/vst3/module_factory.h"

#include <cstring>

#include "base/source/fobject.h"
#include "framework/creation_lock.h"
#include "framework/vst3/plugin_class.h"
#include "platform/module_handle.h"
#include "pluginterfaces/base/funknown.h"
#include "vst3/moduleentry.h"
#include "vst3/pluginfactory.h"

namespace plugkit {
namespace {

void* frameworkModuleHandle = nullptr;

// A module that leaves a text out lists it empty.
const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

// Copies up to the field's length minus one and zero-fills the rest.
template <size_t N>
void CopyText(Steinberg::char8 (&field)[N], const char* text) {
  std::memset(field, 0, N);
  if (text == nullptr) return;
  for (size_t i = 0; i + 1 < N && text[i] != 0; ++i) field[i] = text[i];
}

const Steinberg::PClassInfo2& ClassInfo() {
  static const Steinberg::PClassInfo2 info = [] {
    const PluginClassIdentity& identity = ThisPluginClass();
    Steinberg::PClassInfo2 ci{};
    Steinberg::FUID cid(kClassIdWord1, kClassIdWord2, static_cast<uint32_t>(identity.vendorId),
                        static_cast<uint32_t>(identity.uniqueId));
    cid.toTUID(ci.cid);
    ci.cardinality = Steinberg::PClassInfo::kManyInstances;
    CopyText(ci.category, kClassCategory);
    CopyText(ci.name, identity.name);
    ci.classFlags = Steinberg::Vst::kSimpleModeSupported;
    CopyText(ci.subCategories, kClassSubCategories);
    CopyText(ci.vendor, "");
    CopyText(ci.version, identity.version);
    CopyText(ci.sdkVersion, kClassSdkVersion);
    return ci;
  }();
  return info;
}

}  // namespace

Steinberg::FUnknown* CreateInstance(void* /*context*/) {
  platform::LockGuard guard(CreationLock());
  return ConstructPlugin();
}

bool OnModuleLoaded() {
  frameworkModuleHandle = platform::RecordedModuleHandle();
  return true;
}

bool OnModuleUnloaded() { return true; }

void* ModuleHandle() { return frameworkModuleHandle; }

}  // namespace plugkit

bool InitModule() { return plugkit::OnModuleLoaded(); }

bool DeinitModule() { return plugkit::OnModuleUnloaded(); }

extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  using namespace Steinberg;
  // Hosts call this on one thread; the check and the creation are not guarded.
  if (gPluginFactory == nullptr) {
    const plugkit::PluginClassIdentity& identity = plugkit::ThisPluginClass();
    static const PFactoryInfo factoryInfo(plugkit::TextOrEmpty(identity.vendorName),
                                          plugkit::TextOrEmpty(identity.vendorUrl),
                                          plugkit::TextOrEmpty(identity.vendorEmail), PFactoryInfo::kUnicode);
    auto* factory = new CPluginFactory(factoryInfo);
    gPluginFactory = factory;
    factory->registerClass(&plugkit::ClassInfo(), &plugkit::CreateInstance, nullptr);
    return factory;
  }
  gPluginFactory->addRef();
  return gPluginFactory;
}
