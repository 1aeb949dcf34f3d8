// A long session through the host at one sample rate, for any built bundle: blocks of 1 to
// 8192 frames that change size from call to call, random automation of random parameters in
// every block, random bypass toggles, states saved and restored mid-stream, input samples that
// are not finite, and the sample rate changed half-way as when a project's rate changes. The
// output must stay finite, no process call may allocate, and (under the sanitizers) nothing
// leaks.
//
// Each case plays TARNWELL_SOAK_SECONDS of audio (10 by default) from a seed of its own
// (TARNWELL_SOAK_SEED changes it). A module's test executable instantiates it once:
//   tarnwell_add_soak_test(<name> BUNDLE <bundle target> [SHARDS n])   (tests/host/CMakeLists.txt)
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "host/module.h"

namespace tarnwell::host {

struct SoakCase {
  std::string name;    // the module, shown in the test names
  std::string bundle;  // bundle folder or module file
  double sampleRate;
  double laterSampleRate;  // the rate of the session's second half
};

void PrintTo(const SoakCase& soak, std::ostream* out);
std::string SoakCaseName(const ::testing::TestParamInfo<SoakCase>& info);
// Every rate from 8 kHz to 192 kHz, each followed by another, for one bundle.
std::vector<SoakCase> SoakCasesFor(const std::string& name, const std::string& bundle);

class Soak : public ::testing::TestWithParam<SoakCase> {
 protected:
  void SetUp() override;
  Module module_;
};

}  // namespace tarnwell::host
