// Lock files, attribute reset, the I/O error report and the trace file.
//
// A lock is the file <DataFolder>/<name>.LOK holding one line: the holder's
// initials padded to 3, a blank, the caller's tag padded or cut to 15, a
// blank and the holder's station identity. Workstations see each other only
// through these files, so every step here has to stay safe when several
// workstations (on several computers, over a network share) act at once.
#include "storage/locks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include "text/notices.h"
#include "core/waiting.h"
#include "platform/system_file.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/file_report.h"
#include "storage/pending_maintenance.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

constexpr std::size_t kLineMax = 120;
// A file that disappears between a failed exclusive create and the read of
// the holder is tried again this often within one attempt.
constexpr int kCreateRounds = 4;
constexpr int kReleaseAttempts = 10000;
constexpr int kReleaseTraceEvery = 1000;
constexpr int kDeniedReads = 3;
constexpr int kBusyRetries = 200;
constexpr int kKeyEsc = 27;
constexpr int kKeyBreak = 6;  // Ctrl+F
// How often a holder looks for a request to free one of its locks.
constexpr int kBreakCheckMs = 1000;
constexpr int kNoticeCannotFree = 2100;

bool traceLogOn(const Workstation& ws) { return ws.mcfg.flag(mcfg::TraceLog); }

// Blanks off both ends; a field of blanks becomes empty.
std::string trimBlanks(std::string_view s) {
  auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

// A lock file holds one short line; this much of it identifies the file.
constexpr std::size_t kContentMax = 256;

LockFileIdentity identityOf(const struct stat& st, std::string content) {
  LockFileIdentity id;
  id.known = true;
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.inode = static_cast<std::uint64_t>(st.st_ino);
  id.content = std::move(content);
  return id;
}

struct LockRead {
  bool exists = true;
  // The file is there but this account may not read it: another user's
  // lock, never a dead one.
  bool denied = false;
  // A link, folder, FIFO or device stands under the lock's name.
  bool notPlain = false;
  int result = io::Ok;  // non-zero: the file could not be read as a lock line
  std::string line;
  LockFileIdentity identity;  // known when the file was read
  std::int64_t timeNs = 0;     // its modification time
};

// Reads the start of a lock file and its first line. A line holding
// control characters was not written by any workstation (a damaged file)
// and counts as unreadable.
LockRead readLockFile(FileOps& ops, const std::string& path) {
  LockRead r;
  int fd = ops.open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    int err = errno;
    r.exists = err != ENOENT && err != ENOTDIR;
    r.denied = err == EACCES || err == EPERM;
    r.notPlain = err == ELOOP || err == ENXIO || err == EISDIR;
    r.result = io::fromErrno(err);
    return r;
  }
  struct stat st;
  const int statError = ::fstat(fd, &st) == 0 ? 0 : errno;
  std::string content;
  char buf[kContentMax];
  while (content.size() < kContentMax) {
    ssize_t n = ops.read(fd, buf, kContentMax - content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      r.result = io::fromErrno(errno);
      break;
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
    // The whole file is read: no need to ask again only to be told so.
    if (statError == 0 && st.st_size > 0 && content.size() >= static_cast<std::size_t>(st.st_size)) break;
  }
  ops.close(fd);
  if (r.result != io::Ok) return r;
  if (statError != 0) {
    r.result = io::fromErrno(statError);
    return r;
  }
  std::string_view text(content);
  text = text.substr(0, text.find_first_of("\r\n"));
  if (text.size() > kLineMax) text = text.substr(0, kLineMax);
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      r.result = io::DiskReadError;
      break;
    }
  }
  if (r.result == io::Ok) r.line = std::string(text);
  r.identity = identityOf(st, std::move(content));
  r.timeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return r;
}

void parseHolder(LockState& L, const std::string& line) {
  L.HolderInitials = trimBlanks(std::string_view(line).substr(0, 3));
  if (line.size() > 20) L.HolderStation = trimBlanks(std::string_view(line).substr(20, 15));
}

// Characters 21..35 hold the station; what follows column 36 is this
// program's own and other readers of the line ignore it.
constexpr std::size_t kProcessColumn = 36;

// The computer and its current boot: a process number means something only
// there. The host name and machine id keep apart containers that share a
// kernel (and so a boot id) but not their process numbers.
std::string computerBootKey() {
  std::string key = ReadSystemFile("/proc/sys/kernel/random/boot_id", 64);
  key += '/';
  key += ReadSystemFile("/etc/machine-id", 64);
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) key += host;
  std::uint32_t v = 2166136261u;
  for (char c : key) v = (v ^ static_cast<std::uint8_t>(c)) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

const std::string& processTag(LockState& L) {
  if (L.ProcessTag.empty()) L.ProcessTag = "P" + std::to_string(::getpid()) + "@" + computerBootKey();
  return L.ProcessTag;
}

// The holder's process as its line names it; unknown for a line written
// without one.
struct HolderProcess {
  bool known = false;
  long pid = 0;
  std::string computer;
};

