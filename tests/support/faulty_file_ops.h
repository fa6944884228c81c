// File-system calls that fail on purpose: step k of an operation (every
// call through the seam counts as a step, or only the kinds chosen) fails
// with a chosen error, once or from there on, as a full disk, a failing
// disk, a refused access or a data folder that vanished would.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <utility>

#include "storage/file_ops.h"

namespace egresso::test {

class FaultyFileOps : public FileOps {
 public:
  enum Kind : unsigned {
    Open = 1, Close = 2, Read = 4, Write = 8, Sync = 16, Truncate = 32, Rename = 64, Unlink = 128, MakeDir = 256,
    Stat = 512, FStat = 1024, ChMod = 2048,
    Looks = Stat | FStat,
    Changes = Write | Truncate | Rename | Unlink | MakeDir | ChMod,  // and opens that create
    Any = 4095,
  };

  // Arms the fault for a new try: the failAt-th counted call fails.
  void arm(int failAt, int err, unsigned kinds, bool persistent) {
    failAt_ = failAt;
    err_ = err;
    kinds_ = kinds;
    persistent_ = persistent;
    steps = 0;
    faults = 0;
    shortFd_ = -1;
    failedStep.clear();
  }
  void disarm() { failAt_ = 0; }

  int steps = 0;   // counted calls so far
  int faults = 0;  // calls that failed
  std::string failedStep;

  int open(const char* path, int flags, unsigned mode) override {
    const bool creates = (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_ACCMODE) != O_RDONLY;
    if (fails(creates ? Open | Changes : Open, "open ", path)) return -1;
    return FileOps::open(path, flags, mode);
  }
  int close(int fd) override {
    if (fails(Close, "close")) {
      FileOps::close(fd);  // the handle is gone whatever close answers
      return -1;
    }
    return FileOps::close(fd);
  }
  ssize_t read(int fd, void* buf, std::size_t size) override {
    return fails(Read, "read") ? -1 : FileOps::read(fd, buf, size);
  }
  ssize_t pread(int fd, void* buf, std::size_t size, off_t offset) override {
    return fails(Read, "pread") ? -1 : FileOps::pread(fd, buf, size, offset);
  }
  // A full disk takes part of a write that needs new room first; the rest
  // of it then fails. Overwriting bytes already there needs no room.
  ssize_t write(int fd, const void* buf, std::size_t size) override {
    if (fd == shortFd_) return failNow();
    if (!fails(Write, "write")) return FileOps::write(fd, buf, size);
    return cutShort(fd, size, [&](std::size_t n) { return FileOps::write(fd, buf, n); });
  }
  ssize_t pwrite(int fd, const void* buf, std::size_t size, off_t offset) override {
    if (fd == shortFd_) return failNow();
    if (!fails(Write, "pwrite")) return FileOps::pwrite(fd, buf, size, offset);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && offset + static_cast<off_t>(size) <= st.st_size) {
      errno = err_;
      return -1;
    }
    return cutShort(fd, size, [&](std::size_t n) { return FileOps::pwrite(fd, buf, n, offset); });
  }
  int fsync(int fd) override { return fails(Sync, "fsync") ? -1 : FileOps::fsync(fd); }
  int ftruncate(int fd, off_t length) override {
    return fails(Truncate, "ftruncate") ? -1 : FileOps::ftruncate(fd, length);
  }
  int rename(const char* from, const char* to) override {
    return fails(Rename, "rename ", to) ? -1 : FileOps::rename(from, to);
  }
  int unlink(const char* path) override { return fails(Unlink, "unlink ", path) ? -1 : FileOps::unlink(path); }
  int mkdir(const char* path, unsigned mode) override {
    return fails(MakeDir, "mkdir ", path) ? -1 : FileOps::mkdir(path, mode);
  }
  int rmdir(const char* path) override { return fails(Unlink, "rmdir ", path) ? -1 : FileOps::rmdir(path); }
  int link(const char* from, const char* to) override {
    return fails(Rename, "link ", to) ? -1 : FileOps::link(from, to);
  }
  int stat(const char* path, struct stat* st) override {
    return fails(Stat, "stat ", path) ? -1 : FileOps::stat(path, st);
  }
  int utimens(const char* path, const timespec times[2]) override {
    return fails(ChMod, "utimens ", path) ? -1 : FileOps::utimens(path, times);
  }
  int fstat(int fd, struct stat* st) override { return fails(FStat, "fstat") ? -1 : FileOps::fstat(fd, st); }
  int fchmod(int fd, unsigned mode) override { return fails(ChMod, "fchmod") ? -1 : FileOps::fchmod(fd, mode); }

 private:
  bool fails(unsigned kind, const char* what, const char* path = "") {
    if (failAt_ <= 0 || (kind & kinds_) == 0) return false;
    ++steps;
    if (steps < failAt_ || (steps > failAt_ && !persistent_)) return false;
    ++faults;
    if (failedStep.empty()) failedStep = std::string(what) + path;
    errno = err_;
    return true;
  }
  ssize_t failNow() {
    shortFd_ = -1;
    errno = err_;
    return -1;
  }
  template <typename Op>
  ssize_t cutShort(int fd, std::size_t size, Op op) {
    if (err_ != ENOSPC || size < 2) {
      errno = err_;
      return -1;
    }
    shortFd_ = fd;
    return op(size / 2);
  }

  int failAt_ = 0;
  int err_ = EIO;
  unsigned kinds_ = Any;
  bool persistent_ = false;
  int shortFd_ = -1;
};

// Refuses every open of a file with one name (in any folder) with a chosen
// error, as the file of another account with mode 0600 refuses this one;
// everything else is passed on. Holds no state, so threads may share it.
class RefusingFileOps : public FileOps {
 public:
  RefusingFileOps(std::string name, int err) : name_(std::move(name)), err_(err) {}
  int open(const char* path, int flags, unsigned mode) override {
    const std::string p(path);
    if (p.size() >= name_.size() && p.compare(p.size() - name_.size(), name_.size(), name_) == 0 &&
        (p.size() == name_.size() || p[p.size() - name_.size() - 1] == '/')) {
      errno = err_;
      return -1;
    }
    return FileOps::open(path, flags, mode);
  }

 private:
  std::string name_;
  int err_;
};

// A file server's habit with a file another client keeps open: replacing
// or deleting it (or moving it away) is answered "busy" until it is closed.
class HeldOpenElsewhere : public FileOps {
 public:
  std::string held;  // the path kept open elsewhere; empty: none
  int refusals = 0;
  int rename(const char* from, const char* to) override {
    if (isHeld(from) || isHeld(to)) return refuse();
    return FileOps::rename(from, to);
  }
  int unlink(const char* path) override { return isHeld(path) ? refuse() : FileOps::unlink(path); }

 private:
  bool isHeld(const char* path) const { return !held.empty() && held == path; }
  int refuse() {
    ++refusals;
    errno = EBUSY;
    return -1;
  }
};

}  // namespace egresso::test
