// What the TarnwellDuck module tells the framework about its one plug-in class.
#include "duck/tarnwell_duck.h"
#include "framework/vst3/plugin_class.h"
#include "product/product_identity.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity = tarnwell::ProductClassIdentity("Tarnwell Duck", "Tdck");
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() { return CreateDuckInstance(); }
