//-----------------------------------------------------------------------------
// The class factory a module hands to the host. Missing from the installed SDK
// subset, so written here in the SDK's idiom.
//-----------------------------------------------------------------------------
#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <vector>

namespace Steinberg {

class CPluginFactory : public IPluginFactory3 {
 public:
  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();

  /** Registers a class. createFunc builds an instance; context is passed to it. */
  bool registerClass(const PClassInfo2* info, FUnknown* (*createFunc)(void*), void* context = nullptr);
  bool isClassRegistered(const FUID& cid) const;

  DECLARE_FUNKNOWN_METHODS

  //---from IPluginFactory------
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
  int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) SMTG_OVERRIDE;

  //---from IPluginFactory2-----
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;

  //---from IPluginFactory3-----
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
  tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

 protected:
  struct ClassEntry {
    PClassInfo2 info2;
    PClassInfoW infoW;
    FUnknown* (*createFunc)(void*);
    void* context;
  };

  PFactoryInfo factoryInfo;
  std::vector<ClassEntry> classes;

  const ClassEntry* entryAt(int32 index) const;
};

/** The factory this module handed out; cleared when that factory is destroyed. */
extern IPluginFactory* gPluginFactory;

}  // namespace Steinberg
