// What the TarnwellDuck module tells the framework about its one plug-in class.
#include "duck/tarnwell_duck.h"
#include "framework/plugin_setup.h"
#include "framework/vst3/plugin_class.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity{"Tarnwell Duck", FourCharCode("Tdck"), FourCharCode("TwAu")};
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() { return CreateDuckInstance(); }