HolderProcess holderProcess(std::string_view line) {
  HolderProcess h;
  if (line.size() <= kProcessColumn) return h;
  std::string_view rest = line.substr(kProcessColumn);
  rest = rest.substr(0, rest.find(' '));
  const std::size_t at = rest.find('@');
  if (rest.size() < 4 || rest[0] != 'P' || at == std::string_view::npos || at < 2) return h;
  long pid = 0;
  for (char c : rest.substr(1, at - 1)) {
    if (c < '0' || c > '9' || pid > 99999999) return h;
    pid = pid * 10 + (c - '0');
  }
  h.known = pid > 0;
  h.pid = pid;
  h.computer = std::string(rest.substr(at + 1));
  return h;
}

// The holder keeps its lock file's time fresh while it holds it (its line
// ends in the word R).
bool refreshingHolder(std::string_view line) {
  if (line.size() <= kProcessColumn || !holderProcess(line).known) return false;
  const std::string_view rest = line.substr(kProcessColumn);
  return rest.ends_with(" R") || rest.find(" R ") != std::string_view::npos;
}

// True once the lock file examined, a refreshing holder's, has stood still
// (the same file, the same line, the same time) for UnrefreshedMs.
bool unrefreshedLock(Workstation& ws) {
  LockState& L = ws.locks;
  if (!L.LockBusy || !L.Examined.known || !refreshingHolder(L.LockLine) ||
      L.LockLine.find("!!") != std::string::npos) {
    L.Unrefreshed = {};
    return false;
  }
  const std::int64_t now = ws.platform.clock->monotonicMs();
  if (!(L.Unrefreshed == L.Examined) || L.UnrefreshedTimeNs != L.ExaminedTimeNs) {
    L.Unrefreshed = L.Examined;
    L.UnrefreshedTimeNs = L.ExaminedTimeNs;
    L.UnrefreshedSinceMs = now;
    return false;
  }
  return now - L.UnrefreshedSinceMs >= L.UnrefreshedMs;
}

bool sameComputer(LockState& L, const HolderProcess& h) {
  const std::string& own = processTag(L);
  return h.known && own.compare(own.find('@') + 1, std::string::npos, h.computer) == 0;
}

// A holder on this computer whose process has ended holds nothing.
bool holderGone(LockState& L, const HolderProcess& h) {
  if (!sameComputer(L, h) || h.pid == ::getpid()) return false;
  return ::kill(static_cast<pid_t>(h.pid), 0) != 0 && errno == ESRCH;
}

// The line was written by this very workstation: its station, and this
// process or none (a line of a copy that ended, or of a writer that names
// no process, as the lock protocol lets a station take its lock again).
bool ownLine(LockState& L, std::string_view station, std::string_view ownStation, const HolderProcess& h) {
  if (station != ownStation) return false;
  if (!h.known || !sameComputer(L, h)) return true;
  return h.pid == ::getpid();
}

enum class Removal { Deleted, Gone, Replaced, Failed };

// Deletes path, whatever file it is now.
Removal removeFile(FileOps& ops, const std::string& path, int& result) {
  result = io::Ok;
  if (ops.unlink(path.c_str()) == 0) return Removal::Deleted;
  if (errno == ENOENT) return Removal::Gone;
  result = io::fromErrno(errno);
  return Removal::Failed;
}

// Deletes path when it is still the file identified (any file when the
// identity is unknown). Another workstation may have deleted the file we
// examined and created its own lock under the same name since; deleting
// that would let two workstations hold the lock. The file is looked at
// afresh right before it goes, so the window for that is a few calls.
Removal removeIfUnchanged(FileOps& ops, const std::string& path, const LockFileIdentity& id, int& result) {
  result = io::Ok;
  if (id.known) {
    LockRead now = readLockFile(ops, path);
    if (!now.exists) return Removal::Gone;
    if (!now.identity.known) {
      result = now.result;
      return Removal::Failed;
    }
    if (!(now.identity == id)) return Removal::Replaced;
  }
  return removeFile(ops, path, result);
}

// True once an empty or unreadable lock file has stayed the very same file
// for the grace period. A workstation creating its lock file leaves it
// empty for a moment; only a file that stays so was left by one that died.
bool deadLockFile(Workstation& ws, const std::string& path, const LockFileIdentity& id) {
  LockState& L = ws.locks;
  std::int64_t now = ws.platform.clock->monotonicMs();
  if (!L.Unreadable.known || !(L.Unreadable == id) || L.UnreadablePath != path) {
    L.Unreadable = id;
    L.UnreadablePath = path;
    L.UnreadableSinceMs = now;
  }
  return id.known && now - L.UnreadableSinceMs >= L.DeadLockGraceMs;
}

// What one look at a lock file found.
struct ExaminedLock {
  bool busy;
  std::string initials, station, line, path;
  LockFileIdentity identity, unreadable;
  std::string unreadablePath;
  std::int64_t unreadableSinceMs, timeNs;
};

