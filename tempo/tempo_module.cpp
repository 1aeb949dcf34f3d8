// What the TarnwellTempo module tells the framework about its one plug-in class.
#include "framework/vst3/plugin_class.h"
#include "product/product_identity.h"
#include "tempo/tarnwell_tempo.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity = tarnwell::ProductClassIdentity("Tarnwell Tempo", "Ttmp");
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() { return CreateTempoInstance(); }
