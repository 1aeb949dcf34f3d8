#include "platform/atomic_file_write.h"

namespace plugkit::platform {

std::string AtomicWriteTempPath(const std::string& utf8Path) { return utf8Path + ".tmp"; }

}  // namespace plugkit::platform