ExaminedLock examinedLock(const LockState& L) {
  return {L.LockBusy,   L.HolderInitials, L.HolderStation,  L.LockLine,          L.ExaminedPath,
          L.Examined,   L.Unreadable,     L.UnreadablePath, L.UnreadableSinceMs, L.ExaminedTimeNs};
}

void restoreExamined(LockState& L, const ExaminedLock& e) {
  L.LockBusy = e.busy;
  L.HolderInitials = e.initials;
  L.HolderStation = e.station;
  L.LockLine = e.line;
  L.ExaminedPath = e.path;
  L.Examined = e.identity;
  L.Unreadable = e.unreadable;
  L.UnreadablePath = e.unreadablePath;
  L.UnreadableSinceMs = e.unreadableSinceMs;
  L.ExaminedTimeNs = e.timeNs;
}

// Creates the lock file exclusively. A share does not always say "exists"
// when another client's lock is there, so a failure is taken for "exists"
// whenever a file is there.
int createLockFile(FileOps& ops, const std::string& path, int& err) {
  for (;;) {
    int fd = ops.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) return fd;
    err = errno;
    if (err == EINTR) continue;
    struct stat st;
    if (err != EEXIST && ops.stat(path.c_str(), &st) == 0) err = EEXIST;
    return -1;
  }
}

// A lock file this workstation made stays open while the lock is held, so
// that the release can tell from the open file alone whether the lock is
// still this workstation's, without reading it again (three more round
// trips to a file server). On a local disk a lock broken by another
// workstation meanwhile is a file with no name left (link count 0). A
// Samba or Windows server lets no other client delete or replace a file
// that is open (it answers "busy", or keeps the name taken until the
// handle is closed), so there it cannot have been broken at all. Elsewhere
// the file is closed after writing and read again before it is deleted:
// an NFS client keeps the written line to itself until the file is closed
// (the others would find an empty lock file), and other file systems in
// user space may answer from caches.
enum LockHolding { kCloseAndReadBack = 1, kHoldAndCheckLinks, kHoldOnServer };

// The file system type of the mount of device dev ("" when not found).
std::string mountType(dev_t dev) {
  const std::string mounts = ReadSystemFile("/proc/self/mountinfo");
  const std::string id = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
  std::string_view rest(mounts);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    // "36 35 98:0 /root /mount options - type source options": the device
    // is the third field, the type the first after the dash.
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.substr(second + 1, id.size() + 1) != id + " ") continue;
    const std::size_t dash = line.find(" - ");
    if (dash == std::string_view::npos) continue;
    const std::string_view type = line.substr(dash + 3);
    return std::string(type.substr(0, type.find(' ')));
  }
  return {};
}

LockHolding lockHolding(Workstation& ws, const struct stat& st) {
  LockState& L = ws.locks;
  const auto dev = static_cast<std::uint64_t>(st.st_dev);
  if (L.Holding == 0 || L.HeldOnDevice != dev) {
    const std::string type = mountType(st.st_dev);
    if (type == "cifs" || type == "smb3" || type == "fuse.smbnetfs")
      L.Holding = kHoldOnServer;
    else if (type.empty() || type.rfind("nfs", 0) == 0 || type.rfind("fuse", 0) == 0)
      L.Holding = kCloseAndReadBack;
    else
      L.Holding = kHoldAndCheckLinks;
    L.HeldOnDevice = dev;
  }
  return static_cast<LockHolding>(L.Holding);
}

// A share answers an exclusive create with "busy" or an I/O error while
// another client's lock is being created or deleted (seen through a file
// system in user space, for long stretches while the others take turns
// quickly). Such answers count as a busy lock; only when nothing else is
// seen for TransientGraceMs is the folder taken to be unusable.
bool passingCreateFailure(Workstation& ws, int err) {
  if (err != EIO && err != EBUSY && err != EAGAIN && err != ETXTBSY && err != ESTALE) return false;
  LockState& L = ws.locks;
  std::int64_t now = ws.platform.clock->monotonicMs();
  // A stretch ends when a second passes without such an answer (the lock
  // was seen, or the take ended); an old one says nothing about this one.
  if (L.TransientSinceMs < 0 || now - L.TransientLastMs > 1000) L.TransientSinceMs = now;
  L.TransientLastMs = now;
  return now - L.TransientSinceMs < L.TransientGraceMs;
}

// A take that made no lock file: reported as the file step would be, once
// for as long as the same failure lasts (a timer that tries every minute on
// an unusable folder must not stack up dialogs), and the lock is not held.
bool failedTake(Workstation& ws, std::string_view tag, int code) {
  LockState& L = ws.locks;
  L.IoResult = code;
  L.LockBusy = true;
  L.LockFailed = true;
  if (L.ReportedFailure != code) {
    L.ReportedFailure = code;
    ReportIoError(ws, code, tag);
  }
  return false;
}

