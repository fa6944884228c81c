#include "tools/editor.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "core/workstation.h"
#include "text/notices.h"
#include "config/config_store.h"
#include "messages/board_files.h"
#include "storage/file_access.h"
#include "storage/record_io.h"
#include "storage/record_files.h"
#include "text/fixed_width.h"
#include "tools/password.h"

namespace egresso {

namespace {

// Windows line ends in the file, "\n" in the text area.
std::string FromFileText(const std::string& raw) {
  std::string t;
  t.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r') {
      t += '\n';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    } else {
      t += raw[i];
    }
  }
  // Every line of the file ends with a line break; the last one starts no new line.
  if (!t.empty() && t.back() == '\n') t.pop_back();
  return t;
}

std::string ToFileText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 20 + 2);
  for (char c : text) {
    if (c == '\n')
      out += "\r\n";
    else
      out += c;
  }
  if (!text.empty()) out += "\r\n";
  return out;
}

std::string ClipboardText(Workstation& ws) {
  return ws.platform.clipboard ? FromFileText(ws.platform.clipboard->text() + "\n") : std::string();
}

}  // namespace

std::string MemoFilePath(const Workstation& ws, std::string_view initials) {
  return ws.paths.BulletinFolder + "/" + std::string(initials) + ".DAN";
}

bool RequestMemo(Workstation& ws, int slot) {
  const std::string initials = ws.mcfg.empInitials(slot);
  if (initials.empty()) return false;
  EditorRequest& r = ws.accessories.Editor;
  r.Path = MemoFilePath(ws, initials).substr(0, 254);
  r.EmployeeIndex = slot;
  const std::string mainUser = ws.mcfg.mainUserInitials();
  const bool own = initials == ws.ThisUser;
  const bool isMainUser = !mainUser.empty() && mainUser == ws.ThisUser;
  r.Mode = own || isMainUser ? 1 : 2;
  return true;
}

void MemoClosed(Workstation& ws) {
  ws.accessories.Editor.Mode = 0;
  if (!ws.options.CompactMode) WritePersonalConfig(ws);
}

void MemoEditor::FormShow(const ToolRect& reference) {
  const EditorRequest& req = ws_.accessories.Editor;
  view = EditorView{};
  Area = MemoArea{};
  Modified = false;
  UndoStart = UndoLength = 0;

  if (ws_.options.CompactMode) {
    view.Bounds = reference;
  } else if (ws_.pcfg.i16(pcfg::EditorPlacement) != 0) {
    view.Bounds = {ws_.pcfg.i16(pcfg::EditorPlacement + 2), ws_.pcfg.i16(pcfg::EditorPlacement),
                   ws_.pcfg.i16(pcfg::EditorPlacement + 4), ws_.pcfg.i16(pcfg::EditorPlacement + 6)};
  } else {
    view.Bounds = {reference.left + 35, reference.top + 25, reference.width - 70, reference.height - 70};
  }
  view.Colour = ws_.pcfg.color(1);
  const double scale = ws_.options.FontScale > 0 ? ws_.options.FontScale : 1.0;
  view.FontSize = static_cast<int>(std::lround(9 * scale));

  view.FileMenu = MessageText(ws_, 41);
  view.SaveItem = MessageText(ws_, 74);
  view.SaveAsItem = MessageText(ws_, 1471);
  view.ExitItem = MessageText(ws_, 30);
  view.FindItem = MessageText(ws_, 1071);
  view.CutItem = MessageText(ws_, 92);
  view.PasteItem = MessageText(ws_, 93);
  view.EditMenu = MessageText(ws_, 48);
  view.CopyItem = MessageText(ws_, 86);
  view.Caption = MessageText(ws_, 1021);
  view.OkCaption = MessageText(ws_, 74);
  view.CancelCaption = MessageText(ws_, 344);
  view.HelpItem = MessageText(ws_, 43);

  Load();
  const std::string name = TrimText(ws_.mcfg.empName(req.EmployeeIndex));
  view.Caption = name + " " + MessageText(ws_, 1797);
  if (req.Mode == 2) {
    view.ReadOnly = true;
    view.CancelVisible = false;
    view.OkCaption = MessageText(ws_, 344);
    view.SaveEnabled = view.SaveAsEnabled = view.CutEnabled = view.PasteEnabled = false;
    const std::string code = ws_.mcfg.empInitials(req.EmployeeIndex);
    std::string caption = code + MessageText(ws_, 1798) + view.Caption;
    if (code == ws_.ThisUser) caption = name + " " + MessageText(ws_, 27) + " " + caption;
    view.Caption = caption + ")";
  }
}

void MemoEditor::Load() {
  const std::string& path = ws_.accessories.Editor.Path;
  std::error_code ec;
  NewFile = !std::filesystem::exists(path, ec);
  if (NewFile) return;
  // A memo is read up to the body cap and one byte more, whatever stands
  // under its name: a device or an endless file is never loaded whole.
  std::string raw;
  if (ReadFileBounded(*ws_.files, path, kBodyCap + 1, raw) != io::Ok || raw.size() > kBodyCap) {
    ReportException(ws_, "EFOpenError", "Cannot open file \"" + path + "\"", "\"EEDIT1\"");
    return;
  }
  Area.Text = FromFileText(raw);
}

