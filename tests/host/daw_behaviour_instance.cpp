// The DAW-behaviour suite for the one bundle this executable was built for.
#include "tests/host/daw_behaviour_suite.h"

namespace tarnwell::host {

INSTANTIATE_TEST_SUITE_P(Module, DawBehaviour,
                         ::testing::Values(DawTarget{SUITE_TARGET_NAME, SUITE_TARGET_BUNDLE,
                                                     DAW_BLOCK_SIZE_INVARIANT != 0}),
                         DawTargetName);

}  // namespace tarnwell::host
