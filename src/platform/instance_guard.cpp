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
  if (folder.empty()) return Result::Unavailable;
  std::string path = folder + "/" + name + ".lock";
  // A lock file that is a link is not ours to open.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
    // The workstation identity keeps 15 characters; so does its lock.
    for (const char* p = station; *p && p - station < 15; ++p) {
      unsigned char c = static_cast<unsigned char>(*p);
      // Only characters that are safe in a file name.
      bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
      name += plain ? static_cast<char>(c) : '_';
    }
  }
  return name;
}

namespace {

// Only a folder of this user that nobody else may write to: otherwise
// another user could hold the lock and keep the program from starting.
bool privateFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string InstanceLockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && privateFolder(runtime)) return runtime;
  std::string folder = "/tmp/egresso-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return privateFolder(folder) ? folder : std::string();
}

}  // namespace egresso
