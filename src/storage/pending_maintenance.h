// A purge or restore interrupted after its journal was written leaves the
// data folder half-switched: until the journal is completed, nothing may be
// written to the files it names, or its completion would undo that work (a
// message sent meanwhile replaced by the staged copy, a new message written
// into a file that no longer matches its index). So whoever meets the
// journal — a start, or any take of a lock — completes it first, holding
// the locks of the run that wrote it.
#pragma once

#include <string_view>

namespace egresso {

struct Workstation;

// The call-site tag of the locks taken to complete a journal.
inline constexpr const char* kJournalLockTag = "MAINT.JNL";

// Completes a pending journal under its locks (this workstation's own
// takes nest); true when no journal is pending afterwards.
bool FinishPendingMaintenance(Workstation& ws);

// Called by a take of lockName that has just got its lock file: with a
// journal pending, completes it first. A command holding no other lock gives
// its lock back meanwhile and takes it again afterwards, so that locks are
// always taken in the journal's order. False (the lock not held) when the
// journal could not be completed.
bool SettlePendingMaintenance(Workstation& ws, std::string_view lockName, std::string_view tag);

// Before reading the shared files without a lock: a set whose switch is
// unfinished is never read. A workstation that may write completes the
// switch (waiting for the locks of the run that is still carrying it
// out); a viewer waits a moment for the journal to go. False when the set
// is still half-switched: the caller reads nothing and shows what it had.
bool SettledForReading(Workstation& ws, bool mayWrite);

// At the start, before the main configuration is read: the user may not be
// known yet, and the folder's mode not decided; the journal's locks are
// taken all the same.
void FinishPendingMaintenanceAtStart(Workstation& ws);

}  // namespace egresso
