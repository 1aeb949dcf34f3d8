#include "binding_plugin.h"

namespace plugkit::test {

PluginSetup BindingSetup(const char* layouts) {
  PluginSetup setup{};
  setup.paramCount = 2;
  setup.channelLayouts = layouts;
  setup.pluginName = setup.productName = "Binding Test";
  setup.vendorName = "TarnwellAudio";
  setup.hasEditor = 1;
  setup.editorWidth = setup.editorMinWidth = setup.editorMaxWidth = 300;
  setup.editorHeight = setup.editorMinHeight = setup.editorMaxHeight = 200;
  return setup;
}

BindingPlugin::BindingPlugin(const PluginSetup& setup) : IPluginVST3(setup) {
  for (int32_t i = 0; i < NParams(); ++i) GetParam(i)->SetupContinuous("Level", 0.0, 0.0, 10.0, 0.5, "", 0, "Group");
  calls.reserve(64);
}

}  // namespace plugkit::test
