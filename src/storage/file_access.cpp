#include "storage/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "storage/record_io.h"

namespace egresso {
namespace {

constexpr mode_t kPermissionBits = 07777;

int writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return io::fromErrno(errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return io::Ok;
}

// Overwrites to with from's bytes, leaving to's owner, group and bits as
// they are (a library copy would set the source's bits, which only the
// owner may, after having emptied the file).
int copyInto(const std::filesystem::path& from, const std::filesystem::path& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return io::fromErrno(errno);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    int result = io::fromErrno(errno);
    ::close(in);
    return result;
  }
  int result = io::Ok;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = io::fromErrno(errno);
      break;
    }
    if (n == 0) break;
    result = writeAll(out, buf, static_cast<std::size_t>(n));
    if (result != io::Ok) break;
  }
  ::close(in);
  if (::close(out) != 0 && result == io::Ok) result = io::fromErrno(errno);
  return result;
}

}  // namespace

FileAccess NoteAccess(const std::filesystem::path& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return {true, static_cast<unsigned>(st.st_mode & kPermissionBits), static_cast<unsigned>(st.st_gid)};
}

int GiveAccess(const std::filesystem::path& file, const FileAccess& access) {
  if (!access.known) return io::Ok;
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return io::fromErrno(errno);
  // The group first: changing it may clear set-group bits the mode sets again.
  if (st.st_gid != access.group && ::chown(file.c_str(), static_cast<uid_t>(-1), access.group) != 0)
    return io::fromErrno(errno);
  if (::chmod(file.c_str(), access.mode) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int ReplaceFile(const std::filesystem::path& fresh, const std::filesystem::path& target) {
  int result = GiveAccess(fresh, NoteAccess(target));
  if (result != io::Ok) return result;
  if (::rename(fresh.c_str(), target.c_str()) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                  const std::filesystem::path& fresh) {
  const FileAccess model = NoteAccess(to);
  int result = copyInto(from, fresh);
  if (result == io::Ok) result = GiveAccess(fresh, model.known ? model : NoteAccess(from));
  if (result == io::Ok && ::rename(fresh.c_str(), to.c_str()) != 0) result = io::fromErrno(errno);
  if (result == io::Ok) return io::Ok;
  deleteFile(fresh);
  result = copyInto(from, to);
  if (result == io::Ok && !model.known) GiveAccess(to, NoteAccess(from));
  return result;
}

}  // namespace egresso
