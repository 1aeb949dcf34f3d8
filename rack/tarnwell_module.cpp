// The module's one plug-in class.
#include "framework/vst3/plugin_class.h"
#include "rack/tarnwell.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity{"Tarnwell", FourCharCode("bhR9"), FourCharCode("TwAu")};
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() {
  return static_cast<Steinberg::Vst::IAudioProcessor*>(new Tarnwell());
}
