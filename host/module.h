// A VST 3 module loaded the way a DAW loads it: by bundle or file path, through its
// entry points, down to its class factory.
#pragma once

#include <string>

#include "platform/dynamic_library.h"
#include "pluginterfaces/base/ipluginbase.h"

namespace tarnwell::host {

class Module {
 public:
  Module() = default;
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // Loads a bundle folder (<Name>.vst3) or a module file, enters it and takes its factory.
  bool Load(const std::string& path, std::string* error);
  // Releases the factory, leaves the module and unloads it. Returns the exit entry's answer.
  bool Unload();

  Steinberg::IPluginFactory* Factory() const { return factory_; }
  // Gives up the host's reference to the factory (the module stays loaded).
  void ReleaseFactory();
  const std::string& BinaryPath() const { return binaryPath_; }
  // The exported GetPluginFactory, for tests of the factory's own life cycle.
  Steinberg::IPluginFactory* CallGetPluginFactory() const;
  // Calls the entry or exit point once more, as a host that unbalances its calls would.
  bool CallEntry() const;
  bool CallExit() const;
  // Delivers the module's due UI timers on the calling thread where the module keeps them
  // in a loop of its own (Linux, while the host offers no run loop); elsewhere the host's
  // message loop delivers them.
  void PumpUiLoop() const;

  // <bundle>/Contents/<arch>/<Name><suffix> for a bundle folder; the path itself otherwise.
  static std::string ResolveBinaryPath(const std::string& path);

 private:
  plugkit::platform::DynamicLibrary library_;
  Steinberg::IPluginFactory* factory_ = nullptr;
  std::string binaryPath_;
  bool entered_ = false;
};

}  // namespace tarnwell::host
