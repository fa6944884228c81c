// File-system calls of a file system whose clock stamps whole seconds: every
// file written through them gets, when it is closed, the fake clock's time
// without its fraction (as ext3 shares and many NAS boxes stamp them).
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <set>

#include "storage/dates.h"
#include "storage/file_ops.h"
#include "support/fake_platform.h"

namespace egresso::test {

class WholeSecondFileOps : public FileOps {
 public:
  explicit WholeSecondFileOps(const FakeClock& clock) : clock_(clock) {}
  ssize_t write(int fd, const void* buf, std::size_t size) override {
    written_.insert(fd);
    return FileOps::write(fd, buf, size);
  }
  ssize_t pwrite(int fd, const void* buf, std::size_t size, off_t offset) override {
    written_.insert(fd);
    return FileOps::pwrite(fd, buf, size, offset);
  }
  int ftruncate(int fd, off_t length) override {
    written_.insert(fd);
    return FileOps::ftruncate(fd, length);
  }
  int close(int fd) override {
    if (written_.erase(fd) != 0) {
      struct timespec times[2];
      times[0].tv_sec = static_cast<std::time_t>(EpochSeconds(clock_.current));
      times[0].tv_nsec = 0;
      times[1] = times[0];
      ::futimens(fd, times);
    }
    return FileOps::close(fd);
  }

 private:
  const FakeClock& clock_;
  std::set<int> written_;
};

}  // namespace egresso::test
