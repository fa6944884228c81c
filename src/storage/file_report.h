// Reports of failed file steps, as the user reads them: which file, the
// system's reason, and what can be done about it; the I/O code and the
// caller's tag follow on a smaller line for whoever looks after the data
// folder. A report raised while this workstation holds a lock is kept until
// the last lock is released: a dialog left unanswered must not keep the
// other workstations out of the files.
#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

struct Workstation;

enum class FailureReason { ReadOnlyFileSystem, ReadOnlyFolder, PermissionDenied, Missing, InputOutput, DiskFull, NotPlainFile, InUse, Other };

// Why a step on a file of folder failed: from the system's error number when
// it is known (0 when not), else from what the folder itself shows (gone, on
// a read-only file system, not writable for this account), else from the
// I/O result.
FailureReason ClassifyFailure(const std::string& folder, int code, int err);

// The reason in words, and what the user can do about it.
std::string FailureReasonText(Workstation& ws, FailureReason reason, int err);
std::string FailureAdvice(Workstation& ws, FailureReason reason);

// The report of a failed file step; path empty = a file of the data folder.
DialogRequest FileFailureReport(Workstation& ws, int code, std::string_view tag, std::string_view path, int err);

// The report of a file the program gives up on: the caller's sentence that
// names the file (lead), the reason in brackets, what to do, and ending.
DialogRequest GivenUpReport(Workstation& ws, int code, std::string_view tag, std::string_view path,
                            const std::string& lead, std::string_view ending);

// Shows a report with its single OK button now, or, while a lock is held,
// keeps it (once) until the last lock is released.
void ShowReport(Workstation& ws, DialogRequest request);
// Shows the reports kept while locks were held, each saying what was not
// done; ReleaseLock calls it when the last lock goes.
void ShowHeldReports(Workstation& ws);

// What the board tells about its data folder.
enum class FolderState { Usable, Gone, ReadOnly };
FolderState DataFolderState(const Workstation& ws);
// After a refused lock file made the folder count as read-only: once a
// minute, whether a file can be made in it again (then it is usable).
void RetryRefusedWrites(Workstation& ws);
// The line the board shows for a state (empty for a usable folder).
std::string FolderStateText(Workstation& ws, FolderState state);

}  // namespace egresso
