// A station's file layer that counts the calls a workstation makes while it
// holds one lock: on a file server each of them is a round trip that every
// workstation waiting for that lock waits through as well.
#pragma once

#include <fcntl.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "storage/file_ops.h"

namespace egresso::test {

class CountingFileOps : public StationFileOps {
 public:
  // Counts from the moment the lock file named lockFile (its whole path)
  // holds its line until it is deleted for the release; the calls on the
  // lock file itself are the take and the release, not counted.
  explicit CountingFileOps(std::string lockFile) : lockFile_(std::move(lockFile)) {}

  // Every call made under the lock, in order, as "call name".
  std::vector<std::string> calls;
  // How many holds were seen (each take of the lock counts once).
  int holds = 0;

  int open(const char* path, int flags, unsigned mode = 0666) override {
    note("open", path);
    const int fd = StationFileOps::open(path, flags, mode);
    if (fd >= 0 && (flags & O_EXCL) != 0 && lockFile_ == path) lockFd_ = fd;
    if (fd >= 0) names_[fd] = path;
    return fd;
  }
  int close(int fd) override {
    note("close", nameOf(fd));
    if (fd == lockFd_) lockFd_ = -1;
    names_.erase(fd);
    return StationFileOps::close(fd);
  }
  ssize_t read(int fd, void* buf, std::size_t size) override {
    note("read", nameOf(fd));
    return StationFileOps::read(fd, buf, size);
  }
  ssize_t pread(int fd, void* buf, std::size_t size, off_t offset) override {
    note("pread", nameOf(fd));
    return StationFileOps::pread(fd, buf, size, offset);
  }
  ssize_t write(int fd, const void* buf, std::size_t size) override {
    note("write", nameOf(fd));
    const ssize_t n = StationFileOps::write(fd, buf, size);
    // The lock is this workstation's once its line is in the file.
    if (fd == lockFd_ && n > 0 && !counting_) {
      counting_ = true;
      ++holds;
    }
    return n;
  }
  ssize_t pwrite(int fd, const void* buf, std::size_t size, off_t offset) override {
    note("pwrite", nameOf(fd));
    return StationFileOps::pwrite(fd, buf, size, offset);
  }
  int fsync(int fd) override {
    note("fsync", nameOf(fd));
    return StationFileOps::fsync(fd);
  }
  int ftruncate(int fd, off_t length) override {
    note("ftruncate", nameOf(fd));
    return StationFileOps::ftruncate(fd, length);
  }
  int rename(const char* from, const char* to) override {
    note("rename", to);
    return StationFileOps::rename(from, to);
  }
  int unlink(const char* path) override {
    if (lockFile_ == path) counting_ = false;
    note("unlink", path);
    return StationFileOps::unlink(path);
  }
  int link(const char* from, const char* to) override {
    note("link", to);
    return StationFileOps::link(from, to);
  }
  int rmdir(const char* path) override {
    note("rmdir", path);
    return StationFileOps::rmdir(path);
  }
  int stat(const char* path, struct stat* st) override {
    note("stat", path);
    return StationFileOps::stat(path, st);
  }
  int utimens(const char* path, const timespec times[2]) override {
    note("utimens", path);
    return StationFileOps::utimens(path, times);
  }
  int mkdir(const char* path, unsigned mode) override {
    note("mkdir", path);
    return StationFileOps::mkdir(path, mode);
  }
  int fstat(int fd, struct stat* st) override {
    note("fstat", nameOf(fd));
    return StationFileOps::fstat(fd, st);
  }
  int fchmod(int fd, unsigned mode) override {
    note("fchmod", nameOf(fd));
    return StationFileOps::fchmod(fd, mode);
  }
  int fchown(int fd, unsigned group) override {
    note("fchown", nameOf(fd));
    return StationFileOps::fchown(fd, group);
  }

 private:
  void note(const char* call, const std::string& name) {
    if (counting_ && name != lockFile_) calls.push_back(std::string(call) + " " + name.substr(name.rfind('/') + 1));
  }
  std::string nameOf(int fd) const {
    auto it = names_.find(fd);
    return it == names_.end() ? std::string("?") : it->second;
  }

  std::string lockFile_;
  int lockFd_ = -1;
  bool counting_ = false;
  std::map<int, std::string> names_;
};

}  // namespace egresso::test
