#include "host/run_loop.h"

namespace tarnwell::host {

std::unique_ptr<RunLoop> MakeRunLoop() { return nullptr; }

}  // namespace tarnwell::host
