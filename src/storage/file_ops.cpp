#include "storage/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "storage/record_io.h"

namespace egresso {

int FileOps::open(const char* path, int flags, unsigned mode) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
  while (fd < 0 && errno == EINTR);
  return fd;
}
int FileOps::close(int fd) { return ::close(fd); }
ssize_t FileOps::read(int fd, void* buf, std::size_t size) { return ::read(fd, buf, size); }
ssize_t FileOps::pread(int fd, void* buf, std::size_t size, off_t offset) { return ::pread(fd, buf, size, offset); }
ssize_t FileOps::write(int fd, const void* buf, std::size_t size) { return ::write(fd, buf, size); }
ssize_t FileOps::pwrite(int fd, const void* buf, std::size_t size, off_t offset) {
  return ::pwrite(fd, buf, size, offset);
}
int FileOps::fsync(int fd) { return ::fsync(fd); }
int FileOps::ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
int FileOps::rename(const char* from, const char* to) { return std::rename(from, to); }
int FileOps::unlink(const char* path) { return ::unlink(path); }
int FileOps::mkdir(const char* path, unsigned mode) { return ::mkdir(path, static_cast<mode_t>(mode)); }

FileOps& PosixFileOps() {
  static FileOps ops;
  return ops;
}

int WriteAll(FileOps& ops, int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ops.write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return io::fromErrno(errno);
    }
    if (n == 0) return io::DiskWriteError;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return io::Ok;
}

int CopyAll(FileOps& ops, int in, int out) {
  char buf[65536];
  for (;;) {
    ssize_t n = ops.read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return io::fromErrno(errno);
    if (n == 0) return io::Ok;
    int result = WriteAll(ops, out, buf, static_cast<std::size_t>(n));
    if (result != io::Ok) return result;
  }
}

}  // namespace egresso
