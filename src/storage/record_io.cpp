#include "storage/record_io.h"

#include <sys/stat.h>

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
    case EROFS:
    case EISDIR: return AccessDenied;
    case EEXIST: return AlreadyExists;
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
    : file_(std::exchange(other.file_, nullptr)), recordSize_(other.recordSize_), path_(std::move(other.path_)) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    close();
    file_ = std::exchange(other.file_, nullptr);
    recordSize_ = other.recordSize_;
    path_ = std::move(other.path_);
  }
  return *this;
}

int RecordFile::open(const std::filesystem::path& path, std::size_t recordSize, Mode mode) {
  close();
  path_ = path;
  recordSize_ = recordSize == 0 ? 1 : recordSize;
  const char* how = mode == Mode::ReadWrite  ? "r+b"
                    : mode == Mode::ReadOnly ? "rb"
                    : mode == Mode::Create   ? "w+b"
                                             : "w+bx";
  errno = 0;
  file_ = std::fopen(path.c_str(), how);
  if (!file_) {
    int code = io::fromErrno(errno);
    return code == 0 ? io::FileNotFound : code;
  }
  return io::Ok;
}

int RecordFile::close() {
  if (!file_) return io::Ok;
  int rc = std::fclose(file_);
  file_ = nullptr;
  return rc == 0 ? io::Ok : io::DiskWriteError;
}

std::int64_t RecordFile::byteSize() {
  if (!file_) return 0;
  std::fflush(file_);
  // The size of the file this handle reads and writes: another workstation
  // may have put a new file under the same name since it was opened.
  struct stat st;
  if (::fstat(::fileno(file_), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

std::int64_t RecordFile::recordCount() { return byteSize() / static_cast<std::int64_t>(recordSize_); }

int RecordFile::read(std::int64_t n, std::span<std::uint8_t> buf) {
  if (!file_) return io::FileNotOpen;
  if (n < 0) return io::DiskReadError;
  if (std::fseek(file_, static_cast<long>(n * static_cast<std::int64_t>(recordSize_)), SEEK_SET) != 0)
    return io::DiskReadError;
  std::size_t want = std::min(buf.size(), recordSize_);
  if (std::fread(buf.data(), 1, want, file_) != want) {
    std::clearerr(file_);
    return io::DiskReadError;
  }
  return io::Ok;
}

int RecordFile::write(std::int64_t n, std::span<const std::uint8_t> buf) {
  if (!file_) return io::FileNotOpen;
  if (n < 0) return io::DiskWriteError;
  if (std::fseek(file_, static_cast<long>(n * static_cast<std::int64_t>(recordSize_)), SEEK_SET) != 0)
    return io::DiskWriteError;
  std::size_t want = std::min(buf.size(), recordSize_);
  if (std::fwrite(buf.data(), 1, want, file_) != want || std::fflush(file_) != 0) {
    std::clearerr(file_);
    return io::DiskWriteError;
  }
  return io::Ok;
}

std::int64_t RecordFile::readRecords(std::int64_t first, std::span<std::uint8_t> buf) {
  if (!file_ || first < 0) return -1;
  if (std::fseek(file_, static_cast<long>(first * static_cast<std::int64_t>(recordSize_)), SEEK_SET) != 0) return -1;
  const std::size_t want = buf.size() / recordSize_ * recordSize_;
  const std::size_t got = std::fread(buf.data(), 1, want, file_);
  if (got < want && std::ferror(file_)) {
    std::clearerr(file_);
    return -1;
  }
  std::clearerr(file_);
  return static_cast<std::int64_t>(got / recordSize_);
}

bool fileExists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

int deleteFile(const std::filesystem::path& p) {
  std::error_code ec;
  if (!std::filesystem::remove(p, ec)) return ec ? io::fromErrno(ec.value()) : io::FileNotFound;
  return io::Ok;
}

int copyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code ec;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
  return ec ? io::fromErrno(ec.value()) : io::Ok;
}

int createFolder(const std::filesystem::path& p) {
  std::error_code ec;
  std::filesystem::create_directory(p, ec);
  return ec ? io::fromErrno(ec.value()) : io::Ok;
}

std::int64_t fileAgeNs(const std::filesystem::path& p) {
  // Read from the file system directly: the library's file clock counts
  // from an epoch of its own, not from 1 January 1970.
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

int OpenRecordFileCreating(RecordFile& f, const std::filesystem::path& path, std::size_t recordSize, bool* created) {
  if (created) *created = false;
  int rc = f.open(path, recordSize, RecordFile::Mode::ReadWrite);
  if (rc == io::Ok || fileExists(path)) return rc;
  rc = f.open(path, recordSize, RecordFile::Mode::CreateNew);
  if (rc == io::Ok) {
    if (created) *created = true;
    return rc;
  }
  if (rc != io::AlreadyExists) return rc;
  return f.open(path, recordSize, RecordFile::Mode::ReadWrite);  // made meanwhile by another workstation
}

int WriteRecordKeepingTail(RecordFile& f, std::int64_t n, std::span<const std::uint8_t> buf) {
  if (!f.isOpen()) return io::FileNotOpen;
  const auto size = static_cast<std::int64_t>(f.recordSize());
  const std::int64_t bytes = f.byteSize();
  if (bytes % size != 0 && n >= bytes / size) return io::DiskWriteError;
  return f.write(n, buf);
}

}  // namespace egresso
