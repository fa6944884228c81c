// File maintenance: compacting the message file (PurgeTaggedMessages),
// rebuilding the board indexes, and rolling the data folder back to a
// backup generation (RestoreData), with the dialog TFileMaint without its
// window. Every operation builds its new files under staging names and
// switches them in as one set (storage/file_set.h), so an interruption
// leaves the old files or the new ones.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace egresso {

struct Workstation;

// Progress of a long operation: the text for RcrdNum, and how much of the
// work is done (done of total; total 0 when unknown). The window updates
// its display and lets its events run.
using MaintProgress = std::function<void(const std::string& text, std::int64_t done, std::int64_t total)>;

// The deleted flag of an account record (68 bytes) of the suite's ACCT.DAF.
inline constexpr std::size_t kAccountRecordSize = 68;
inline constexpr std::size_t kAccountDeleted = 4;

// The tags of the purge's locks: maintenance locks ("!!"), which the
// stale-lock timeout never breaks.
inline constexpr const char* kPurgeMemoTag = "BBDL1 !!";
inline constexpr const char* kPurgeLocateTag = "BBDL2 !!";

// Removes the deleted messages from MESSAGE.DAF, renumbers the others and
// their bodies, rebuilds the message and location indexes and compacts the
// account file. Takes "MEMOLK" and "LOCATELK" itself (after the dialog's
// questions, never before), and changes nothing when another workstation
// freed one of them before the new files are switched in.
void PurgeTaggedMessages(Workstation& ws, const MaintProgress& progress = {});
// Rebuilds MESSAGE.DAI and LOCATE.DAI from their data files.
void RebuildBoardIndexes(Workstation& ws, const MaintProgress& progress = {});
// Restores backup generation n (0..4) of every data file; the files it
// replaces become generation 9. Only the main user; takes its own locks.
void RestoreData(Workstation& ws, int n, const MaintProgress& progress = {});
// Completes a switch of files left unfinished by an interrupted run
// (any workstation may; the journal says what to do).
bool CompleteInterruptedMaintenance(Workstation& ws);

// Bytes free on the data folder's drive; -1 when it cannot be measured.
std::int64_t FreeDiskSpace(const Workstation& ws);

struct FileMaintView {
  std::string Caption, Label1, Label2;
  std::string RcrdNum;          // the progress line
  bool RcrdNumVisible = false;
  std::int64_t Done = 0, Total = 0;  // the progress bar
  std::string OkCaption, CancelCaption;
  bool Busy = false;            // the work runs: the buttons are disabled
  bool Closed = false;
};

// The dialog in mode "O" (delete tagged messages).
class FileMaintDialog {
 public:
  explicit FileMaintDialog(Workstation& ws) : ws_(ws) {}

  void FormShow();
  // OK: runs the purge, reporting through onProgress, and closes.
  void OKbtnClick();
  // Cancel: asks; closes on Yes.
  void CancelBtnClick();

  FileMaintView view;
  std::int64_t FreeBytes = -1;
  // Called after each progress step with the view brought up to date.
  std::function<void()> onProgress;

 private:
  Workstation& ws_;
};

}  // namespace egresso
