// Files that take the place of others in a folder several accounts share.
//
// A file written anew belongs to the account that wrote it, with that
// account's umask and primary group. Put in the place of a shared file, it
// would lock the other accounts out of their next save; the new file
// therefore takes over the permission bits and the group of the file it
// replaces.
#pragma once

#include <filesystem>

#include "storage/file_ops.h"

namespace egresso {

// The permission bits and group of a file, noted before it is replaced.
struct FileAccess {
  bool known = false;
  unsigned mode = 0;  // permission bits
  unsigned group = 0;
};

// known is false when the file is missing.
FileAccess NoteAccess(const std::filesystem::path& path, FileOps& ops);
// Gives file the noted group and permission bits (nothing when not known);
// returns an I/O result: an account outside the group cannot give it.
int GiveAccess(const std::filesystem::path& file, const FileAccess& access, FileOps& ops);
// The same through an open descriptor of the file.
int GiveAccessTo(FileOps& ops, int fd, const FileAccess& access);

// Puts fresh, a finished file beside target, in target's place; it keeps
// target's permission bits and group (its own when target is missing).
// When it cannot, nothing is replaced and the I/O result says why.
int ReplaceFile(const std::filesystem::path& fresh, const std::filesystem::path& target,
                FileOps& ops);

// Writes bytes as the whole of path through a new file (made exclusively,
// under a name nobody can guess) put in its place, which keeps path's
// permission bits and group; where the folder or the file's access allows
// nothing else, path is written over in place. Returns an I/O result.
int WriteFileReplacing(FileOps& ops, const std::filesystem::path& path, std::string_view bytes);

// The same in two steps, so that the writing can be done before a lock is
// taken and only the putting in place under it: Prepare writes bytes to a
// new file beside model (the file whose bits and group it takes; any name
// in the target's folder when the target is not known yet), Commit puts it
// in place as target, Discard deletes it. Commit also writes over the
// target in place where nothing else is allowed, as WriteFileReplacing.
struct PreparedFile {
  std::filesystem::path temp;
  std::string bytes;
  int result = 0;  // of the writing; Commit does nothing else when it failed
};
PreparedFile PrepareReplacement(FileOps& ops, const std::filesystem::path& model, std::string_view bytes);
int CommitReplacement(FileOps& ops, PreparedFile& prepared, const std::filesystem::path& target);
void DiscardReplacement(FileOps& ops, PreparedFile& prepared);

// Copies from to a new file fresh beside to, which then takes to's place:
// to is never left half written, and it keeps its permission bits and
// group; a copy that replaces no file takes them from the source, as the
// copy of a shared file should be shared the same way. When access rules
// forbid that, to is overwritten in place (which keeps its owner, group and
// bits); any other failure leaves to as it was.
int CopyReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                  const std::filesystem::path& fresh, FileOps& ops);

}  // namespace egresso
