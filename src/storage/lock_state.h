// Lock-protocol state, trace-file and configuration-storage state of one workstation.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/services.h"

namespace egresso {

// The trace file's descriptor; a copy of the workstation starts with it
// closed.
class TraceFile {
 public:
  TraceFile() = default;
  ~TraceFile() { close(); }
  TraceFile(const TraceFile&) {}
  TraceFile& operator=(const TraceFile& other) {
    if (this != &other) close();
    return *this;
  }
  int fd() const { return fd_; }
  void open(int fd) {
    close();
    fd_ = fd;
  }
  void close();

 private:
  int fd_ = -1;
};

// Descriptors of the lock files this workstation made and still holds,
// by lock name (storage/locks.cpp says why they stay open); closed with
// the workstation. Every wait of the workstation (a pause, a wait for
// another lock) gives those held for RefreshMs the present time: the
// others see that their holder still runs and take a lock left
// unrefreshed for a dead one. No thread does it, so a workstation that
// hangs outside a wait looks dead too, and a copy of the process made by
// fork has no other thread to deadlock with.
class HeldLockFiles {
 public:
  HeldLockFiles() = default;
  HeldLockFiles(const HeldLockFiles&) = delete;
  HeldLockFiles& operator=(const HeldLockFiles&) = delete;
  ~HeldLockFiles();
  // Keeps fd for name (closing one kept before under it), refreshed at nowMs.
  void keep(std::string_view name, int fd, std::int64_t nowMs = 0);
  // Hands over the descriptor kept for name (-1: none); the caller closes it.
  int take(std::string_view name);
  // Gives the present time to every file refreshed RefreshMs or more ago.
  void refresh(std::int64_t nowMs);
  // The names of the locks whose files are kept.
  std::vector<std::string> names() const;

  static constexpr int RefreshMs = 4000;

 private:
  struct Held {
    std::string name;
    int fd;
    std::int64_t refreshedMs;
  };
  // Few at a time: a list, so a take and release ask for no memory.
  std::vector<Held> fds_;
};

// Names of the locks that guard the shared files (each is the file
// <name>.LOK in the data folder while held).
namespace lockname {
inline constexpr const char* Locate = "LOCATELK";   // in/out board files
inline constexpr const char* Memo = "MEMOLK";       // message and archive board files
inline constexpr const char* InOutLog = "EGLOG";    // the sign-in/out text log
inline constexpr const char* Announcement = "EGMEMO";
inline constexpr const char* Schedule = "SCHED";
inline constexpr const char* Log = "LOG";           // the monthly log sets
inline constexpr const char* ConfigAll = "CFGMAIN"; // the configuration during long operations
inline constexpr const char* ConfigRecord = "MCFG"; // one read or write of the main configuration
inline constexpr const char* Backup = "BAK";        // the backup folder
inline constexpr const char* Project = "PROJ";
}  // namespace lockname

// What identifies one particular lock file: its file number on its device
// and the bytes it holds. Times and sizes are not part of it: a file server
// sets them when it pleases (on closing the creating handle, say), so they
// would make a workstation's own lock look like somebody else's. A file
// number alone is not enough either: a local file system hands the number
// of a deleted file to the next one created, and another workstation's
// lock line differs from the one examined.
struct LockFileIdentity {
  bool known = false;
  std::uint64_t device = 0, inode = 0;
  std::string content;  // the start of the file as read
  bool operator==(const LockFileIdentity&) const = default;
};

// The lock-wait note (TBeepMssg): whether it is on screen and the key it
// was answered with.
struct BeepState {
  bool BeepShowing = false;
  int BeepKeyAnswer = 0;  // 27 Esc (give up), 6 Ctrl+F (break the lock), 0 none
  int Interval = 1000;    // of the note on screen; 1 = stays until closed otherwise
};

struct LockState {
  // Result of the last take: true = not taken.
  bool LockBusy = false;
  // Read from the last lock file examined.
  std::string HolderInitials;  // at most 3
  std::string HolderStation;   // at most 15
  std::string LockLine;        // at most 120
  // Name of the lock the last AcquireLock call waited for (BreakLock deletes it).
  std::string LastLockName;
  // Locks this workstation holds, with the number of takes not yet
  // released: a command run inside another one's wait may take a lock that
  // command holds, and its release must leave the lock to that command.
  std::map<std::string, int, std::less<>> Taken;
  // The line of each lock this workstation holds, as its take wrote or
  // found it: the lock is still its own while the file holds that line.
  std::map<std::string, std::string, std::less<>> OwnLines;
  // The lock files made by this workstation's takes, kept open while held.
  HeldLockFiles HeldFiles;
  // How lock files are held on the file system of device HeldOnDevice
  // (storage/locks.cpp): 0 not yet known, else a LockHolding value.
  std::uint64_t HeldOnDevice = 0;
  int Holding = 0;
  // Completing an interrupted maintenance run's journal: the takes of its
  // locks do not look for the journal again.
  bool FinishingMaintenance = false;
  // I/O result of the last lock-file step.
  int IoResult = 0;
  // The last take failed because no lock file could be made (reported to
  // the user unless the same failure was reported already); the lock is
  // not held and waiting would not change that.
  bool LockFailed = false;
  // The failure last reported, so that a folder that stays unusable is
  // reported once, not at every take; 0 once a lock file was made again.
  int ReportedFailure = 0;
  // A lock file was refused as on a read-only folder (a share whose client
  // says it may be written when it may not): the folder counts as read-only
  // until a file can be made in it again, which is tried now and then
  // (RefusedProbeMs: the last try).
  bool WritesRefused = false;
  std::int64_t RefusedProbeMs = 0;
  // Since when creating the lock file has been answered only with the
  // passing errors of a share (-1: not so); after TransientGraceMs of that
  // the folder counts as unusable.
  std::int64_t TransientSinceMs = -1;
  std::int64_t TransientLastMs = 0;
  int TransientGraceMs = 10000;

