// What the TarnwellTempo module tells the framework about its one plug-in class.
#include "framework/plugin_setup.h"
#include "framework/vst3/plugin_class.h"
#include "tempo/tarnwell_tempo.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity{"Tarnwell Tempo", FourCharCode("Ttmp"), FourCharCode("TwAu")};
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() { return CreateTempoInstance(); }
