#include "host/module.h"

#include "host/allocation_guard.h"
#include "platform/bundle_layout.h"

namespace tarnwell::host {
namespace {

using GetFactoryProc = Steinberg::IPluginFactory*(PLUGIN_API*)();
using EntryProc = bool (*)(void*);
using InitProc = bool (*)();
using ExitProc = bool (*)();
using PumpProc = void (*)();

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string FileStem(std::string path) {
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

Module::~Module() { Unload(); }

std::string Module::ResolveBinaryPath(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  // A bundle is a folder named <Name>.vst3 holding Contents/; on Windows the binary inside it
  // also ends in .vst3, so a path into Contents is taken as the binary.
  if (!EndsWith(trimmed, ".vst3") || trimmed.find("/Contents/") != std::string::npos ||
      trimmed.find("\\Contents\\") != std::string::npos)
    return trimmed;
  return trimmed + "/Contents/" + plugkit::platform::kBundleArchitectureFolder + "/" + FileStem(trimmed) +
         plugkit::platform::kModuleFileSuffix;
}

bool Module::Load(const std::string& path, std::string* error) {
  Unload();
  binaryPath_ = ResolveBinaryPath(path);
  if (!library_.Open(binaryPath_, error)) return false;

  // Before the module runs any code of its own, so that every allocation it makes is seen.
  WatchModuleAllocations(library_.NativeHandle());
  entered_ = CallEntry();
  if (!entered_) {
    if (error) *error = "the module's entry point refused to load";
    library_.Close();
    return false;
  }
  factory_ = CallGetPluginFactory();
  if (factory_ == nullptr) {
    if (error) *error = "the module exports no GetPluginFactory";
    Unload();
    return false;
  }
  return true;
}

Steinberg::IPluginFactory* Module::CallGetPluginFactory() const {
  auto getFactory = reinterpret_cast<GetFactoryProc>(library_.Symbol("GetPluginFactory"));
  return getFactory ? getFactory() : nullptr;
}

bool Module::CallEntry() const {
  if (auto entry = reinterpret_cast<EntryProc>(library_.Symbol("ModuleEntry"))) return entry(library_.NativeHandle());
  if (auto init = reinterpret_cast<InitProc>(library_.Symbol("InitDll"))) return init();
  return true;  // a module without entry points needs none
}

bool Module::CallExit() const {
  if (auto exit = reinterpret_cast<ExitProc>(library_.Symbol("ModuleExit"))) return exit();
  if (auto exit = reinterpret_cast<ExitProc>(library_.Symbol("ExitDll"))) return exit();
  return true;
}

void Module::PumpUiLoop() const {
  if (auto pump = reinterpret_cast<PumpProc>(library_.Symbol("ModulePumpUiLoop"))) pump();
}

void Module::ReleaseFactory() {
  if (factory_ != nullptr) factory_->release();
  factory_ = nullptr;
}

bool Module::Unload() {
  ReleaseFactory();
  bool result = true;
  if (entered_) result = CallExit();
  entered_ = false;
  library_.Close();
  return result;
}

}  // namespace tarnwell::host
