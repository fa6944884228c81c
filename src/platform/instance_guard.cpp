#include "platform/instance_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace egresso {

InstanceGuard::~InstanceGuard() {
  if (fd_ >= 0) ::close(fd_);
}

InstanceGuard::Result InstanceGuard::acquire(const std::string& folder, const std::string& name) {
  if (fd_ >= 0) return Result::Acquired;
  std::string path = folder + "/" + name + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
  }
  fd_ = fd;
  return Result::Acquired;
}

std::string InstanceLockName() {
  std::string name = "Egresso";
  const char* station = std::getenv("EGRESSO_STATION");
  if (station && *station) {
    name += '-';
    for (const char* p = station; *p; ++p) {
      unsigned char c = static_cast<unsigned char>(*p);
      // Only characters that are safe in a file name.
      bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
      name += plain ? static_cast<char>(c) : '_';
    }
  }
  return name;
}

std::string InstanceLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  std::string folder = "/tmp/egresso-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

}  // namespace egresso
