#include "storage/file_ops.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "storage/record_io.h"

namespace egresso {

namespace {

// The last step of path resolved beneath dir: no link, no way out of dir.
// openat2 where the kernel has it; else openat, whose O_NOFOLLOW gives the
// same for a single name.
int openBeneath(int dir, const char* name, int flags, mode_t mode) {
#ifdef SYS_openat2
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags);
  how.mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  const long fd = ::syscall(SYS_openat2, dir, name, &how, sizeof how);
  // Older kernels do not know the call; a sandbox may refuse it.
  if (fd >= 0 || (errno != ENOSYS && errno != EPERM && errno != E2BIG)) return static_cast<int>(fd);
#endif
  return ::openat(dir, name, flags, mode);
}

}  // namespace

namespace {

// The part of full below root ("" when full is not below it).
std::string_view BelowRoot(std::string_view root, std::string_view full) {
  if (root.empty() || full.size() <= root.size() + 1 || full.substr(0, root.size()) != root || full[root.size()] != '/')
    return {};
  return full.substr(root.size() + 1);
}

// Opens the folder that holds the file named by rel beneath root, one name
// at a time and following no link; rel is left as the file's own name.
int openFolderBeneath(const std::string& root, std::string& rel) {
  int dir = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (std::size_t slash; dir >= 0 && (slash = rel.find('/')) != std::string::npos;) {
    const std::string step = rel.substr(0, slash);
    rel.erase(0, slash + 1);
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      ::close(dir);
      errno = ELOOP;
      return -1;
    }
    const int next = openBeneath(dir, step.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    const int err = errno;
    ::close(dir);
    dir = next;
    errno = err == ENOTDIR ? ELOOP : err;
  }
  return dir;
}

}  // namespace