// The pause before the next look at a busy lock. It grows by half at each
// busy round from WaitRoundMs to MaxWaitRoundMs: a lock held for long is
// not read forty times a second by every waiting workstation, which on a
// file server slows down the holder itself. Each pause is drawn between
// three quarters and the whole of its step, so that workstations that met
// at one lock do not keep looking at it in step.
int waitPauseMs(Workstation& ws, int round) {
  LockState& L = ws.locks;
  const std::int64_t ceiling = std::max({1, L.WaitRoundMs, L.MaxWaitRoundMs});
  std::int64_t step = std::max(1, L.WaitRoundMs);
  for (int i = 0; i < round && step < ceiling; ++i) step = step * 3 / 2 + 1;
  step = std::min(step, ceiling);
  if (L.WaitJitter == 0)
    L.WaitJitter = ((static_cast<std::uint32_t>(::getpid()) * 2654435761u) ^
                    static_cast<std::uint32_t>(ws.platform.clock->monotonicMs())) | 1u;
  // xorshift32: cheap, and good enough to spread a few workstations.
  L.WaitJitter ^= L.WaitJitter << 13;
  L.WaitJitter ^= L.WaitJitter >> 17;
  L.WaitJitter ^= L.WaitJitter << 5;
  return static_cast<int>(step - static_cast<std::int64_t>(L.WaitJitter % static_cast<std::uint32_t>(step / 4 + 1)));
}

std::string breakRequestPath(const Workstation& ws, std::string_view lockName) {
  std::string path;
  path.reserve(ws.paths.DataFolder.size() + lockName.size() + 5);
  return path.append(ws.paths.DataFolder).append(1, '/').append(lockName).append(".BRK");
}

// The answers of a file server asked to delete a file another client
// keeps open.
bool refusedWhileOpen(int err) { return err == EBUSY || err == ETXTBSY || err == EACCES || err == EIO; }

// Asks the holder of the lock file at path, whose line is line, to let go
// (once for that line).
void askToLetGo(Workstation& ws, std::string_view lockName, const std::string& line) {
  LockState& L = ws.locks;
  const std::string request = breakRequestPath(ws, lockName);
  if (L.BreakAskedPath == request && L.BreakAskedLine == line) return;
  const int fd = ws.files->open(request.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return;
  ::fchmod(fd, 0666);
  const std::string text = line + "\r\n";
  const int result = WriteAll(*ws.files, fd, text.data(), text.size());
  ws.files->close(fd);
  if (result != io::Ok) return;
  L.BreakAskedPath = request;
  L.BreakAskedLine = line;
  L.BreakAskedMs = ws.platform.clock->monotonicMs();
  L.BreakRefusalTold = false;
  traceLine(ws, ws.ThisUser + " AskBreak  " + request + " (" + line + ")");
}

// A request this workstation left is withdrawn when its wait ends: the
// holder must not let go later of a lock nobody waits for any more.
void withdrawBreakRequest(Workstation& ws) {
  LockState& L = ws.locks;
  if (L.BreakAskedPath.empty()) return;
  deleteFile(L.BreakAskedPath, *ws.files);
  L.BreakAskedPath.clear();
  L.BreakAskedLine.clear();
}

// Tells the waiting user, once, that the holder did not answer the request
// to free the lock in time.
void tellWhenUnanswered(Workstation& ws, std::string_view lockName) {
  LockState& L = ws.locks;
  if (L.BreakAskedPath != breakRequestPath(ws, lockName) || L.BreakRefusalTold || L.LockLine != L.BreakAskedLine)
    return;
  if (ws.platform.clock->monotonicMs() - L.BreakAskedMs < L.BreakAnswerMs) return;
  L.BreakRefusalTold = true;
  ShowReport(ws, MakeDialogRequest(MessageText(ws, kNoticeCannotFree) + " (" + L.HolderInitials + ")", -1, "", "",
                                   MessageText(ws, 29), 3));
}

struct BreakRequestScope {
  Workstation& ws;
  ~BreakRequestScope() { withdrawBreakRequest(ws); }
};

}  // namespace

std::string LockFilePath(const Workstation& ws, std::string_view lockName) {
  std::string path;
  path.reserve(ws.paths.DataFolder.size() + lockName.size() + 5);
  return path.append(ws.paths.DataFolder).append(1, '/').append(lockName).append(".LOK");
}

