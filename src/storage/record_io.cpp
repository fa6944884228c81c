#include "storage/record_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <system_error>
#include <utility>

namespace egresso {

namespace io {
int fromErrno(int err) {
  switch (err) {
    case 0: return Ok;
    case ENOENT: return FileNotFound;
    case ENOTDIR: return PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return AccessDenied;
    case EEXIST: return AlreadyExists;
    case EISDIR:
    case ELOOP:
    case ENXIO: return NotPlainFile;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: return SharingViolation;
    case EIO: return DiskReadError;
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return DiskWriteError;
    default: return err;
  }
}
}  // namespace io

RecordFile::~RecordFile() { close(); }

RecordFile::RecordFile(RecordFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), ops_(other.ops_), recordSize_(other.recordSize_),
      path_(std::move(other.path_)) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    ops_ = other.ops_;
    recordSize_ = other.recordSize_;
    path_ = std::move(other.path_);
  }
  return *this;
}

int RecordFile::open(const std::filesystem::path& path, std::size_t recordSize, Mode mode, FileOps& ops) {
  close();
  path_ = path;
  ops_ = &ops;
  recordSize_ = recordSize == 0 ? 1 : recordSize;
  const int flags = mode == Mode::ReadWrite  ? O_RDWR
                    : mode == Mode::ReadOnly ? O_RDONLY
                    : mode == Mode::Create   ? O_RDWR | O_CREAT | O_TRUNC
                                             : O_RDWR | O_CREAT | O_EXCL;
  errno = 0;
  fd_ = ops.open(path.c_str(), flags, 0666);
  if (fd_ < 0) {
    int code = io::fromErrno(errno);
    fd_ = -1;
    return code == 0 ? io::FileNotFound : code;
  }
  return io::Ok;
}

int RecordFile::close() {
  if (fd_ < 0) return io::Ok;
  int rc = ops_->close(std::exchange(fd_, -1));
  return rc == 0 ? io::Ok : io::DiskWriteError;
}

