#include "storage/notify_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

using Record = std::array<std::uint8_t, kNotifyRecordSize>;

// A notification file is one record; more are read for the letters an
// earlier version left behind record 0, but never a file without end.
constexpr std::size_t kReadLimit = 5958 * kNotifyRecordSize;  // 64 KiB
// A file server refuses to delete a file another client still has open for
// a moment; the owner's take tries this often before leaving the file for
// its next look.
constexpr int kDeleteAttempts = 5;
constexpr int kDeletePauseMs = 20;
// A put that failed is tried this often in all.
constexpr int kPutAttempts = 3;
// The notification lock is held for one read and one write. One that stays
// the very same file this long was left by a workstation that stopped
// while holding it.
constexpr std::int64_t kStaleNotifyLockMs = 10000;

// Opens a file of the data folder for letters: never through a link, never
// waiting on a pipe planted under the name, only a plain file.
int openLetterFile(FileOps& ops, const std::string& path, int flags, int& err) {
  const int fd = ops.open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    err = errno;
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ops.close(fd);
    return -1;
  }
  return fd;
}

// Up to kReadLimit bytes from the start of the file.
bool readStart(FileOps& ops, int fd, std::string& bytes, int& err) {
  bytes.clear();
  char buf[4096];
  while (bytes.size() < kReadLimit) {
    const ssize_t n =
        ops.pread(fd, buf, std::min(sizeof buf, kReadLimit - bytes.size()), static_cast<off_t>(bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

std::vector<std::string> textsOf(const std::string& bytes) {
  std::vector<std::string> texts;
  for (std::size_t at = 0; at < bytes.size(); at += kNotifyRecordSize) {
    const std::size_t length = static_cast<std::uint8_t>(bytes[at]);
    const std::size_t available = std::min(bytes.size() - at - 1, kNotifyRecordSize - 1);
    texts.push_back(bytes.substr(at + 1, std::min(length, available)));
  }
  return texts;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Adds every letter of from that text lacks (digits are the day number,
// not letters; control bytes are what a damaged record holds).
void addLetters(std::string& text, std::string_view from) {
  for (char c : from) {
    const auto u = static_cast<unsigned char>(c);
    if (u > ' ' && u != 0x7F && !isDigit(c) && text.find(c) == std::string::npos) text += c;
  }
}

// The day number gives way to letters; false when the letters alone do not fit.
bool fitRecord(std::string& text) {
  while (text.size() > kNotifyRecordSize - 1) {
    const auto digit = std::find_if(text.begin(), text.end(), isDigit);
    if (digit == text.end()) return false;
    text.erase(digit);
  }
  return true;
}

int deleteLetterFile(const std::string& path, FileOps& ops) {
  int rc = io::Ok;
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (ops.unlink(path.c_str()) == 0 || errno == ENOENT) return io::Ok;
    rc = io::fromErrno(errno);
    if (errno != EBUSY && errno != ETXTBSY && errno != EIO) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kDeletePauseMs));
  }
  return rc;
}

// The owner's take of its lock: one try, no wait (the look comes again at
// the next tick). A lock file that stays the same for kStaleNotifyLockMs
// was left by a writer that stopped, and is broken.
bool takeOwnLock(Workstation& ws, const std::string& lock) {
  if (TryLock(ws, lock, "NOTIFY")) {
    ws.host.NotifyLockSeen = {};
    return true;
  }
  LockState& L = ws.locks;
  if (L.LockFailed || !L.Examined.known) return false;
  const std::int64_t now = ws.platform.clock->monotonicMs();
  if (!(ws.host.NotifyLockSeen == L.Examined)) {
    ws.host.NotifyLockSeen = L.Examined;
    ws.host.NotifyLockSeenMs = now;
    return false;
  }
  if (now - ws.host.NotifyLockSeenMs < kStaleNotifyLockMs) return false;
  L.LastLockName = lock;
  BreakLock(ws);
  ws.host.NotifyLockSeen = {};
  return TryLock(ws, lock, "NOTIFY");
}

}  // namespace

std::string NotifyFileOf(const Workstation& ws, std::string_view initials) {
  return ws.paths.DataFolder + "/TIMER." + std::string(initials);
}

std::string NotifyLockName(std::string_view initials) { return "TIMER." + std::string(initials); }

std::string ClaimedNotifyFile(const std::string& notifyFile) { return notifyFile + ".RD"; }

static int putOnce(const std::string& notifyFile, std::string_view text, FileOps& ops) {
  int err = 0;
  const int fd = openLetterFile(ops, notifyFile, O_RDWR | O_CREAT, err);
  if (fd < 0) return io::fromErrno(err);
  auto fail = [&](int rc) {
    ops.close(fd);
    return rc;
  };
  std::string bytes;
  if (!readStart(ops, fd, bytes, err)) return fail(io::fromErrno(err));
  // A file without one whole record was cut short by a writer that
  // stopped: it starts anew, keeping whatever letters it held.
  const bool whole = bytes.size() >= kNotifyRecordSize;
  const std::vector<std::string> texts = textsOf(bytes);
  std::string merged = whole ? texts.front() : std::string(text.substr(0, kNotifyRecordSize - 1));
  addLetters(merged, text);
  for (std::size_t i = whole ? 1 : 0; i < texts.size(); ++i) addLetters(merged, texts[i]);
  if (!fitRecord(merged)) return fail(kNotifyNoRoom);

  Record record{};
  putPString(record, 0, kNotifyRecordSize - 1, merged);
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ops.pwrite(fd, record.data() + done, record.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int rc = n < 0 ? io::fromErrno(errno) : io::DiskWriteError;
      // A full disk cuts a write that makes the file longer short: what it
      // added goes again, so that no part record is left behind.
      if (bytes.size() < record.size()) ops.ftruncate(fd, static_cast<off_t>(bytes.size()));
      return fail(rc);
    }
    done += static_cast<std::size_t>(n);
  }
  // Records behind record 0 are in it now; nobody reads them any more.
  if (bytes.size() > kNotifyRecordSize && ops.ftruncate(fd, kNotifyRecordSize) != 0)
    return fail(io::fromErrno(errno));
  // A server that took the write without keeping it is caught here.
  Record back{};
  const ssize_t n = ops.pread(fd, back.data(), back.size(), 0);
  if (n != static_cast<ssize_t>(back.size()) || back != record) return fail(io::DiskWriteError);
  if (ops.close(fd) != 0) return io::fromErrno(errno);
  return io::Ok;
}

int PutNotifyText(const std::string& notifyFile, std::string_view text, FileOps& ops) {
  // A file share's client answers an I/O error now and then; under the lock
  // the read-merge-write can simply be done again.
  int rc = io::Ok;
  for (int attempt = 0; attempt < kPutAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(kDeletePauseMs));
    rc = putOnce(notifyFile, text, ops);
    if (rc == io::Ok || rc == kNotifyNoRoom) break;
  }
  return rc;
}

