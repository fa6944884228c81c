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
// A fresh file is made exclusively: one planted under its name is not ours.
int copyInto(const std::filesystem::path& from, const std::filesystem::path& to, FileOps& ops, bool fresh) {
  int in = ops.open(from.c_str(), O_RDONLY);
  if (in < 0) return io::fromErrno(errno);
  int out = ops.open(to.c_str(), O_WRONLY | O_CREAT | (fresh ? O_EXCL : O_TRUNC), 0666);
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

FileAccess NoteAccess(const std::filesystem::path& path, FileOps& ops) {
  // Of the file itself: a link put in its place lends it nothing.
  struct stat st;
  if (ops.stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  // At least what the folder gives: a file that a colleague's umask left
  // closed to the group is not copied closed again by its replacement.
  mode_t bits = st.st_mode & kPermissionBits;
  struct stat folder;
  const std::filesystem::path parent = path.parent_path();
  if (ops.stat(parent.empty() ? "." : parent.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))
    bits |= SharedBits(folder, false);
  return {true, static_cast<unsigned>(bits), static_cast<unsigned>(st.st_gid)};
}

int GiveAccessTo(FileOps& ops, int fd, const FileAccess& access) {
  if (!access.known) return io::Ok;
  struct stat st;
  if (ops.fstat(fd, &st) != 0) return io::fromErrno(errno);
  // The group first: changing it may clear set-group bits the mode sets again.
  if (st.st_gid != access.group && ops.fchown(fd, access.group) != 0) return io::fromErrno(errno);
  if (ops.fchmod(fd, access.mode) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int GiveAccess(const std::filesystem::path& file, const FileAccess& access, FileOps& ops) {
  if (!access.known) return io::Ok;
  // Changed through the file opened as the program opens any file of the
  // folder, so that a link or a device planted under the name is left alone.
  const int fd = ops.open(file.c_str(), O_RDONLY);
  if (fd < 0) return io::fromErrno(errno);
  const int result = GiveAccessTo(ops, fd, access);
  ops.close(fd);
  return result;
}

PreparedFile PrepareReplacement(FileOps& ops, const std::filesystem::path& model, std::string_view bytes) {
  PreparedFile prepared;
  prepared.bytes = bytes;
  const int fd = CreateTempBeside(ops, model, prepared.temp);
  if (fd < 0) {
    prepared.result = io::fromErrno(errno);
    prepared.temp.clear();
    return prepared;
  }
  prepared.result = WriteAll(ops, fd, bytes.data(), bytes.size());
  if (prepared.result == io::Ok) prepared.result = GiveAccessTo(ops, fd, NoteAccess(model, ops));
  if (ops.close(fd) != 0 && prepared.result == io::Ok) prepared.result = io::DiskWriteError;
  return prepared;
}

int CommitReplacement(FileOps& ops, PreparedFile& prepared, const std::filesystem::path& target) {
  int result = prepared.result;
  if (result == io::Ok && ops.rename(prepared.temp.c_str(), target.c_str()) != 0) result = io::fromErrno(errno);
  if (result == io::Ok) {
    prepared.temp.clear();
    return result;
  }
  DiscardReplacement(ops, prepared);
  if (result != io::AccessDenied) return result;
  // A folder this account may not add to, or a file it may not replace, is
  // written over in place (which keeps its owner, group and bits).
  const int in = ops.open(target.c_str(), O_WRONLY | O_TRUNC);
  if (in < 0) return io::fromErrno(errno);
  result = WriteAll(ops, in, prepared.bytes.data(), prepared.bytes.size());
  if (ops.close(in) != 0 && result == io::Ok) result = io::DiskWriteError;
  return result;
}

void DiscardReplacement(FileOps& ops, PreparedFile& prepared) {
  if (!prepared.temp.empty()) deleteFile(prepared.temp, ops);
  prepared.temp.clear();
}

int WriteFileReplacing(FileOps& ops, const std::filesystem::path& path, std::string_view bytes) {
  PreparedFile prepared = PrepareReplacement(ops, path, bytes);
  return CommitReplacement(ops, prepared, path);
}

int ReplaceFile(const std::filesystem::path& fresh, const std::filesystem::path& target, FileOps& ops) {
  int result = GiveAccess(fresh, NoteAccess(target, ops), ops);
  if (result != io::Ok) return result;
  if (ops.rename(fresh.c_str(), target.c_str()) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                  const std::filesystem::path& fresh, FileOps& ops) {
  const FileAccess model = NoteAccess(to, ops);
  int result = copyInto(from, fresh, ops, true);
  if (result == io::Ok) result = GiveAccess(fresh, model.known ? model : NoteAccess(from, ops), ops);
  if (result == io::Ok && ops.rename(fresh.c_str(), to.c_str()) != 0) result = io::fromErrno(errno);
  if (result == io::Ok) return io::Ok;
  if (result != io::AlreadyExists) deleteFile(fresh, ops);
  // Only a folder or a file this account may not replace is written in
  // place; a disk that is full or failing would leave to half written.
  if (result != io::AccessDenied) return result;
  result = copyInto(from, to, ops, false);
  if (result == io::Ok && !model.known) GiveAccess(to, NoteAccess(from, ops), ops);
  return result;
}

}  // namespace egresso
