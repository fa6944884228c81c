// The file-system calls of the storage layer. Every step that changes a
// shared file (or reads one back) goes through a FileOps, so that a test can
// make any single step fail as a full disk, a failing disk, a refused
// access or a vanished data folder would; the program itself uses the plain
// POSIX calls of the base class. Results and errno are those of POSIX.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace egresso {

class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual int open(const char* path, int flags, unsigned mode = 0666);
  virtual int close(int fd);
  virtual ssize_t read(int fd, void* buf, std::size_t size);
  virtual ssize_t pread(int fd, void* buf, std::size_t size, off_t offset);
  virtual ssize_t write(int fd, const void* buf, std::size_t size);
  virtual ssize_t pwrite(int fd, const void* buf, std::size_t size, off_t offset);
  virtual int fsync(int fd);
  virtual int ftruncate(int fd, off_t length);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
  virtual int mkdir(const char* path, unsigned mode);
};

// The plain calls; holds no state.
FileOps& PosixFileOps();

// Writes all of data to fd (a write cut short goes on where it stopped);
// returns an I/O result.
int WriteAll(FileOps& ops, int fd, const void* data, std::size_t size);
// Copies the rest of in to out; returns an I/O result.
int CopyAll(FileOps& ops, int in, int out);

}  // namespace egresso
