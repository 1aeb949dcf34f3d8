#include "framework/plugin_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/core/failing_realloc.h"
#include "test_plugin.h"

namespace plugkit {
namespace {

using testing::TestPlugin;
using testing::TestPluginSetup;
using Calls = std::vector<std::string>;

StateBlob BlobOf(std::initializer_list<double> values) {
  StateBlob blob;
  for (double v : values) blob.PutValue(v);
  return blob;
}

const Calls kPresetNotification = {"OnParamChange(0,2,-1)", "OnUIParamChanged(0,2)", "OnParamChange(1,2,-1)",
                                   "OnUIParamChanged(1,2)", "OnParamChange(2,2,-1)", "OnUIParamChanged(2,2)"};

TEST(IPluginBase, ParameterStateIsEightBytesPerParameterInIndexOrder) {
  TestPlugin plugin;
  plugin.GetParam(0)->SetValue(-2.5);
  plugin.GetParam(1)->SetValue(3.0);
  plugin.GetParam(2)->SetValue(1.0);
  StateBlob blob;
  ASSERT_TRUE(plugin.SerializeParams(blob));
  ASSERT_EQ(blob.Size(), 24);
  double stored[3];
  std::memcpy(stored, blob.Data(), sizeof stored);
  EXPECT_EQ(stored[0], -2.5);
  EXPECT_EQ(stored[1], 3.0);
  EXPECT_EQ(stored[2], 1.0);

  TestPlugin restored;
  EXPECT_EQ(restored.LoadState(blob, 0), 24);
  EXPECT_EQ(restored.GetParam(0)->Value(), -2.5);
  EXPECT_EQ(restored.GetParam(1)->Value(), 3.0);
  EXPECT_EQ(restored.GetParam(2)->Value(), 1.0);
  EXPECT_EQ(restored.calls, kPresetNotification);
}

TEST(IPluginBase, AShortBlobSetsWhatFitsAndStillNotifies) {
  TestPlugin plugin;
  // A 24-byte blob read from position 4: two whole values fit, the third does not.
  StateBlob shifted;
  shifted.PutValue(int32_t{0});
  shifted.PutValue(-4.0);
  shifted.PutValue(2.0);
  shifted.Put("\0\0\0\0", 4);
  ASSERT_EQ(shifted.Size(), 24);
  EXPECT_EQ(plugin.UnserializeParams(shifted, 4), -1);
  EXPECT_EQ(plugin.GetParam(0)->Value(), -4.0);
  EXPECT_EQ(plugin.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(plugin.GetParam(2)->Value(), 0.0);
  EXPECT_EQ(plugin.calls, kPresetNotification);
}

TEST(IPluginBase, StoredValuesAreClampedAndSnapped) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double stored[3];
    double expected[3];
  } cases[] = {
      {{25.0, 2.6, 0.4}, {10.0, 3.0, 0.0}},
      {{-kInf, 99.0, 7.0}, {-10.0, 4.0, 1.0}},
      {{kNaN, kNaN, kNaN}, {-10.0, 0.0, 0.0}},
      {{kInf, -1.5, 0.5}, {10.0, 0.0, 1.0}},
  };
  for (const Case& c : cases) {
    TestPlugin plugin;
    ASSERT_EQ(plugin.UnserializeParams(BlobOf({c.stored[0], c.stored[1], c.stored[2]}), 0), 24);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(plugin.GetParam(i)->Value(), c.expected[i]) << c.stored[i];
  }
}

TEST(IPluginBase, NegativeOrPastTheEndStartReadsNothing) {
  for (int32_t start : {-1, -4, 24, 30}) {
    TestPlugin plugin;
    plugin.GetParam(0)->SetValue(5.0);
    EXPECT_EQ(plugin.UnserializeParams(BlobOf({1.0, 2.0, 3.0}), start), -1) << start;
    EXPECT_EQ(plugin.GetParam(0)->Value(), 5.0);
    EXPECT_EQ(plugin.calls, kPresetNotification);
  }
}

TEST(IPluginBase, WithoutParametersTheStateIsEmpty) {
  TestPlugin plugin(TestPluginSetup(0));
  StateBlob blob;
  EXPECT_TRUE(plugin.SaveState(blob));
  EXPECT_EQ(blob.Size(), 0);
  EXPECT_EQ(plugin.LoadState(blob, 0), 0);
}

TEST(IPluginBase, SerializeReportsAFullBlob) {
  TestPlugin plugin;
  StateBlob blob;
  testing::FailingRealloc noMemory;
  EXPECT_FALSE(plugin.SerializeParams(blob));
}

TEST(IPluginBase, IdentityAndPresetSlots) {
  PluginSetup setup = TestPluginSetup();
  const std::string longName(300, 'n');
  setup.productName = longName.c_str();
  setup.presetCount = 2;
  TestPlugin plugin(setup);
  EXPECT_STREQ(plugin.PluginName(), "Test Plugin");
  EXPECT_EQ(std::string(plugin.ProductName()), std::string(128, 'n'));
  EXPECT_STREQ(plugin.VendorName(), "TarnwellAudio");
  EXPECT_EQ(plugin.UniqueId(), 0x54747374);
  EXPECT_EQ(plugin.VersionCode(), 0x0001000A);
  EXPECT_TRUE(plugin.HasEditor());
  EXPECT_FALSE(plugin.HostMayResize());
  EXPECT_EQ(plugin.GetHostId(), kHostNotIdentified);
  EXPECT_EQ(plugin.PresetCount(), 2);
  EXPECT_STREQ(plugin.PresetNameAt(0), "empty");
  EXPECT_STREQ(plugin.PresetNameAt(1), "empty");
  EXPECT_STREQ(plugin.PresetNameAt(-1), "");
  EXPECT_STREQ(plugin.PresetNameAt(2), "");
}

}  // namespace
}  // namespace plugkit
