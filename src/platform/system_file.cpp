#include "platform/system_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace egresso {

std::string ReadSystemFile(const char* path, std::size_t max) {
  std::string text;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return text;
  char buffer[4096];
  while (text.size() < max) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (text.size() > max) text.resize(max);
  return text;
}

}  // namespace egresso
