// Exclusion between workstations through lock files in the data folder,
// the attribute reset after writes, the I/O error report and the trace file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

// The lock file of a lock name: <DataFolder>/<name>.LOK.
std::string LockFilePath(const Workstation& ws, std::string_view lockName);

// One attempt; true when this workstation holds the lock afterwards (LockBusy
// false). False when another workstation holds it, or when no lock file can
// be made (LockFailed; reported with the tag, as a file step's error is).
bool TryLock(Workstation& ws, std::string_view lockName, std::string_view tag);
// Returns true when the lock is held (LockBusy false), false when the user
// gave up or no lock file can be made in the data folder.
bool AcquireLock(Workstation& ws, std::string_view lockName, std::string_view tag);
void ReleaseLock(Workstation& ws, std::string_view lockName);
// Releases every lock this workstation holds, however often taken: the way
// out of a command that cannot finish (an exception, a signal).
void ReleaseAllLocks(Workstation& ws);
// True while the lock file of lockName is still the one this workstation's
// take made or took (nobody broke it meanwhile): a long run checks it before
// it changes what the lock guards.
bool LockStillHeld(Workstation& ws, std::string_view lockName);
// Deletes the lock file last examined, whoever holds it, unless it is no
// longer that file (another file number, or another line in it): another
// workstation replaced it by a lock of its own meanwhile. A file server
// refuses to delete a lock file its holder keeps open: the holder is then
// asked to let go (a request <name>.BRK beside the lock, answered in the
// holder's waits), and the waiting user is told plainly when it does not.
void BreakLock(Workstation& ws);
// Called in every wait of the workstation: keeps the lock files it holds
// fresh, and lets go of a lock another workstation asked to free (never of
// a maintenance lock, "!!", whose run would otherwise go on unguarded).
void KeepHeldLocks(Workstation& ws);

// Gives a written file of this account at least the permission bits and
// the group its folder gives (SharedBits; multi-user mode only); returns
// the I/O result.
int NormalizeFileAttr(Workstation& ws, const std::filesystem::path& path);
// The same for a file this workstation has open (no second open of it).
int NormalizeOpenFileAttr(Workstation& ws, int fd, const std::filesystem::path& path);
// Reports a non-zero I/O result to the user with the caller's tag and traces
// it (storage/file_report.h): the file (path; empty = the data folder), the
// system's reason (err, the errno of the failed step; 0 = take it from errno
// when that agrees with code, else from the folder) and what to do. Shown
// only once no lock is held.
void ReportIoError(Workstation& ws, int code, std::string_view tag, std::string_view path = {}, int err = 0);

// The user's state folder ($XDG_STATE_HOME/egresso, else
// ~/.local/state/egresso); empty when neither is known.
std::string UserStateFolder();
// The trace file "TEST" in ws.locks.TraceFolder (the user's state folder
// when empty), opened for adding lines
// at its end (never with O_APPEND, which a share's client refuses).
void TraceOpen(Workstation& ws);
void TraceClose(Workstation& ws);
// Appends one line to the trace file; the suffix is the common trace suffix.
void traceLine(Workstation& ws, std::string_view line);
std::string traceSuffix(Workstation& ws);
// The current time as trace lines show it (style 0, or style 1: "8:30 AM").
std::string traceTime(Workstation& ws, int style = 0);

}  // namespace egresso
