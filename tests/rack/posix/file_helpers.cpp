#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "preset_fixture.h"

namespace test {

bool SetLastWriteTimeMs(const std::string& utf8Path, int64_t ms) {
  timespec times[2] = {};
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(ms / 1000);
  times[1].tv_nsec = static_cast<long>((ms % 1000) * 1000000);
  return utimensat(AT_FDCWD, utf8Path.c_str(), times, 0) == 0;
}

bool MakeLink(const std::string& utf8Target, const std::string& utf8Link, bool) {
  return symlink(utf8Target.c_str(), utf8Link.c_str()) == 0;
}

}  // namespace test
