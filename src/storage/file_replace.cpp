#include "storage/file_replace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "storage/record_io.h"

namespace egresso {

int ReplaceFile(const std::filesystem::path& replacement, const std::filesystem::path& target) {
  struct stat old;
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    // The group first: changing it may clear the set-id bits, which the
    // mode then puts back.
    if (::chown(replacement.c_str(), static_cast<uid_t>(-1), old.st_gid) != 0) {
      // Not a member of that group: the file keeps this user's group.
    }
    ::chmod(replacement.c_str(), old.st_mode & 07777);
  }
  if (::rename(replacement.c_str(), target.c_str()) != 0) return io::fromErrno(errno);
  return io::Ok;
}

}  // namespace egresso