int AppendNotifyLetter(Workstation& ws, std::string_view initials, char letter) {
  const std::string path = NotifyFileOf(ws, initials);
  int rc = io::Ok;
  {
    HeldLock held(ws, NotifyLockName(initials), "NOTIFY");
    if (!held) return ws.locks.IoResult != io::Ok ? ws.locks.IoResult : io::SharingViolation;
    rc = PutNotifyText(path, std::to_string(ws.Today) + letter, *ws.files);
  }
  NormalizeFileAttr(ws, path);
  return rc;
}

bool ReadNotifyTexts(FileOps& ops, const std::string& path, std::vector<std::string>& texts) {
  // A letter file holds a few records; whatever stands under its name is
  // never read further than that, nor waited for.
  std::string bytes;
  if (ReadFileBounded(ops, path, kReadLimit, bytes) != io::Ok) return false;
  for (auto& text : textsOf(bytes)) texts.push_back(std::move(text));
  return true;
}

std::vector<std::string> TakeNotifyTexts(const std::string& notifyFile, FileOps& ops) {
  std::vector<std::string> texts;
  const std::string claimed = ClaimedNotifyFile(notifyFile);
  if (fileExists(claimed)) {
    if (!ReadNotifyTexts(ops, claimed, texts)) return texts;
    deleteLetterFile(claimed, ops);
  }
  int err = 0;
  const int fd = openLetterFile(ops, notifyFile, O_RDONLY, err);
  if (fd < 0) return texts;
  std::string bytes;
  const bool read = readStart(ops, fd, bytes, err);
  ops.close(fd);
  // Unreadable, or not yet holding a whole record, or not to be deleted
  // now: the file stays for the next look, which reads it again whole.
  if (!read || bytes.size() < kNotifyRecordSize || deleteLetterFile(notifyFile, ops) != io::Ok) return texts;
  for (auto& text : textsOf(bytes)) texts.push_back(std::move(text));
  return texts;
}

std::vector<std::string> TakeOwnNotifyTexts(Workstation& ws, bool dropShort) {
  const std::string file = NotifyFileOf(ws, ws.ThisUser);
  if (!OwnNotifyFileWaiting(ws) && !fileExists(ClaimedNotifyFile(file)) && !(dropShort && fileExists(file)))
    return {};
  const std::string lock = NotifyLockName(ws.ThisUser);
  if (!takeOwnLock(ws, lock)) return {};
  std::vector<std::string> texts = TakeNotifyTexts(file, *ws.files);
  struct stat st {};
  if (dropShort && ws.files->stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size < static_cast<off_t>(kNotifyRecordSize))
    deleteLetterFile(file, *ws.files);
  ReleaseLock(ws, lock);
  return texts;
}

bool OwnNotifyFileWaiting(const Workstation& ws) {
  struct stat st {};
  return ws.files->stat(NotifyFileOf(ws, ws.ThisUser).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         st.st_size >= static_cast<off_t>(kNotifyRecordSize);
}

}  // namespace egresso