bool MemoEditor::Save() {
  const std::string& path = ws_.accessories.Editor.Path;
  // Written beside the memo and then put in its place, so a colleague
  // reading the memo meanwhile never sees half of it.
  if (WriteFileReplacing(*ws_.files, path, ToFileText(Area.Text)) != io::Ok) {
    ReportException(ws_, "EFCreateError", "Cannot create file \"" + path + "\"", "\"EEDIT2\"");
    return false;
  }
  NewFile = false;
  return true;
}

void MemoEditor::Cut() {
  const int start = std::clamp(Area.SelStart, 0, static_cast<int>(Area.Text.size()));
  const int len = std::clamp(Area.SelLength, 0, static_cast<int>(Area.Text.size()) - start);
  if (ws_.platform.clipboard) ws_.platform.clipboard->setText(Area.Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(len)));
  Area.Text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(len));
  Area.SelStart = start;
  Area.SelLength = 0;
}

void MemoEditor::PasteAtSelection() {
  const std::string clip = ClipboardText(ws_);
  const int start = std::clamp(Area.SelStart, 0, static_cast<int>(Area.Text.size()));
  const int len = std::clamp(Area.SelLength, 0, static_cast<int>(Area.Text.size()) - start);
  Area.Text.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(len), clip);
  Area.SelStart = start + static_cast<int>(clip.size());
  Area.SelLength = 0;
  UndoStart = start;
  UndoLength = static_cast<int>(clip.size());
}

bool MemoEditor::EditKeyDown(EditorKey key) {
  switch (key) {
    case EditorKey::AltBackspace: {
      if (UndoLength == 0 || view.ReadOnly) return true;
      Area.SelStart = std::clamp(UndoStart, 0, static_cast<int>(Area.Text.size()));
      Area.SelLength = 0;
      if (UndoLength < 0) {
        // Undoing a cut: the clipboard still holds the cut text.
        const std::string clip = ClipboardText(ws_);
        Area.Text.insert(static_cast<std::size_t>(Area.SelStart), clip);
        Area.SelLength = 0;
        Area.SelStart += static_cast<int>(clip.size());
      } else {
        Area.SelLength = UndoLength;
        Cut();
      }
      UndoLength = -UndoLength;
      Modified = true;
      return true;
    }
    case EditorKey::ShiftDel:
      if (view.ReadOnly || Area.SelLength <= 0) return true;
      UndoStart = Area.SelStart;
      UndoLength = -Area.SelLength;
      Cut();
      Modified = true;
      return true;
    case EditorKey::CtrlIns:
      CopyClick();
      return true;
    case EditorKey::ShiftIns:
      if (view.ReadOnly) return true;
      PasteAtSelection();
      Modified = true;
      return true;
    case EditorKey::Escape:
      CancelBtnClick();
      return true;
    case EditorKey::Find:
      EditFindClick();
      return true;
    case EditorKey::Other:
      if (!view.ReadOnly) Modified = true;
      return false;
  }
  return false;
}

void MemoEditor::PasteClick() {
  if (view.ReadOnly) return;
  PasteAtSelection();
  Modified = true;
}

void MemoEditor::CopyClick() {
  const int start = std::clamp(Area.SelStart, 0, static_cast<int>(Area.Text.size()));
  const int len = std::clamp(Area.SelLength, 0, static_cast<int>(Area.Text.size()) - start);
  if (len > 0 && ws_.platform.clipboard)
    ws_.platform.clipboard->setText(Area.Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(len)));
}

void MemoEditor::EditFindClick() {
  if (!CheckDataFolder(ws_)) return;
  PromptForText(ws_, 2);
  const std::string wanted = ws_.password.SearchText;
  if (wanted.empty()) return;
  // The next occurrence at or after the caret (the end of a selection, so
  // that Find again moves on), in the upper-cased text.
  const std::string upper = UpperText(Area.Text);
  const std::size_t from = static_cast<std::size_t>(std::max(0, Area.SelStart + Area.SelLength));
  const std::size_t at = from <= upper.size() ? upper.find(wanted, from) : std::string::npos;
  if (at != std::string::npos) {
    Area.SelStart = static_cast<int>(at);
    Area.SelLength = static_cast<int>(wanted.size());
    return;
  }
  UltimateDialog(ws_, "\"" + wanted + "\"" + MessageText(ws_, 1976), 2, MessageText(ws_, 29), "", "", 1);
  Area.SelStart = 0;
  Area.SelLength = 0;
}

void MemoEditor::OKbtnClick() {
  // A memo shown only for reading is never written: the owner may be
  // changing it at the same time.
  if (ws_.accessories.Editor.Mode == 1 && (Modified || NewFile)) Save();
  view.Closed = true;
}

void MemoEditor::CancelBtnClick() {
  if (Modified && view.CancelVisible) {
    const int answer = UltimateDialog(ws_, MessageText(ws_, 1024), 3, MessageText(ws_, 407), MessageText(ws_, 408), "", 1);
    if (answer != 1) return;
  }
  view.Closed = true;
}

void MemoEditor::Resized(const ToolRect& bounds) {
  const int mode = ws_.accessories.Editor.Mode;
  if (mode != 1 && mode != 2) return;
  view.Bounds = bounds;
  ws_.pcfg.setI16(pcfg::EditorPlacement, static_cast<std::int16_t>(bounds.top));
  ws_.pcfg.setI16(pcfg::EditorPlacement + 2, static_cast<std::int16_t>(bounds.left));
  ws_.pcfg.setI16(pcfg::EditorPlacement + 4, static_cast<std::int16_t>(bounds.width));
  ws_.pcfg.setI16(pcfg::EditorPlacement + 6, static_cast<std::int16_t>(bounds.height));
}

}  // namespace egresso