bool TryLock(Workstation& ws, std::string_view lockName, std::string_view tag) {
  LockState& L = ws.locks;
  L.HolderInitials.clear();
  L.HolderStation.clear();
  L.LockBusy = false;
  L.LockFailed = false;
  if (!ws.MultiUser) return true;
  if (traceLogOn(ws)) traceLine(ws, "Locking \"" + std::string(lockName) + "\" " + traceSuffix(ws));

  const std::string path = LockFilePath(ws, lockName);
  std::string base;
  base.reserve(3 + 1 + 15 + 1 + 15 + 1 + 32);
  base.append(PadText(ws.ThisUser, 3)).append(1, ' ').append(PadText(tag, 15)).append(1, ' ');
  base.append(PadText(ws.StationId, 15)).append(1, ' ').append(processTag(L));
  base.append(" N").append(std::to_string(++L.Takes));
  std::string content;
  for (int round = 0; round < kCreateRounds; ++round) {
    // Creating the file exclusively is the one step that decides between
    // workstations racing for a free lock (network shares honour it too).
    int err = 0;
    int fd = createLockFile(*ws.files, path, err);
    if (fd >= 0) {
      struct stat st;
      const bool statted = ::fstat(fd, &st) == 0;
      // Readable by every account that shares the folder, whatever the
      // umask: a lock another user cannot read tells him nothing.
      constexpr mode_t kReadable = S_IRUSR | S_IRGRP | S_IROTH;
      if (statted && (st.st_mode & kReadable) != kReadable) ::fchmod(fd, (st.st_mode & 07777) | kReadable);
      // A file kept open is refreshed while held (HeldLockFiles), and its
      // line says so: only then may the others take its standing still for
      // a holder that is gone.
      const bool kept = statted && lockHolding(ws, st) != kCloseAndReadBack;
      content = base + (kept ? " R\r\n" : "\r\n");
      int result = WriteAll(*ws.files, fd, content.data(), content.size());
      if (result == io::Ok && kept)
        L.HeldFiles.keep(lockName, fd, ws.platform.clock->monotonicMs());
      else if (ws.files->close(fd) != 0 && result == io::Ok)
        result = io::fromErrno(errno);
      if (result != io::Ok) {
        // An empty or partial lock file would be taken for a dead one by
        // the others, and no lock is no exclusion.
        ws.files->unlink(path.c_str());
        return failedTake(ws, tag, result);
      }
      const std::string_view line = std::string_view(content).substr(0, content.size() - 2);
      L.IoResult = io::Ok;
      L.ReportedFailure = 0;
      L.WritesRefused = false;
      L.TransientSinceMs = -1;
      L.Examined = statted ? identityOf(st, content) : LockFileIdentity{};
      L.ExaminedPath = path;
      L.LockLine = line.substr(0, kLineMax);
      L.OwnLines[std::string(lockName)] = L.LockLine;
      L.HolderInitials = ws.ThisUser;
      L.HolderStation = ws.StationId;
      return true;
    }
    // The folder takes no lock file (missing, not writable, full): without
    // one there is no exclusion, so the caller must not go on.
    if (err != EEXIST) {
      // A share's client may say the folder can be written when the server
      // refuses: the refusal itself tells that it is read-only.
      if (err == EACCES || err == EPERM || err == EROFS) {
        if (!L.WritesRefused) L.RefusedProbeMs = ws.platform.clock->monotonicMs();
        L.WritesRefused = true;
      }
      if (!passingCreateFailure(ws, err)) return failedTake(ws, tag, io::fromErrno(err));
      L.IoResult = io::fromErrno(err);
      L.LockBusy = true;
      return false;
    }
    L.TransientSinceMs = -1;

    LockRead r = readLockFile(*ws.files, path);
    if (!r.exists) continue;  // released in between
    if (r.notPlain) {
      // No workstation makes such a thing: it is no lock. Taken away where
      // it can be (a link, a FIFO, an empty folder); else the take fails
      // at once rather than wait for a holder there is none of.
      const int removed = deleteFile(path, *ws.files);
      traceLine(ws, ws.ThisUser + " NotAFile  " + path + (removed == io::Ok ? " removed" : " left"));
      if (removed == io::Ok || removed == io::FileNotFound) continue;
      ws.files->noteRefused(path.c_str());
      return failedTake(ws, tag, io::NotPlainFile);
    }
    L.LockLine = r.line;
    L.Examined = r.identity;
    L.ExaminedTimeNs = r.timeNs;
    L.ExaminedPath = path;
    parseHolder(L, r.line);
    if (r.result == io::Ok && !L.HolderInitials.empty()) {
      L.Unreadable = {};
      const HolderProcess holder = holderProcess(r.line);
      if (holderGone(L, holder)) {
        int result = io::Ok;
        const Removal removal = removeIfUnchanged(*ws.files, path, r.identity, result);
        traceLine(ws, ws.ThisUser + " Orphaned  " + path + " (" + r.line.substr(0, kLineMax) + ")" +
                          (removal == Removal::Deleted ? " removed" : " left"));
        L.IoResult = result;
        continue;
      }
      // A lock left by this same workstation counts as taken again.
      L.LockBusy = !ownLine(L, L.HolderStation, ws.StationId, holder);
      if (!L.LockBusy) L.OwnLines[std::string(lockName)] = r.line;
      return !L.LockBusy;
    }
    L.IoResult = r.result;
    L.HolderInitials.clear();
    L.HolderStation.clear();
    // A lock this account may not read belongs to another account (made
    // before lock files were readable by all, or under other rules): it is
    // held, however long it stays so.
    if (r.denied || !deadLockFile(ws, path, r.identity)) {
      if (r.denied) L.Unreadable = {};
      L.LockBusy = true;
      return false;
    }
    int result = io::Ok;
    removeIfUnchanged(*ws.files, path, r.identity, result);
    L.IoResult = result;
    L.Unreadable = {};
  }
  L.LockBusy = true;
  return false;
}