std::int64_t RecordFile::byteSize() {
  if (fd_ < 0) return 0;
  // The size of the file this handle reads and writes: another workstation
  // may have put a new file under the same name since it was opened.
  struct stat st;
  if (ops_->fstat(fd_, &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

std::int64_t RecordFile::recordCount() { return byteSize() / static_cast<std::int64_t>(recordSize_); }

namespace {
// Reads up to size bytes at offset; the count read, or -1.
ssize_t readAt(FileOps& ops, int fd, std::uint8_t* buf, std::size_t size, off_t offset) {
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ops.pread(fd, buf + got, size - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// Writes size bytes at offset; done tells how many landed.
int writeAt(FileOps& ops, int fd, const void* data, std::size_t size, off_t offset, std::size_t& done) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  done = 0;
  while (done < size) {
    ssize_t w = ops.pwrite(fd, p + done, size - done, offset + static_cast<off_t>(done));
    if (w < 0 && errno == EINTR) continue;
    if (w == 0) return io::DiskWriteError;
    if (w < 0) {
      const int result = io::fromErrno(errno);
      // A read error code from a write is a write error to the user.
      return result == io::DiskReadError ? io::DiskWriteError : result;
    }
    done += static_cast<std::size_t>(w);
  }
  return io::Ok;
}
}  // namespace

int RecordFile::read(std::int64_t n, std::span<std::uint8_t> buf) {
  if (fd_ < 0) return io::FileNotOpen;
  if (n < 0) return io::DiskReadError;
  std::size_t want = std::min(buf.size(), recordSize_);
  ssize_t got = readAt(*ops_, fd_, buf.data(), want, static_cast<off_t>(n * static_cast<std::int64_t>(recordSize_)));
  return got == static_cast<ssize_t>(want) ? io::Ok : io::DiskReadError;
}

int RecordFile::write(std::int64_t n, std::span<const std::uint8_t> buf) {
  if (fd_ < 0) return io::FileNotOpen;
  if (n < 0) return io::DiskWriteError;
  const auto offset = static_cast<off_t>(n * static_cast<std::int64_t>(recordSize_));
  const std::size_t want = std::min(buf.size(), recordSize_);
  const std::int64_t sizeBefore = byteSize();
  std::size_t done = 0;
  const int result = writeAt(*ops_, fd_, buf.data(), want, offset, done);
  // Part of a record added at the end would read as a damaged file.
  if (result != io::Ok && done > 0 && offset >= sizeBefore) ops_->ftruncate(fd_, static_cast<off_t>(sizeBefore));
  return result;
}

std::int64_t RecordFile::readRecords(std::int64_t first, std::span<std::uint8_t> buf) {
  if (fd_ < 0 || first < 0) return -1;
  const std::size_t want = buf.size() / recordSize_ * recordSize_;
  ssize_t got =
      readAt(*ops_, fd_, buf.data(), want, static_cast<off_t>(first * static_cast<std::int64_t>(recordSize_)));
  if (got < 0) return -1;
  return static_cast<std::int64_t>(static_cast<std::size_t>(got) / recordSize_);
}

int RecordFile::stampNow() {
  if (fd_ < 0) return io::FileNotOpen;
  return ::futimens(fd_, nullptr) == 0 ? io::Ok : io::fromErrno(errno);
}

int AppendAt(FileOps& ops, int fd, std::string_view bytes) {
  struct stat st;
  if (ops.fstat(fd, &st) != 0) return io::fromErrno(errno);
  if (!S_ISREG(st.st_mode)) return io::AccessDenied;
  std::size_t done = 0;
  const int result = writeAt(ops, fd, bytes.data(), bytes.size(), st.st_size, done);
  // Half a line would run into the next writer's.
  if (result != io::Ok && done > 0) ops.ftruncate(fd, st.st_size);
  return result;
}

int AppendToFile(const std::filesystem::path& path, std::string_view bytes, FileOps& ops) {
  const int fd = ops.open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) return io::fromErrno(errno);
  int result = AppendAt(ops, fd, bytes);
  if (ops.close(fd) != 0 && result == io::Ok) result = io::DiskWriteError;
  return result;
}

bool fileExists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

int deleteFile(const std::filesystem::path& p, FileOps& ops) {
  if (ops.unlink(p.c_str()) == 0) return io::Ok;
  const int err = errno;
  if (err == ENOENT) return io::FileNotFound;
  // A folder of that name goes when empty, as the library's removal would.
  if ((err == EISDIR || err == EPERM) && ops.rmdir(p.c_str()) == 0) return io::Ok;
  return io::fromErrno(err);
}

int copyFile(const std::filesystem::path& from, const std::filesystem::path& to, FileOps& ops) {
  int in = ops.open(from.c_str(), O_RDONLY);
  if (in < 0) return io::fromErrno(errno);
  struct stat st;
  const int statted = ops.fstat(in, &st) == 0 ? 0 : errno;
  if (statted != 0 || !S_ISREG(st.st_mode)) {
    ops.close(in);
    return statted != 0 ? io::fromErrno(statted) : io::AccessDenied;
  }
  bool made = true;
  int out = ops.open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, st.st_mode & 0777);
  if (out < 0 && errno == EEXIST) {
    made = false;
    out = ops.open(to.c_str(), O_WRONLY | O_TRUNC);
  }
  if (out < 0) {
    int result = io::fromErrno(errno);
    ops.close(in);
    return result;
  }
  // The source's bits, beside those the folder gave the new file.
  struct stat made_st;
  if (made && ops.fstat(out, &made_st) == 0) ops.fchmod(out, (st.st_mode | made_st.st_mode) & 07777);
  int result = CopyAll(ops, in, out);
  ops.close(in);
  if (ops.close(out) != 0 && result == io::Ok) result = io::fromErrno(errno);
  return result;
}

int createFolder(const std::filesystem::path& p, FileOps& ops) {
  if (ops.mkdir(p.c_str(), 0777) != 0) {
    const int err = errno;
    struct stat st;
    if (err == EEXIST && ops.stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return io::Ok;
    return io::fromErrno(err);
  }
  // Through the folder just made, never a link put in its place meanwhile.
  const int fd = ops.open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  struct stat st;
  if (fd >= 0 && ops.fstat(fd, &st) == 0) ops.fchmod(fd, (st.st_mode & 07777) | S_IRWXU | S_IRWXG | S_IROTH | S_IXOTH);
  if (fd >= 0) ops.close(fd);
  return io::Ok;
}

std::int64_t fileAgeNs(const std::filesystem::path& p, FileOps& ops) {
  // Read from the file system directly: the library's file clock counts
  // from an epoch of its own, not from 1 January 1970.
  struct stat st;
  if (ops.stat(p.c_str(), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

int OpenRecordFileCreating(RecordFile& f, const std::filesystem::path& path, std::size_t recordSize, bool* created,
                           FileOps& ops) {
  if (created) *created = false;
  int rc = f.open(path, recordSize, RecordFile::Mode::ReadWrite, ops);
  if (rc == io::Ok || fileExists(path)) return rc;
  rc = f.open(path, recordSize, RecordFile::Mode::CreateNew, ops);
  if (rc == io::Ok) {
    if (created) *created = true;
    return rc;
  }
  if (rc != io::AlreadyExists) return rc;
  return f.open(path, recordSize, RecordFile::Mode::ReadWrite, ops);  // made meanwhile by another workstation
}

int WriteRecordKeepingTail(RecordFile& f, std::int64_t n, std::span<const std::uint8_t> buf) {
  if (!f.isOpen()) return io::FileNotOpen;
  const auto size = static_cast<std::int64_t>(f.recordSize());
  const std::int64_t bytes = f.byteSize();
  if (bytes % size != 0 && n >= bytes / size) return io::DiskWriteError;
  return f.write(n, buf);
}

}  // namespace egresso
