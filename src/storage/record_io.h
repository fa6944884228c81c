// The file layer under every record file: opened shared for reading and
// writing, fixed-size records by number, and I/O results as the numeric
// codes the error report knows (0 = success).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "storage/file_ops.h"

namespace egresso {

// I/O result codes.
namespace io {
inline constexpr int Ok = 0;
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int AccessDenied = 5;
inline constexpr int SharingViolation = 32;
inline constexpr int DiskReadError = 100;   // read past the end or a failed read
inline constexpr int DiskWriteError = 101;  // a failed or short write
inline constexpr int FileNotOpen = 103;
inline constexpr int AlreadyExists = 80;
// A link, FIFO, device or folder where a plain file belongs: left alone.
inline constexpr int NotPlainFile = 106;
// Maps an errno value to the codes above (unknown values pass through).
int fromErrno(int err);
}  // namespace io

class RecordFile {
 public:
  // CreateNew creates a missing file and fails with AlreadyExists when the
  // file is there, so that creating a file never truncates one that another
  // workstation made meanwhile.
  enum class Mode { ReadWrite, ReadOnly, Create, CreateNew };

  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&& other) noexcept;

  // Opens an existing file (ReadWrite, ReadOnly) or creates/truncates it
  // (Create). Returns an I/O result; the file stays closed on failure. Every
  // later call on the file goes through ops.
  int open(const std::filesystem::path& path, std::size_t recordSize, Mode mode, FileOps& ops);
  int close();
  bool isOpen() const { return fd_ >= 0; }
  // The descriptor, for what the file's owner does to the open file
  // besides records (its bits); -1 when closed.
  int descriptor() const { return fd_; }
  std::size_t recordSize() const { return recordSize_; }
  const std::filesystem::path& path() const { return path_; }

  // Whole records in the file (a partial record at the end is not counted).
  std::int64_t recordCount();
  std::int64_t byteSize();
  // Reads record n into buf (buf.size() == recordSize); DiskReadError past the end.
  int read(std::int64_t n, std::span<std::uint8_t> buf);
  // Writes record n (the file grows as needed) with one write, which a
  // process killed meanwhile cannot leave half done. A record added at the
  // end that cannot be written whole is taken off again.
  int write(std::int64_t n, std::span<const std::uint8_t> buf);
  // Reads up to buf.size() / recordSize whole records from record first on,
  // in one go; returns how many whole records were read (0 at or past the
  // end), or -1 when the file is not open or the read fails.
  std::int64_t readRecords(std::int64_t first, std::span<std::uint8_t> buf);
  // Gives the file the present time as its modification time, as a write
  // would, without writing.
  int stampNow();

 private:
  int fd_ = -1;
  FileOps* ops_ = nullptr;
  std::size_t recordSize_ = 1;
  std::filesystem::path path_;
};

// Opens a record file for reading and writing, creating it when it does not
// exist; a file that another workstation made meanwhile is opened, never
// truncated. created (when given) tells whether this call made the file.
int OpenRecordFileCreating(RecordFile& f, const std::filesystem::path& path, std::size_t recordSize,
                           bool* created, FileOps& ops);
// Writes record n of an open file. A file whose length is not a whole number
// of records ends in a partial record (a write cut short, a damaged copy);
// those bytes are kept for repair: a write that would cover or absorb them
// is refused with DiskWriteError.
int WriteRecordKeepingTail(RecordFile& f, std::int64_t n, std::span<const std::uint8_t> buf);

// Adds bytes at the end of path, which is made when missing, with one
// positioned write at the size fstat reports. Never through an O_APPEND
// handle: a file server's client may answer every write through one with an
// I/O error and drop the share for a while. The caller holds the lock that
// guards the file, so the end found is still the end when the bytes land;
// bytes that did not all land are taken off again (DiskWriteError).
int AppendToFile(const std::filesystem::path& path, std::string_view bytes, FileOps& ops);
// The same through a descriptor open for writing.
int AppendAt(FileOps& ops, int fd, std::string_view bytes);

// Small whole-file helpers that report I/O results instead of throwing.
bool fileExists(const std::filesystem::path& p);
int deleteFile(const std::filesystem::path& p, FileOps& ops);
// Copies, overwriting the target. A target made by the copy gets the
// source's permission bits; one that was there keeps its own (only its
// owner could change them).
int copyFile(const std::filesystem::path& from, const std::filesystem::path& to, FileOps& ops);
// Creates one folder; an existing folder is not an error. A new folder is
// open to the group and readable by every account whatever the umask, as
// lock files are: the accounts that share the data folder all use it.
int createFolder(const std::filesystem::path& p, FileOps& ops);
// Modification time in nanoseconds since the Unix epoch; 0 when missing
// (a link in the file's place has the link's own time).
std::int64_t fileAgeNs(const std::filesystem::path& p, FileOps& ops);

}  // namespace egresso
