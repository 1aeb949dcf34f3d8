// The soak for the one bundle this executable was built for.
#include "tests/host/soak_suite.h"

namespace tarnwell::host {

INSTANTIATE_TEST_SUITE_P(Module, Soak, ::testing::ValuesIn(SoakCasesFor(SUITE_TARGET_NAME, SUITE_TARGET_BUNDLE)),
                         SoakCaseName);

}  // namespace tarnwell::host
