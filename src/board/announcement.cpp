#include "board/announcement.h"


#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/form_rules.h"
#include "text/notices.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/file_access.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

// The file's lines joined by "\n"; false when the file cannot be read.
bool ReadAnnouncementFile(Workstation& ws, const std::string& path, std::string& text) {
  std::string all;
  if (ReadFileBounded(*ws.files, path, kBodyCap, all) != io::Ok) return false;
  text.clear();
  for (char c : all)
    if (c != '\r') text += c;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return true;
}

bool WriteAnnouncementFile(Workstation& ws, const std::string& path, std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  if (!out.empty()) out += "\r\n";
  return WriteFileReplacing(*ws.files, path, out) == io::Ok;
}

std::string LoadAnnouncement(Workstation& ws, std::string_view failureTag) {
  const std::string& path = ws.paths.AnnouncementFile;
  if (!fileExists(path)) return MessageText(ws, 1716) + MessageText(ws, 1717) + MessageText(ws, 1718);
  std::string text;
  if (!ReadAnnouncementFile(ws, path, text)) ReportException(ws, "EInOutError", path, failureTag);
  return text;
}

}  // namespace

std::string GetAnnouncement(Workstation& ws) {
  ws.AnnouncementChanged = false;
  return LoadAnnouncement(ws, "\"BBMMO1\"");
}

MemoSave MemoExit(Workstation& ws, bool modified, std::string_view text, std::string* reloaded) {
  if (ws.options.MemoReadOnly || !modified) return MemoSave::Unchanged;
  HeldLock lock(ws, "EGMEMO", "BBMMO");
  if (!lock) return MemoSave::Busy;
  const int answer =
      UltimateDialog(ws, MessageText(ws, 1914), 3, MessageText(ws, 407), MessageText(ws, 408), "", 1);
  MemoSave result = MemoSave::Discarded;
  bool ok = true;
  if (answer == 1) {
    result = MemoSave::Saved;
    ok = WriteAnnouncementFile(ws, ws.paths.AnnouncementFile, text);
    NormalizeFileAttr(ws, ws.paths.AnnouncementFile);
  } else {
    const std::string fresh = LoadAnnouncement(ws, "\"BBMMO3\"");
    if (reloaded) *reloaded = fresh;
  }
  lock.release();
  // The letters go out once the announcement is written and its lock is
  // free: each takes its reader's own lock.
  if (result == MemoSave::Saved && ok) {
    for (int slot = 1; slot <= mcfg::Employees; ++slot) {
      if (slot == ws.UserSlot) continue;
      const std::string initials = ws.mcfg.empInitials(slot);
      if (!initials.empty() && PostNotification(ws, initials, 'B') != io::Ok) ok = false;
    }
  }
  if (!ok) ReportException(ws, "EInOutError", ws.paths.AnnouncementFile, "\"BBMMO2\"");
  ws.board.MemoEnlarged = false;
  return result;
}

}  // namespace egresso
