// The personal memo editor TEditForm without its window: the memo file,
// edit and view modes, window placement, the one-step keyboard undo of cut
// and paste, Find, and saving with the discard question. The window
// (tools/editor_qt.h) copies its text area into Area around every call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/accessory_state.h"

namespace egresso {

struct Workstation;

// The memo file of an employee: BULLETIN/<initials>.DAN in the data folder.
std::string MemoFilePath(const Workstation& ws, std::string_view initials);

// The board's request for the memo of employee slot 1..50: editable when it
// is this user's own memo or this user is the main user, else read-only.
// False (and no request) for a slot without initials.
bool RequestMemo(Workstation& ws, int slot);
// After the editor has closed: no memo, and the remembered window written
// (not in compact mode).
void MemoClosed(Workstation& ws);

// The text area: the text with "\n" between lines, and the selection
// (a caret is a selection of length 0). Positions count characters.
struct MemoArea {
  std::string Text;
  int SelStart = 0;
  int SelLength = 0;
};

struct EditorView {
  std::string Caption;
  std::string FileMenu, SaveItem, SaveAsItem, ExitItem, FindItem, CutItem, PasteItem, EditMenu, CopyItem, HelpItem;
  std::string OkCaption, CancelCaption;
  bool ReadOnly = false;
  bool CancelVisible = true;
  bool SaveEnabled = true, SaveAsEnabled = true, CutEnabled = true, PasteEnabled = true;
  std::int32_t Colour = 0;  // form and text area, a record colour value
  int FontSize = 9;
  ToolRect Bounds;
  bool Closed = false;
};

enum class EditorKey { AltBackspace, ShiftDel, CtrlIns, ShiftIns, Escape, Find, Other };

class MemoEditor {
 public:
  explicit MemoEditor(Workstation& ws) : ws_(ws) {}

  // Opening for the workstation's editor request; reference is the board's
  // left, top, width - 8 and height - 4 (the placement's reference area).
  void FormShow(const ToolRect& reference);
  // A key in the text area; true when the editor dealt with it, false when
  // the text area goes on with its own handling.
  bool EditKeyDown(EditorKey key);
  void PasteClick();
  void CopyClick();
  void EditFindClick();
  // OK, Save, Save As: the memo written (edit mode), the form closed.
  void OKbtnClick();
  // Cancel, Exit, Esc: closes, asking first when there are changes.
  void CancelBtnClick();
  // The window's bounds changed (the form's timer): remembered for the next memo.
  void Resized(const ToolRect& bounds);

  EditorView view;
  MemoArea Area;
  bool Modified = false;
  bool NewFile = false;
  // The last keyboard cut (negative length) or paste (positive length).
  int UndoStart = 0;
  int UndoLength = 0;

 private:
  void Cut();
  void PasteAtSelection();
  void Load();
  bool Save();

  Workstation& ws_;
};

}  // namespace egresso
