#include "storage/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "storage/record_io.h"

namespace egresso {
namespace {

constexpr mode_t kPermissionBits = 07777;

// Overwrites to with from's bytes, leaving to's owner, group and bits as
// they are (a library copy would set the source's bits, which only the
// owner may, after having emptied the file).
int copyInto(const std::filesystem::path& from, const std::filesystem::path& to, FileOps& ops) {
  int in = ops.open(from.c_str(), O_RDONLY);
  if (in < 0) return io::fromErrno(errno);
  int out = ops.open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (out < 0) {
    int result = io::fromErrno(errno);
    ops.close(in);
    return result;
  }
  int result = CopyAll(ops, in, out);
  ops.close(in);
  if (ops.close(out) != 0 && result == io::Ok) result = io::fromErrno(errno);
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

int ReplaceFile(const std::filesystem::path& fresh, const std::filesystem::path& target, FileOps& ops) {
  int result = GiveAccess(fresh, NoteAccess(target));
  if (result != io::Ok) return result;
  if (ops.rename(fresh.c_str(), target.c_str()) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                  const std::filesystem::path& fresh, FileOps& ops) {
  const FileAccess model = NoteAccess(to);
  int result = copyInto(from, fresh, ops);
  if (result == io::Ok) result = GiveAccess(fresh, model.known ? model : NoteAccess(from));
  if (result == io::Ok && ops.rename(fresh.c_str(), to.c_str()) != 0) result = io::fromErrno(errno);
  if (result == io::Ok) return io::Ok;
  deleteFile(fresh, ops);
  // Only a folder or a file this account may not replace is written in
  // place; a disk that is full or failing would leave to half written.
  if (result != io::AccessDenied) return result;
  result = copyInto(from, to, ops);
  if (result == io::Ok && !model.known) GiveAccess(to, NoteAccess(from));
  return result;
}

}  // namespace egresso
