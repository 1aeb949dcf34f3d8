// Each built module in a process where no browser loader library can be found (every Linux DAW
// today): it offers no editor view, so that the host shows its own controls instead of an
// empty window.
#include <gtest/gtest.h>

#include <string>

#include "host/module.h"
#include "host/plugin_instance.h"

namespace {

using namespace Steinberg;

class EditorWithoutBrowser : public ::testing::TestWithParam<const char*> {};

TEST_P(EditorWithoutBrowser, NoViewIsOfferedAndTheRestOfThePlugInWorks) {
  tarnwell::host::Module module;
  std::string error;
  ASSERT_TRUE(module.Load(GetParam(), &error)) << error;
  tarnwell::host::PluginInstance plugin;
  ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
  EXPECT_EQ(plugin.Controller()->createView(Vst::ViewType::kEditor), nullptr);
  EXPECT_FALSE(plugin.OpenEditor());
  EXPECT_GT(plugin.Controller()->getParameterCount(), 0);  // what the host's own controls show
  ASSERT_TRUE(plugin.Start(48000.0, 64));
  std::vector<float> left(64, 0.25f), right(64, 0.25f);
  EXPECT_EQ(plugin.Process({left.data(), right.data()}, {left.data(), right.data()}, 64), kResultOk);
}

INSTANTIATE_TEST_SUITE_P(Modules, EditorWithoutBrowser,
                         ::testing::Values(TARNWELL_BUNDLE, TEMPO_BUNDLE, DUCK_BUNDLE, FIXTURE_BUNDLE));

}  // namespace
