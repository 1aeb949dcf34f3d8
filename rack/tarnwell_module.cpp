// The module's one plug-in class.
#include "framework/vst3/plugin_class.h"
#include "product/product_identity.h"
#include "rack/tarnwell.h"
#include "tempo/tempo_block_name.h"

const plugkit::PluginClassIdentity& plugkit::ThisPluginClass() {
  static const PluginClassIdentity identity = tarnwell::ProductClassIdentity("Tarnwell", "bhR9");
  return identity;
}

Steinberg::Vst::IAudioProcessor* plugkit::ConstructPlugin() {
  return static_cast<Steinberg::Vst::IAudioProcessor*>(
      new Tarnwell(tarnwell::MakeSharedTempoBlockSource(TempoBlockNameFromEnvironment().c_str())));
}
