#include "vst3/pluginfactory.h"

#include <cstring>

namespace Steinberg {

IPluginFactory* gPluginFactory = nullptr;

namespace {

// Widens byte text to char16 one byte at a time; bytes are taken as unsigned.
template <size_t N>
void widen(char16 (&dst)[N], const char8* src) {
  size_t i = 0;
  for (; i + 1 < N && src[i] != 0; ++i) dst[i] = static_cast<char16>(static_cast<unsigned char>(src[i]));
  for (; i < N; ++i) dst[i] = 0;
}

}  // namespace

CPluginFactory::CPluginFactory(const PFactoryInfo& info)
    : factoryInfo(info){FUNKNOWN_CTOR}

      CPluginFactory::~CPluginFactory() {
  // A host that releases the factory and asks again must get a new one, not this one.
  if (gPluginFactory == this) gPluginFactory = nullptr;
  FUNKNOWN_DTOR
}

IMPLEMENT_REFCOUNT(CPluginFactory)

tresult PLUGIN_API CPluginFactory::queryInterface(FIDString _iid, void** obj) {
  QUERY_INTERFACE(_iid, obj, IPluginFactory::iid, IPluginFactory)
  QUERY_INTERFACE(_iid, obj, IPluginFactory2::iid, IPluginFactory2)
  QUERY_INTERFACE(_iid, obj, IPluginFactory3::iid, IPluginFactory3)
  QUERY_INTERFACE(_iid, obj, FUnknown::iid, IPluginFactory)
  *obj = nullptr;
  return kNoInterface;
}

bool CPluginFactory::registerClass(const PClassInfo2* info, FUnknown* (*createFunc)(void*), void* context) {
  if (info == nullptr || createFunc == nullptr) return false;
  ClassEntry entry{};
  entry.info2 = *info;
  memcpy(entry.infoW.cid, info->cid, sizeof(TUID));
  entry.infoW.cardinality = info->cardinality;
  memcpy(entry.infoW.category, info->category, sizeof(entry.infoW.category));
  widen(entry.infoW.name, info->name);
  entry.infoW.classFlags = info->classFlags;
  memcpy(entry.infoW.subCategories, info->subCategories, sizeof(entry.infoW.subCategories));
  widen(entry.infoW.vendor, info->vendor);
  widen(entry.infoW.version, info->version);
  widen(entry.infoW.sdkVersion, info->sdkVersion);
  entry.createFunc = createFunc;
  entry.context = context;
  classes.push_back(entry);
  return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid) const {
  for (const auto& entry : classes)
    if (FUnknownPrivate::iidEqual(entry.info2.cid, cid.toTUID())) return true;
  return false;
}

const CPluginFactory::ClassEntry* CPluginFactory::entryAt(int32 index) const {
  if (index < 0 || index >= static_cast<int32>(classes.size())) return nullptr;
  return &classes[static_cast<size_t>(index)];
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (info == nullptr) return kInvalidArgument;
  *info = factoryInfo;
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() { return static_cast<int32>(classes.size()); }

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  const ClassEntry* entry = entryAt(index);
  if (entry == nullptr || info == nullptr) return kInvalidArgument;
  memcpy(info->cid, entry->info2.cid, sizeof(TUID));
  info->cardinality = entry->info2.cardinality;
  memcpy(info->category, entry->info2.category, sizeof(info->category));
  memcpy(info->name, entry->info2.name, sizeof(info->name));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  const ClassEntry* entry = entryAt(index);
  if (entry == nullptr || info == nullptr) return kInvalidArgument;
  *info = entry->info2;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  const ClassEntry* entry = entryAt(index);
  if (entry == nullptr || info == nullptr) return kInvalidArgument;
  *info = entry->infoW;
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString _iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (cid == nullptr || _iid == nullptr) return kInvalidArgument;
  for (const auto& entry : classes) {
    if (!FUnknownPrivate::iidEqual(entry.info2.cid, cid)) continue;
    FUnknown* instance = entry.createFunc(entry.context);
    if (instance == nullptr) return kOutOfMemory;
    if (instance->queryInterface(_iid, obj) != kResultOk) *obj = nullptr;
    instance->release();
    return *obj ? kResultOk : kNoInterface;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* /*context*/) { return kNotImplemented; }

}  // namespace Steinberg
