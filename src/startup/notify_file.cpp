#include "startup/notify_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

// Appending again when the file was taken meanwhile ends at the latest when
// a reader stops taking it; a bound keeps a writer from spinning on a
// folder where names never hold still.
constexpr int kAppendAttempts = 20;

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The record just appended through fd reads back as written: a file server
// that appends for several computers without order may have let another
// writer's record land on it (an equal record does as well).
bool readsBack(FileOps& ops, int fd, const std::array<std::uint8_t, kNotifyRecordSize>& record) {
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  std::array<std::uint8_t, kNotifyRecordSize> back{};
  return end >= static_cast<off_t>(record.size()) &&
         ops.pread(fd, back.data(), back.size(), end - static_cast<off_t>(record.size())) ==
             static_cast<ssize_t>(back.size()) &&
         back == record;
}

}  // namespace

std::string NotifyFileOf(const Workstation& ws, std::string_view initials) {
  return ws.paths.DataFolder + "/TIMER." + std::string(initials);
}

std::string ClaimedNotifyFile(const std::string& notifyFile) { return notifyFile + ".RD"; }

int AppendNotifyRecord(const std::string& notifyFile, std::string_view text, FileOps& ops) {
  text = text.substr(0, kNotifyRecordSize - 1);
  std::array<std::uint8_t, kNotifyRecordSize> record{};
  putPString(record, 0, kNotifyRecordSize - 1, text);
  // Filler bytes in front of the record: none, unless the last attempt
  // found its record across two record places.
  std::size_t fill = 0;
  for (int attempt = 0; attempt < kAppendAttempts; ++attempt) {
    // One write of the whole record: appending writes of several writers
    // never interleave inside a record.
    const int fd = ops.open(notifyFile.c_str(), O_RDWR | O_APPEND | O_CREAT, 0666);
    if (fd < 0) return io::fromErrno(errno);
    std::array<std::uint8_t, 2 * kNotifyRecordSize> out{};
    std::copy(record.begin(), record.end(), out.begin() + static_cast<std::ptrdiff_t>(fill));
    const auto size = static_cast<ssize_t>(fill + record.size());
    const ssize_t written = ops.write(fd, out.data(), static_cast<std::size_t>(size));
    const int writeErr = errno;
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    struct stat mine {};
    const bool known = ::fstat(fd, &mine) == 0;
    const bool intact = written == size && readsBack(ops, fd, record);
    // Part of a record would shift every later one: it is taken off again
    // while nothing has been added behind it.
    if (written > 0 && written != size && known && end == mine.st_size)
      ops.ftruncate(fd, mine.st_size - static_cast<off_t>(written));
    if (ops.close(fd) != 0 && written == size) return io::fromErrno(errno);
    if (written < 0) return io::fromErrno(writeErr);
    if (written != size) return io::DiskWriteError;
    // A file ending in part of a record (a writer stopped half way, a full
    // disk) puts every record after it across two record places, where its
    // owner never reads it. Whole records appended by others do not change
    // by how much, so the next attempt puts filler in front that far.
    fill = end >= 0 ? (kNotifyRecordSize - static_cast<std::size_t>(end) % kNotifyRecordSize) % kNotifyRecordSize : 0;
    if (fill != 0) continue;
    // The file still under the user's name holds the record: whoever takes
    // it later takes the record with it.
    struct stat now {};
    if (!known) return io::Ok;
    if (intact && ::stat(notifyFile.c_str(), &now) == 0 && sameFile(now, mine)) return io::Ok;
  }
  return io::Ok;
}

int AppendNotifyLetter(Workstation& ws, std::string_view initials, char letter) {
  const std::string path = NotifyFileOf(ws, initials);
  // A letter already waiting is not added again. Should the owner take the
  // file right after this look, it takes that letter with it.
  // Only whole records count: a part record at the end keeps a file from
  // being taken, so a letter seen only there would never arrive.
  std::vector<std::string> waiting;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && ReadNotifyTexts(path, waiting)) {
    waiting.resize(std::min(waiting.size(), static_cast<std::size_t>(st.st_size) / kNotifyRecordSize));
    for (const auto& text : waiting)
      if (text.find(letter) != std::string::npos) return io::Ok;
  }
  const int rc = AppendNotifyRecord(path, std::to_string(ws.Today) + letter, *ws.files);
  NormalizeFileAttr(ws, path);
  return rc;
}

bool ReadNotifyTexts(const std::string& path, std::vector<std::string>& texts) {
  // A letter file holds a few records; whatever stands under its name is
  // never read further than that, nor waited for.
  std::string bytes;
  if (ReadFileBounded(PosixFileOps(), path, 65536 * kNotifyRecordSize, bytes) != io::Ok) return false;
  for (std::size_t at = 0; at < bytes.size(); at += kNotifyRecordSize) {
    const std::size_t length = static_cast<std::uint8_t>(bytes[at]);
    const std::size_t available = std::min(bytes.size() - at - 1, kNotifyRecordSize - 1);
    texts.push_back(bytes.substr(at + 1, std::min(length, available)));
  }
  return true;
}

std::vector<std::string> TakeNotifyTexts(const std::string& notifyFile, FileOps& ops) {
  std::vector<std::string> texts;
  const std::string claimed = ClaimedNotifyFile(notifyFile);
  // Renaming over a claimed file still there would lose its letters.
  if (fileExists(claimed)) {
    if (!ReadNotifyTexts(claimed, texts)) return texts;
    deleteFile(claimed, ops);
  }
  struct stat st {};
  if (::stat(notifyFile.c_str(), &st) != 0 || st.st_size < static_cast<off_t>(kNotifyRecordSize)) return texts;
  if (ops.rename(notifyFile.c_str(), claimed.c_str()) != 0) return texts;
  // Unreadable now: the claimed file is read at the next look.
  if (ReadNotifyTexts(claimed, texts)) deleteFile(claimed, ops);
  return texts;
}

}  // namespace egresso
