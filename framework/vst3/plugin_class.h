// What each module tells the framework about the one plug-in class it exports.
// Every module defines these two functions once (next to its plug-in class).
#pragma once

#include <cstdint>

#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace plugkit {

struct PluginClassIdentity {
  const char* name;     // the class name hosts show, e.g. "Tarnwell"
  int32_t uniqueId;     // four-character unique plug-in ID
  int32_t vendorId;     // four-character manufacturer ID
  const char* version;  // the class version hosts show, e.g. "1.0.10"
  // The module's factory information: its maker, web address and mail address.
  const char* vendorName;
  const char* vendorUrl;
  const char* vendorEmail;
};

const PluginClassIdentity& ThisPluginClass();

// Builds one plug-in object (reference count 1) and returns its IAudioProcessor interface.
Steinberg::Vst::IAudioProcessor* ConstructPlugin();

}  // namespace plugkit