  // The lock file last examined, so that breaking it never deletes a lock
  // file another workstation created in its place meanwhile.
  LockFileIdentity Examined;
  std::string ExaminedPath;
  // An empty or unreadable lock file seen while waiting: when it stays the
  // same file for DeadLockGraceMs it is taken to be left by a workstation
  // that died while creating it.
  LockFileIdentity Unreadable;
  std::string UnreadablePath;
  std::int64_t UnreadableSinceMs = 0;
  int DeadLockGraceMs = 2000;
  // A lock whose holder promises to refresh its file (the line says so)
  // and whose file has stayed the very same, time included, this long is
  // taken to be left by a workstation that died or froze: it is broken
  // without anyone's word, whatever the stale-lock timeout. Maintenance
  // locks ("!!") are never broken so.
  int UnrefreshedMs = 15000;
  // A break on a file server: the server refuses to delete a lock file its
  // holder keeps open, so the breaker leaves a request beside it
  // (<name>.BRK, holding the line of the lock to free) that the holder
  // answers in its waits by letting go. The request this workstation left,
  // since when, and whether the user was told that it went unanswered.
  std::string BreakAskedPath, BreakAskedLine;
  std::int64_t BreakAskedMs = 0;
  bool BreakRefusalTold = false;
  // How long a request may go unanswered before the user is told why the
  // lock cannot be freed from here.
  int BreakAnswerMs = 8000;
  // When this workstation last looked for requests to free its locks.
  std::int64_t BreakCheckedMs = -1;
  // The lock file and its time at the first look that found them so.
  LockFileIdentity Unrefreshed;
  std::int64_t UnrefreshedTimeNs = 0;
  std::int64_t UnrefreshedSinceMs = 0;
  // The time of the lock file last examined (nanoseconds since the epoch).
  std::int64_t ExaminedTimeNs = 0;
  // Pause between two looks at a busy lock: the first, and the most it
  // grows to while the lock stays busy.
  int WaitRoundMs = 25;
  int MaxWaitRoundMs = 250;
  // State of the draw that spreads the pauses of workstations waiting for
  // one lock (0 = not yet seeded).
  std::uint32_t WaitJitter = 0;

  // This process as its lock lines name it after the station ("P<pid>@<computer
  // and boot>"): a waiter on the same computer whose holder's process is
  // gone takes the lock at once, and two copies of one station (the window
  // and the command line) never take each other's lock for their own.
  // Empty: not yet made.
  std::string ProcessTag;
  // Counts the takes, so that every lock file this workstation makes has a
  // line of its own: a waiter tells a lock taken again from one held long.
  std::uint32_t Takes = 0;

  // Folder of the trace file "TEST"; empty = the process's current folder.
  std::string TraceFolder;
  TraceFile Trace;

  // True when the last configuration read read its record.
  bool ConfigRead = false;
  // The last configuration read found its file there but could not read it
  // (refused, or failing): that is neither a missing nor a damaged file, so
  // nothing was restored or written over it.
  bool ConfigUnreadable = false;
  // The personal record in memory stands in for a file that is there but
  // could not be read whole: it is never written over that file.
  bool PersonalStandIn = false;

  BeepState beep;

  // Reports raised while a lock was held: a dialog waiting for an answer
  // must not keep the other workstations out, so they are shown once the
  // last lock is released (storage/file_report.h).
  std::vector<DialogRequest> HeldReports;
  // What the command that raised them did not finish, by the locks held then.
  std::vector<std::string> HeldReportLocks;
  // File failures reported since the process started, and a lock file this
  // workstation could not remove: the command line turns both into its exit.
  int FailuresReported = 0;
  bool ReleaseFailed = false;
  // The report last shown and when (monotonic ms): the same report again
  // within a minute (a start-up that writes one file twice) is not shown.
  std::string LastReport;
  std::int64_t LastReportMs = 0;
};

}  // namespace egresso
