#include "board/open_entry.h"

#include "board/board_list.h"
#include "board/refresh.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "startup/notices.h"
#include "storage/record_files.h"

namespace egresso {

namespace {

char Letter(Workstation& ws, int notice) {
  const std::string t = MessageText(ws, notice);
  return t.empty() ? (notice == 261 ? 'N' : 'E') : t[0];
}

// Another employee's entry is changed only after a "Yes".
bool ConfirmOthersEntry(Workstation& ws, int r, const BoardIndexEntry& e) {
  if (r == ws.UserSlot || ws.options.QuietBoard) return true;
  const int text = e.Key == 0 && !e.stale() ? 1458 : 1457;
  return UltimateDialog(ws, MessageText(ws, text), -1, MessageText(ws, 407), MessageText(ws, 408), "", 2) == 1;
}

// Shows the form for the request in ws.form, then a new message for every
// reply or forward the form asks for.
void ShowWithFollowUps(Workstation& ws, const ShowForm& show) {
  show();
  for (int guard = 0; (ws.form.ReplyPending || ws.form.ForwardPending) && guard < 100; ++guard) {
    ws.form.FormCommand = Letter(ws, 261);
    ws.form.PreselectedSlot = 0;
    show();
  }
  ws.form.ReplyPending = ws.form.ForwardPending = false;
}

}  // namespace

bool OutCommand(Workstation& ws, int r, const ShowForm& show) {
  if (!CheckDataFolder(ws)) return false;
  if (ws.ListMode == 1) {
    if (r < 1) r = ws.UserSlot;
    BoardIndexEntry e;
    // An entry the index does not hold yet is an employee who is in.
    const bool held = ReadBoardIndexEntry(BoardIndexFile(ws, BoardSet::Locations), r, e);
    if (!ConfirmOthersEntry(ws, r, e)) return false;
    if (held && e.stale()) {
      MorningSignIn(ws, r);
    } else if (!held || e.closed()) {
      ws.form.FormCommand = Letter(ws, r == ws.UserSlot ? 261 : 262);
      ws.form.OpenRecordNumber = r;
      ws.form.PreselectedSlot = r;
      show();
      UpdateOutHint(ws, r);
    } else {
      CloseEntry(ws, r, BoardSource::OutButton);
    }
  } else {
    ws.form.FormCommand = Letter(ws, 261);
    ws.form.PreselectedSlot = 0;
    ShowWithFollowUps(ws, show);
  }
  BoardTrace(ws, "OutBtnClick: ");
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  return true;
}

bool OpenEntry(Workstation& ws, int r, bool oldList, const ShowForm& show) {
  if (!CheckDataFolder(ws) || r < 0) return false;
  BoardIndexEntry e;
  ReadBoardIndexEntry(ws.paths.BoardIndexPath, r, e);
  if (ws.ListMode == 1) {
    if (!oldList && !ConfirmOthersEntry(ws, r, e)) return false;
    if (e.stale()) MorningSignIn(ws, r);
  }
  ws.form.FormCommand = Letter(ws, 262);
  ws.form.OpenRecordNumber = r;
  ws.form.PreselectedSlot = ws.ListMode == 1 ? r : 0;
  ShowWithFollowUps(ws, show);
  if (ws.ListMode == 1) UpdateOutHint(ws, ws.UserSlot);
  BoardTrace(ws, oldList ? "OldListDblClick: " : "NewListDblClick2: ");
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  return true;
}

}  // namespace egresso
