#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace plugkit::platform {

bool AppendToFile(const std::string& utf8Path, std::string_view bytes) noexcept {
  if (utf8Path.empty()) return false;
  const int file = open(utf8Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (file < 0) return false;
  const ssize_t written = write(file, bytes.data(), bytes.size());
  close(file);
  return written >= 0 && static_cast<std::size_t>(written) == bytes.size();
}

}  // namespace plugkit::platform
