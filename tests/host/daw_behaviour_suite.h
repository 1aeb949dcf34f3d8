// What real DAWs do to a plug-in that our host does not do by default, as one suite that runs
// against any built bundle: a scan that stops what it never started, initialize and
// terminate twice, state set while active, damaged state, bus arrangement rounds, an
// inactive side-chain still handed buffers, changing block sizes from a negative project
// time, an offline bounce at a larger maximum, and automation with a point at each end of
// every block, with every process call on a thread of its own. Every case checks that the
// module survives: answers the host can work with, no allocation in any process call, finite
// output, parameters and state intact, and calls towards the host only on the UI thread.
//
// A module's test executable instantiates it once (tarnwell_add_daw_behaviour_test in
// tests/host/CMakeLists.txt does that from a bundle target), or by hand:
//   INSTANTIATE_TEST_SUITE_P(Duck, DawBehaviour, ::testing::Values(DawTarget{"TarnwellDuck", path}),
//                            DawTargetName);
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/module.h"

namespace tarnwell::host {

struct DawTarget {
  std::string name;    // shown in the test names
  std::string bundle;  // bundle folder or module file
  // The module's output does not depend on how the host cuts the stream into blocks, so
  // blocks of changing sizes must give the output of blocks of one size.
  bool blockSizeInvariant = false;
};

std::string DawTargetName(const ::testing::TestParamInfo<DawTarget>& info);

class DawBehaviour : public ::testing::TestWithParam<DawTarget> {
 protected:
  void SetUp() override;
  Module module_;
};

}  // namespace tarnwell::host
