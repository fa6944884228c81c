// The file-system calls of the storage layer. Every step that changes a
// shared file (or reads one back) goes through a FileOps, so that a test can
// make any single step fail as a full disk, a failing disk, a refused
// access or a vanished data folder would; the program itself uses the plain
// POSIX calls of the base class. Results and errno are those of POSIX.
//
// The data folder is written by every account of the office, so any name in
// it may be a link, a folder, a FIFO or a device that somebody put there.
// open() therefore never follows a link in the last step of a path, never
// waits for the other end of a FIFO, and hands out only plain files: the
// rest is refused with ENXIO (ELOOP for a link), after noteRefused().
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

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
  // A second name for the file from (a link there is linked, not followed).
  virtual int link(const char* from, const char* to);
  virtual int unlink(const char* path);
  virtual int mkdir(const char* path, unsigned mode);
  virtual int rmdir(const char* path);
  // Of the name itself: a link there is told as a link, never followed.
  virtual int stat(const char* path, struct stat* st);
  // Sets the times of the name itself (nullptr: now), never through a link.
  virtual int utimens(const char* path, const timespec times[2]);
  virtual int fstat(int fd, struct stat* st);
  virtual int fchmod(int fd, unsigned mode);
  virtual int fchown(int fd, unsigned group);
  // Told the name of every file open() refused as not a plain file.
  virtual void noteRefused(const char* path);

 protected:
  // Passes fd on, telling noteRefused when the open refused a non-file.
  int noteIfRefused(const char* path, int fd);
};

// The calls of one workstation: they remember the last file refused, so
// that the report can name it.
//
// Every account of the office writes the data folder, each with its own
// umask (022 and 077 are usual): a file that one account makes must stay
// readable and writable for the others. A file or folder made under *root
// therefore takes its permission bits and group from the folder it is made
// in (SharedBits), whatever the umask; so does a file of this account that
// an open with O_CREAT finds lacking them.
class StationFileOps : public FileOps {
 public:
  // Files under *root (the data folder) are opened, made, renamed, deleted
  // and looked at beneath it: no link on the way down from it is followed,
  // a planted folder link included, and ".." leads nowhere out of it.
  int open(const char* path, int flags, unsigned mode = 0666) override;
  int mkdir(const char* path, unsigned mode) override;
  int rmdir(const char* path) override;
  int unlink(const char* path) override;
  int rename(const char* from, const char* to) override;
  int link(const char* from, const char* to) override;
  int stat(const char* path, struct stat* st) override;
  int utimens(const char* path, const timespec times[2]) override;
  void noteRefused(const char* path) override { refused = path; }
  std::string refused;
  const std::string* root = nullptr;
};

// The permission bits the folder described by folder gives what is made in
// it: read and write (and search, for a folder) to the owner; to the group
// and to the others what the folder grants them (write where the folder
// is writable to them, else read where it is readable); a folder made in
// a set-group folder is set-group too.
mode_t SharedBits(const struct stat& folder, bool isFolder);
// Gives fd, a file or folder made in the folder described by folder, at
// least the folder's bits, and the folder's group where the folder is
// set-group or writable to its group (an account outside that group
// keeps its own). Bits are only added, never taken away. Does nothing to
// another account's file, which this one may not change. Returns an I/O
// result.
int ShareLikeFolder(FileOps& ops, int fd, const struct stat& folder);
// The same for the folder that holds path (nothing when it cannot be
// looked at).
int ShareLikeFolderOf(FileOps& ops, int fd, const std::filesystem::path& path);

// The plain calls; holds no state. Only a workstation's own layer and
// files outside any data folder are opened through it.
FileOps& PosixFileOps();

// Writes all of data to fd (a write cut short goes on where it stopped);
// returns an I/O result.
int WriteAll(FileOps& ops, int fd, const void* data, std::size_t size);
// Copies the rest of in to out; returns an I/O result.
int CopyAll(FileOps& ops, int in, int out);

// Opens path, relative to an open descriptor of its folder, the way open()
// above does (the base of it; exposed for callers outside the seam).
// With a root folder, a path below it is resolved beneath it, so no link on
// the way from the root down to the file is followed.
int OpenPlainFile(const char* path, int flags, unsigned mode, std::string_view root = {});

// Reads the whole of path, but never more than limit bytes (a caller that
// allows n bytes asks for n + 1 to tell a file that holds too much); returns
// an I/O result.
int ReadFileBounded(FileOps& ops, const std::filesystem::path& path, std::size_t limit, std::string& out);
// A suffix for a temporary name nobody can guess (".<random>.tmp").
std::string TempSuffix();
// Creates a new file beside target under a name nobody can guess
// (target.<random>.tmp), exclusively: a name planted there beforehand is
// never written through. Returns the descriptor, or -1 with errno.
int CreateTempBeside(FileOps& ops, const std::filesystem::path& target, std::filesystem::path& temp);
// Deletes the temporaries that writes killed halfway left in folder: plain
// files named as CreateTempBeside names them, last written at least
// minAgeSeconds ago (a live write keeps its temporary for moments only).
// Returns how many were deleted.
int RemoveLeftTempFiles(FileOps& ops, const std::filesystem::path& folder, std::int64_t minAgeSeconds);


}  // namespace egresso