bool AcquireLock(Workstation& ws, std::string_view lockName, std::string_view tag) {
  LockState& L = ws.locks;
  L.LastLockName = std::string(lockName);
  L.LockBusy = false;
  if (!ws.MultiUser || ws.ThisUser.empty()) return true;
  if (auto held = L.Taken.find(lockName); held != L.Taken.end()) {
    ++held->second;
    return true;
  }
  WaitScope waiting(ws);
  BreakRequestScope asked{ws};
  const bool quitOnEntry = ws.QuitRequested;
  for (;;) {  // once more after every break on the user's demand
    L.LockBusy = false;
    int key = 0;
    // Only keys pressed during this wait answer it: not one pressed on the
    // note after an earlier wait ended, nor one typed during a pause.
    if (ws.platform.lockAlert) ws.platform.lockAlert->takeKeyAnswer();
    if (ws.platform.events) ws.platform.events->forgetTypedKeys();
    LockFileIdentity prevHolding;
    std::int64_t waitStartMs = ws.platform.clock->monotonicMs();
    bool restart = false;
    int busyRounds = 0;
    while (!restart) {
      TryLock(ws, lockName, tag);
      // No lock file can be made here: reported, and waiting would not help.
      if (L.LockFailed) return false;
      if (L.LockBusy) {
        if (ws.platform.lockAlert) {
          std::string text = MessageText(ws, 16) + " " + L.HolderInitials + "\r\n" + MessageText(ws, 17);
          ws.platform.lockAlert->flash(text.substr(0, 80), 1000);
        }
        // A handler run from here may take and release locks of its own;
        // what this wait decides on is the lock file it examined.
        const ExaminedLock examined = examinedLock(L);
        if (int typed = ws.platform.events ? ws.platform.events->processEvents() : 0) key = typed;
        if (int answered = ws.platform.lockAlert ? ws.platform.lockAlert->takeKeyAnswer() : 0) key = answered;
        restoreExamined(L, examined);
        L.LastLockName = std::string(lockName);
        if (key == kKeyBreak) {
          BreakLock(ws);
          restart = true;
          continue;
        }
      }
      // Stale-lock timeout, measured on the monotonic clock; the wait
      // starts again whenever the lock file is another one (another file,
      // or another line in it): a station that takes the lock again and
      // again is not one long hold. Only a lock held by another
      // workstation is broken, never the one just taken.
      int timeout = ws.mcfg.i16(mcfg::LockTimeout);
      if (timeout > 0 && L.LockBusy) {
        std::int64_t now = ws.platform.clock->monotonicMs();
        if (!(L.Examined == prevHolding)) waitStartMs = now;
        prevHolding = L.Examined;
        if (now - waitStartMs >= timeout * 1000LL && L.LockLine.find("!!") == std::string::npos) BreakLock(ws);
      }
      // A holder that stopped refreshing its lock is gone: nobody has to
      // press a key, nor set a timeout, for the office to go on.
      if (unrefreshedLock(ws)) {
        traceLine(ws, ws.ThisUser + " Unrefreshed " + L.ExaminedPath + " (" + L.LockLine + ")");
        BreakLock(ws);
        L.Unrefreshed = {};
      }
      if (!L.LockBusy) {
        L.Taken.emplace(std::string(lockName), 1);
        // An interrupted purge or restore is finished before anything is
        // written under this lock.
        return SettlePendingMaintenance(ws, lockName, tag);
      }
      tellWhenUnanswered(ws, lockName);
      if (key == kKeyEsc) return false;
      // The application is closing: give up rather than keep it waiting.
      if (!quitOnEntry && ws.QuitRequested) return false;
      PauseMs(ws, waitPauseMs(ws, busyRounds++));
    }
  }
}

