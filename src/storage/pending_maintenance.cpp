#include "storage/pending_maintenance.h"

#include <string>
#include <utility>
#include <vector>

#include "core/waiting.h"
#include "core/workstation.h"
#include "storage/file_set.h"
#include "storage/locks.h"

namespace egresso {

namespace {

// A journal that names no locks was written by a run that held every lock
// of a restore, or asks for as much.
const std::vector<std::string>& everyMaintenanceLock() {
  static const std::vector<std::string> locks = {lockname::Backup, lockname::Schedule, lockname::Log,
                                                 lockname::Project, lockname::Memo, lockname::Locate};
  return locks;
}

// How long a viewer waits for a switch another workstation carries out.
constexpr int kViewerWaitMs = 2000, kViewerPauseMs = 100;

}  // namespace

bool FinishPendingMaintenance(Workstation& ws) {
  const std::string& folder = ws.paths.DataFolder;
  std::vector<std::string> locks;
  if (!FileSetSwitchPending(*ws.files, folder, &locks)) return true;
  if (locks.empty()) locks = everyMaintenanceLock();
  LockState& L = ws.locks;
  const bool outer = !std::exchange(L.FinishingMaintenance, true);
  std::vector<std::string> taken;
  for (const std::string& name : locks) {
    if (!AcquireLock(ws, name, kJournalLockTag)) break;
    taken.push_back(name);
  }
  bool finished = false;
  if (taken.size() == locks.size()) {
    CompleteFileSetSwitch(folder, *ws.files, [&ws](int ms) { PauseMs(ws, ms); });
    finished = !FileSetSwitchPending(*ws.files, folder);
    traceLine(ws, std::string(finished ? "MaintJournal done " : "MaintJournal failed ") + traceSuffix(ws));
  }
  for (auto it = taken.rbegin(); it != taken.rend(); ++it) ReleaseLock(ws, *it);
  if (outer) L.FinishingMaintenance = false;
  return finished;
}

bool SettlePendingMaintenance(Workstation& ws, std::string_view lockName, std::string_view tag) {
  LockState& L = ws.locks;
  if (L.FinishingMaintenance || !FileSetSwitchPending(*ws.files, ws.paths.DataFolder)) return true;
  const bool alone = L.Taken.size() == 1;
  if (alone) ReleaseLock(ws, lockName);
  const bool finished = FinishPendingMaintenance(ws);
  if (!finished) {
    if (!alone) ReleaseLock(ws, lockName);
    L.LockBusy = true;
    return false;
  }
  // Taken again, and looked at again: another journal may have come meanwhile.
  return alone ? AcquireLock(ws, lockName, tag) : true;
}

bool SettledForReading(Workstation& ws, bool mayWrite) {
  if (!FileSetSwitchPending(*ws.files, ws.paths.DataFolder)) return true;
  if (mayWrite) return FinishPendingMaintenance(ws);
  for (int waited = 0; waited < kViewerWaitMs; waited += kViewerPauseMs) {
    PauseMs(ws, kViewerPauseMs);
    if (!FileSetSwitchPending(*ws.files, ws.paths.DataFolder)) return true;
  }
  return false;
}

void FinishPendingMaintenanceAtStart(Workstation& ws) {
  if (!FileSetSwitchPending(*ws.files, ws.paths.DataFolder)) return;
  const bool multiUser = std::exchange(ws.MultiUser, true);
  const std::string user = ws.ThisUser;
  // A lock line needs initials; a start that does not know its user yet
  // still holds the locks as somebody.
  if (ws.ThisUser.empty()) ws.ThisUser = "?";
  FinishPendingMaintenance(ws);
  ws.ThisUser = user;
  ws.MultiUser = multiUser;
}

}  // namespace egresso