int OpenPlainFile(const char* path, int flags, unsigned mode, std::string_view root) {
  flags |= O_CLOEXEC;
  // A folder is asked for by name (the data folder, to make a rename last).
  if ((flags & O_DIRECTORY) != 0) {
    int fd;
    do fd = ::open(path, flags, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd;
  }
  const std::string_view full(path);
  // The last name of the path; it ends the path, so it is a C string too.
  const std::string_view name = full.substr(full.rfind('/') + 1);
  if (name.empty() || name == "." || name == "..") {
    errno = EISDIR;
    return -1;
  }
  const std::string_view rel = BelowRoot(root, full);
  // An exclusive create fails on whatever stands under the name, so it
  // never opens a FIFO and makes nothing but a new plain file.
  const bool creates = (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
  const int nonBlocking = creates ? 0 : O_NONBLOCK;
  int fd;
  if (rel.find('/') == std::string::npos) {
    // A name right in its folder (the data folder as configured, or the
    // caller's own): O_NOFOLLOW keeps the one step from following a link,
    // as resolving beneath the folder would, in one call instead of three.
    do fd = ::open(path, flags | O_NOFOLLOW | nonBlocking, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
  } else {
    std::string below(rel);
    const int dir = openFolderBeneath(std::string(root), below);
    if (dir < 0) {
      if (errno == ELOOP || errno == EXDEV) errno = ELOOP;
      return -1;
    }
    do fd = openBeneath(dir, name.data(), flags | O_NOFOLLOW | nonBlocking, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    const int err = errno;
    ::close(dir);
    errno = err;
  }
  if (fd < 0) {
    // A FIFO opened for writing with nobody reading answers ENXIO; a
    // link, ELOOP (or EXDEV from openat2).
    if (errno == EXDEV) errno = ELOOP;
    return -1;
  }
  if (creates) return fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int why = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    ::close(fd);
    errno = why;
    return -1;
  }
  // Reads and writes of a plain file may wait for the disk as usual (the
  // status flags asked for are set as asked, without O_NONBLOCK).
  ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

int FileOps::open(const char* path, int flags, unsigned mode) {
  return noteIfRefused(path, OpenPlainFile(path, flags, mode));
}

int FileOps::noteIfRefused(const char* path, int fd) {
  if (fd < 0 && (errno == ENXIO || errno == ELOOP || errno == EISDIR)) {
    const int err = errno;
    noteRefused(path);
    errno = err;
  }
  return fd;
}

namespace {

// The data folder as configured, without a trailing slash ("" for none).
std::string_view rootFolder(const std::string* root) {
  if (root == nullptr) return {};
  std::string_view base = *root;
  while (base.size() > 1 && base.back() == '/') base.remove_suffix(1);
  return base;
}

// Runs call on the folder that holds path and the last name of path:
// beneath root when path is below it, else the whole path as given.
template <typename Call>
int AtFolderOf(const std::string* root, const char* path, Call call) {
  const std::string base(rootFolder(root));
  std::string rel(BelowRoot(base, path));
  while (!rel.empty() && rel.back() == '/') rel.pop_back();
  if (rel.empty()) return call(AT_FDCWD, path);
  const int dir = openFolderBeneath(base, rel);
  if (dir < 0) return -1;
  if (rel == "..") {
    ::close(dir);
    errno = ELOOP;
    return -1;
  }
  const int rc = call(dir, rel.c_str());
  const int err = errno;
  ::close(dir);
  errno = err;
  return rc;
}

}  // namespace

mode_t SharedBits(const struct stat& folder, bool isFolder) {
  const mode_t f = folder.st_mode;
  const mode_t rw = isFolder ? 07 : 06, r = isFolder ? 05 : 04;
  mode_t bits = rw << 6;
  bits |= ((f & S_IWGRP) != 0 ? rw : (f & S_IRGRP) != 0 ? r : 0) << 3;
  bits |= (f & S_IWOTH) != 0 ? rw : (f & S_IROTH) != 0 ? r : 0;
  if (isFolder && (f & S_ISGID) != 0) bits |= S_ISGID;
  return bits;
}

int ShareLikeFolder(FileOps& ops, int fd, const struct stat& folder) {
  struct stat st {};
  if (ops.fstat(fd, &st) != 0) return io::fromErrno(errno);
  if (st.st_uid != ::geteuid()) return io::Ok;
  const bool isFolder = S_ISDIR(st.st_mode);
  // The group first: changing it may clear set-group bits the mode sets again.
  const bool folderGroup = (folder.st_mode & (S_ISGID | S_IWGRP)) != 0;
  if (folderGroup && st.st_gid != folder.st_gid && ops.fchown(fd, folder.st_gid) == 0) st.st_mode &= ~S_ISGID;
  const mode_t current = st.st_mode & 07777;
  const mode_t wanted = current | SharedBits(folder, isFolder);
  if (wanted != current && ops.fchmod(fd, wanted) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int ShareLikeFolderOf(FileOps& ops, int fd, const std::filesystem::path& path) {
  struct stat folder {};
  const std::filesystem::path parent = path.parent_path();
  if (ops.stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return io::Ok;
  return ShareLikeFolder(ops, fd, folder);
}

int StationFileOps::mkdir(const char* path, unsigned mode) {
  // A folder made inside the data folder is made beneath it: a link planted
  // in place of a folder on the way is not followed out of it.
  return AtFolderOf(root, path, [&](int dir, const char* name) {
    const int rc = ::mkdirat(dir, name, static_cast<mode_t>(mode));
    if (rc != 0 || dir == AT_FDCWD) return rc;
    // Through the folder just made, never a link put in its place meanwhile.
    struct stat holder {};
    const int made = openBeneath(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (made >= 0 && ::fstat(dir, &holder) == 0) ShareLikeFolder(*this, made, holder);
    if (made >= 0) ::close(made);
    return rc;
  });
}

int StationFileOps::rmdir(const char* path) {
  return AtFolderOf(root, path, [](int dir, const char* name) { return ::unlinkat(dir, name, AT_REMOVEDIR); });
}

int StationFileOps::unlink(const char* path) {
  return AtFolderOf(root, path, [](int dir, const char* name) { return ::unlinkat(dir, name, 0); });
}

int StationFileOps::rename(const char* from, const char* to) {
  return AtFolderOf(root, from, [&](int fromDir, const char* fromName) {
    return AtFolderOf(root, to, [&](int toDir, const char* toName) { return ::renameat(fromDir, fromName, toDir, toName); });
  });
}

int StationFileOps::link(const char* from, const char* to) {
  return AtFolderOf(root, from, [&](int fromDir, const char* fromName) {
    return AtFolderOf(root, to, [&](int toDir, const char* toName) { return ::linkat(fromDir, fromName, toDir, toName, 0); });
  });
}

int StationFileOps::stat(const char* path, struct stat* st) {
  return AtFolderOf(root, path, [&](int dir, const char* name) { return ::fstatat(dir, name, st, AT_SYMLINK_NOFOLLOW); });
}

int StationFileOps::utimens(const char* path, const timespec times[2]) {
  return AtFolderOf(root, path,
                    [&](int dir, const char* name) { return ::utimensat(dir, name, times, AT_SYMLINK_NOFOLLOW); });
}

int StationFileOps::open(const char* path, int flags, unsigned mode) {
  const std::string_view base = rootFolder(root);
  if (base.empty()) return FileOps::open(path, flags, mode);
  if ((flags & O_DIRECTORY) != 0)
    return AtFolderOf(root, path, [&](int dir, const char* name) {
      // The data folder itself, or a folder outside it, as named.
      if (dir == AT_FDCWD) return FileOps::open(path, flags, mode);
      return ::openat(dir, name, flags | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
    });
  const int fd = noteIfRefused(path, OpenPlainFile(path, flags, mode, base));
  // Only a file of the data folder: one of the user's own (a memo kept at
  // home, the trace) keeps what the umask gives it.
  if (fd >= 0 && (flags & O_CREAT) != 0 && !BelowRoot(base, path).empty()) ShareLikeFolderOf(*this, fd, path);
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
int FileOps::rename(const char* from, const char* to) { return ::rename(from, to); }
int FileOps::link(const char* from, const char* to) { return ::linkat(AT_FDCWD, from, AT_FDCWD, to, 0); }
int FileOps::unlink(const char* path) { return ::unlink(path); }
int FileOps::mkdir(const char* path, unsigned mode) { return ::mkdir(path, static_cast<mode_t>(mode)); }
int FileOps::rmdir(const char* path) { return ::rmdir(path); }
int FileOps::stat(const char* path, struct stat* st) { return ::fstatat(AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW); }
int FileOps::utimens(const char* path, const timespec times[2]) {
  return ::utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW);
}
int FileOps::fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int FileOps::fchmod(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)); }
int FileOps::fchown(int fd, unsigned group) { return ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)); }
void FileOps::noteRefused(const char*) {}

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

int ReadFileBounded(FileOps& ops, const std::filesystem::path& path, std::size_t limit, std::string& out) {
  out.clear();
  const int fd = ops.open(path.c_str(), O_RDONLY);
  if (fd < 0) return io::fromErrno(errno);
  struct stat st {};
  int result = io::Ok;
  if (ops.fstat(fd, &st) == 0 && st.st_size >= 0)
    out.reserve(std::min<std::size_t>(limit, static_cast<std::size_t>(st.st_size)));
  char buf[65536];
  while (out.size() < limit) {
    const ssize_t n = ops.read(fd, buf, std::min(sizeof buf, limit - out.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = io::fromErrno(errno);
      break;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ops.close(fd);
  return result;
}

std::string TempSuffix() {
  std::uint64_t r = 0;
  if (::getrandom(&r, sizeof r, 0) != static_cast<ssize_t>(sizeof r)) {
    // Without the kernel's randomness: the clock's nanoseconds and the
    // process, which still leaves nothing to plant ahead of time with
    // certainty; the exclusive create does the rest.
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    r = static_cast<std::uint64_t>(t.tv_nsec) * 0x9E3779B97F4A7C15ULL ^ static_cast<std::uint64_t>(::getpid());
  }
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(r));
  return suffix;
}

int CreateTempBeside(FileOps& ops, const std::filesystem::path& target, std::filesystem::path& temp) {
  for (int tries = 0; tries < 8; ++tries) {
    temp = target;
    temp += TempSuffix();
    const int fd = ops.open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

namespace {

// "<target>.<16 hex digits>.tmp", as TempSuffix makes them.
bool IsTempName(std::string_view name) {
  constexpr std::size_t kSuffix = 1 + 16 + 4;
  if (name.size() <= kSuffix || name.substr(name.size() - 4) != ".tmp" || name[name.size() - kSuffix] != '.')
    return false;
  for (char c : name.substr(name.size() - kSuffix + 1, 16))
    if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

int RemoveLeftTempFiles(FileOps& ops, const std::filesystem::path& folder, std::int64_t minAgeSeconds) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  int removed = 0;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsTempName(name)) continue;
    struct stat st {};
    // A link or a folder under such a name is nobody's temporary.
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - static_cast<std::int64_t>(st.st_mtime) < minAgeSeconds) continue;
    if (ops.unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace egresso