void ReleaseLock(Workstation& ws, std::string_view lockName) {
  LockState& L = ws.locks;
  if (!ws.MultiUser) return;
  if (auto held = L.Taken.find(lockName); held != L.Taken.end()) {
    // The outermost take releases the file.
    if (--held->second > 0) return;
    L.Taken.erase(held);
  }
  if (auto own = L.OwnLines.find(lockName); own != L.OwnLines.end()) L.OwnLines.erase(own);
  if (traceLogOn(ws)) traceLine(ws, "Unlocking \"" + std::string(lockName) + "\" " + traceSuffix(ws));

  const std::string path = LockFilePath(ws, lockName);
  auto attemptLine = [&](const char* what, int err, int attempt) {
    traceLine(ws, ws.ThisUser + what + path + " (" + traceTime(ws, 1) + " - " + FormatDay(ws, ws.Today) +
                      ")  err=" + std::to_string(err) + "  Attmpt=" + std::to_string(attempt));
  };

  // Only a lock this workstation holds is removed; an unreadable file is
  // left to the grace rule of the next workstation that wants the lock. A
  // share may answer a read or a delete with an error for a moment (the
  // file is still open on another client), so both are tried again.
  int reads = 0, failures = 0, denials = 0;
  // The lock file made by the take, if it was kept open, answers the first
  // look; a delete that fails looks at the file itself again.
  bool knownOurs = false, broken = false;
  if (const int fd = L.HeldFiles.take(lockName); fd >= 0) {
    struct stat st {};
    const bool statted = L.Holding == kHoldOnServer || ws.files->fstat(fd, &st) == 0;
    // Closed before the delete: a file server refuses to delete a file
    // that is still open.
    ws.files->close(fd);
    broken = statted && L.Holding != kHoldOnServer && st.st_nlink == 0;
    knownOurs = statted && !broken;
    if (broken) traceLine(ws, ws.ThisUser + " Broken    " + path + " (deleted by another workstation; left alone)");
  }
  while (!broken && reads < kReleaseAttempts && failures < kReleaseAttempts) {
    if (knownOurs) {
      int result = io::Ok;
      Removal removal = removeFile(*ws.files, path, result);
      const bool busy = errno == EBUSY;
      if (removal == Removal::Deleted || removal == Removal::Gone) break;
      L.IoResult = result;
      ++failures;
      // A file server answers "busy" while it still closes this
      // workstation's own handle (closing returns before the server is
      // told), and while another client reads the lock: either way the
      // file is still ours. Anything else is looked at afresh.
      knownOurs = busy && failures < kBusyRetries;
      // Asking again at once only keeps the server from closing it.
      if (knownOurs) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    LockRead r = readLockFile(*ws.files, path);
    if (!r.exists) break;
    // A file this account may not read was not made by this workstation,
    // unless the refusal passes (a share refuses for a moment while another
    // client looks at the file): leaving its own lock would hold the others
    // up until they break it.
    if (r.denied && ++denials >= kDeniedReads) break;
    if (r.denied) continue;
    if (r.result != io::Ok || trimBlanks(std::string_view(r.line).substr(0, 3)).empty()) {
      if (++reads % kReleaseTraceEvery == 0) attemptLine(" CantRead  ", r.result, reads);
      continue;
    }
    L.LockLine = r.line;
    L.HolderInitials.clear();
    L.HolderStation.clear();
    parseHolder(L, r.line);
    // A lock held by another workstation, or another copy of this one, is
    // left alone.
    if (!ownLine(L, L.HolderStation, ws.StationId, holderProcess(r.line))) break;
    // The file was read an instant ago: reading it once more before the
    // delete would leave a gap as wide as this one.
    int result = io::Ok;
    Removal removal = removeFile(*ws.files, path, result);
    if (removal == Removal::Deleted || removal == Removal::Gone) break;
    L.IoResult = result;
    if (++failures % kReleaseTraceEvery == 0) attemptLine(" CantErase ", result, failures);
  }
  if (failures >= kReleaseAttempts) L.ReleaseFailed = true;
  L.HolderInitials.clear();
  L.HolderStation.clear();
  L.LockBusy = false;
  ShowHeldReports(ws);
}

void ReleaseAllLocks(Workstation& ws) {
  while (!ws.locks.Taken.empty()) {
    const std::string name = ws.locks.Taken.begin()->first;
    ws.locks.Taken.begin()->second = 1;
    ReleaseLock(ws, name);
  }
}

bool LockStillHeld(Workstation& ws, std::string_view lockName) {
  LockState& L = ws.locks;
  if (!ws.MultiUser || ws.ThisUser.empty()) return true;
  const auto own = L.OwnLines.find(lockName);
  if (own == L.OwnLines.end() || !L.Taken.count(std::string(lockName))) return false;
  const LockRead r = readLockFile(*ws.files, LockFilePath(ws, lockName));
  return r.exists && r.result == io::Ok && r.line == own->second;
}

void BreakLock(Workstation& ws) {
  LockState& L = ws.locks;
  if (L.LastLockName.empty()) return;
  const std::string path = LockFilePath(ws, L.LastLockName);
  LockFileIdentity id = L.ExaminedPath == path ? L.Examined : LockFileIdentity{};
  int result = io::Ok;
  const Removal removal = removeIfUnchanged(*ws.files, path, id, result);
  const int err = errno;
  L.IoResult = result;
  if (removal == Removal::Failed && refusedWhileOpen(err) && L.ExaminedPath == path && !L.LockLine.empty())
    askToLetGo(ws, L.LastLockName, L.LockLine);
}

void KeepHeldLocks(Workstation& ws) {
  LockState& L = ws.locks;
  const std::int64_t now = ws.platform.clock->monotonicMs();
  L.HeldFiles.refresh(now);
  if (L.BreakCheckedMs >= 0 && now - L.BreakCheckedMs < kBreakCheckMs) return;
  L.BreakCheckedMs = now;
  for (const std::string& name : L.HeldFiles.names()) {
    const auto own = L.OwnLines.find(name);
    if (own == L.OwnLines.end() || own->second.find("!!") != std::string::npos) continue;
    const std::string request = breakRequestPath(ws, name);
    std::string text;
    if (ReadFileBounded(*ws.files, request, kLineMax + 3, text) != io::Ok) continue;
    // A request for an earlier take of the lock frees nothing.
    if (text.substr(0, text.find_first_of("\r\n")) != own->second) continue;
    const std::string path = LockFilePath(ws, name);
    ws.files->close(L.HeldFiles.take(name));
    // The server is told of the close a moment after it returns.
    int result = io::Ok;
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
      if (removeFile(*ws.files, path, result) != Removal::Failed || errno != EBUSY) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    deleteFile(request, *ws.files);
    traceLine(ws, ws.ThisUser + " LetGo     " + path + " (" + own->second + ") at another workstation's request");
    L.OwnLines.erase(own);
  }
}

int NormalizeFileAttr(Workstation& ws, const std::filesystem::path& path) {
  if (!ws.MultiUser) return io::Ok;
  // Through the file opened as any file of the folder: the bits of whatever
  // a link planted under the name points to are never touched.
  struct stat lst;
  if (ws.files->stat(path.c_str(), &lst) != 0 || !S_ISREG(lst.st_mode)) return io::Ok;
  const int fd = ws.files->open(path.c_str(), O_RDONLY);
  if (fd < 0) return io::Ok;
  const int result = NormalizeOpenFileAttr(ws, fd, path);
  ws.files->close(fd);
  return result;
}

int NormalizeOpenFileAttr(Workstation& ws, int fd, const std::filesystem::path& path) {
  if (!ws.MultiUser) return io::Ok;
  // The folder's bits, not the umask's: a colleague's account with umask 022
  // or 077 would otherwise leave a file the others cannot write or read.
  const int result = ShareLikeFolderOf(*ws.files, fd, path);
  ws.locks.IoResult = result;
  return result;
}

HeldLockFiles::~HeldLockFiles() {
  for (const Held& h : fds_) ::close(h.fd);
}

void HeldLockFiles::keep(std::string_view name, int fd, std::int64_t nowMs) {
  for (Held& h : fds_)
    if (h.name == name) {
      ::close(h.fd);
      h.fd = fd;
      h.refreshedMs = nowMs;
      return;
    }
  fds_.push_back({std::string(name), fd, nowMs});
}

int HeldLockFiles::take(std::string_view name) {
  for (auto it = fds_.begin(); it != fds_.end(); ++it)
    if (it->name == name) {
      const int fd = it->fd;
      fds_.erase(it);
      return fd;
    }
  return -1;
}

std::vector<std::string> HeldLockFiles::names() const {
  std::vector<std::string> out;
  for (const Held& h : fds_) out.push_back(h.name);
  return out;
}

void HeldLockFiles::refresh(std::int64_t nowMs) {
  // A refresh that fails (a server that keeps times to itself) only makes
  // the lock look older; the holder's release is unaffected.
  for (Held& h : fds_)
    if (nowMs - h.refreshedMs >= RefreshMs) {
      ::futimens(h.fd, nullptr);
      h.refreshedMs = nowMs;
    }
}

void TraceFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string UserStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/egresso";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/state/egresso";
  return {};
}

