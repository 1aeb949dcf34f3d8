// Each built module in a process where no WebView2Loader.dll can be found: the view is offered
// and attaches all the same, as the product always has on Windows.
#include <gtest/gtest.h>

#include <string>

#include "host/module.h"
#include "host/plugin_instance.h"

namespace {

using namespace Steinberg;

class EditorWithoutBrowser : public ::testing::TestWithParam<const char*> {};

TEST_P(EditorWithoutBrowser, TheViewIsOfferedAndAttaches) {
  tarnwell::host::Module module;
  std::string error;
  ASSERT_TRUE(module.Load(GetParam(), &error)) << error;
  tarnwell::host::PluginInstance plugin;
  ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
  ASSERT_TRUE(plugin.OpenEditor());
  EXPECT_EQ(plugin.Editor()->isPlatformTypeSupported("HWND"), kResultOk);
}

INSTANTIATE_TEST_SUITE_P(Modules, EditorWithoutBrowser,
                         ::testing::Values(TARNWELL_BUNDLE, TEMPO_BUNDLE, DUCK_BUNDLE, FIXTURE_BUNDLE));

}  // namespace