namespace {
// The trace belongs to the user, not to whatever folder a script started
// the program in: his state folder, made (private) when missing.
std::string tracePath(const Workstation& ws) {
  std::string folder = ws.locks.TraceFolder;
  if (folder.empty()) {
    folder = UserStateFolder();
    if (folder.empty()) return {};
    std::error_code ec;
    if (std::filesystem::create_directories(folder, ec)) ::chmod(folder.c_str(), 0700);
  }
  return folder + "/TEST";
}
}  // namespace

void TraceOpen(Workstation& ws) {
  LockState& L = ws.locks;
  L.Trace.close();
  const std::string path = tracePath(ws);
  if (path.empty()) return;
  L.Trace.open(ws.files->open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0666));
}

void TraceClose(Workstation& ws) { ws.locks.Trace.close(); }

void traceLine(Workstation& ws, std::string_view line) {
  TraceOpen(ws);
  std::string text(line);
  text += "\r\n";
  // The trace is the last word on a failure: it has none of its own to tell.
  if (ws.locks.Trace.fd() >= 0) AppendAt(*ws.files, ws.locks.Trace.fd(), text);
  TraceClose(ws);
}

std::string traceTime(Workstation& ws, int style) {
  return FormatTime(ws, CurrentTimeHHMM(ws), true, true, style);
}

std::string traceSuffix(Workstation& ws) {
  return PadText(ws.ThisUser, -3) + " " + PadText(FormatDay(ws, ws.Today), -9) + " : " + PadText(traceTime(ws), 6);
}

}  // namespace egresso
