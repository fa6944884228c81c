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

constexpr int kNoticeChangedMeanwhile = 2093;

// A text as the file gives it back once written: no carriage returns, no
// line ends at its end.
std::string AsStored(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// The file's lines joined by "\n"; false when the file cannot be read.
bool ReadAnnouncementFile(Workstation& ws, const std::string& path, std::string& text) {
  std::string all;
  if (ReadFileBounded(*ws.files, path, kBodyCap, all) != io::Ok) return false;
  text = AsStored(all);
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

std::string Invitation(Workstation& ws) { return MessageText(ws, 1716) + MessageText(ws, 1717) + MessageText(ws, 1718); }

// What the file holds now ("" when there is none); false when it cannot be read.
bool AnnouncementOnDisk(Workstation& ws, std::string& text) {
  text.clear();
  const std::string& path = ws.paths.AnnouncementFile;
  return !fileExists(path) || ReadAnnouncementFile(ws, path, text);
}

std::string LoadAnnouncement(Workstation& ws, std::string_view failureTag) {
  const std::string& path = ws.paths.AnnouncementFile;
  std::string text;
  if (!AnnouncementOnDisk(ws, text)) {
    ReportException(ws, "EInOutError", path, failureTag);
    return text;
  }
  // The memo starts from this text: a save checks that it is still the file's.
  ws.board.AnnouncementBase = text;
  return fileExists(path) ? text : Invitation(ws);
}

}  // namespace

std::string GetAnnouncement(Workstation& ws) {
  ws.AnnouncementChanged = false;
  return LoadAnnouncement(ws, "\"BBMMO1\"");
}

MemoSave MemoExit(Workstation& ws, bool modified, std::string_view text, std::string* reloaded) {
  if (ws.options.MemoReadOnly || !modified) return MemoSave::Unchanged;
  const std::string& path = ws.paths.AnnouncementFile;
  // Every question is asked with no lock held: nobody waits for this
  // user's answer.
  const int answer =
      UltimateDialog(ws, MessageText(ws, 1914), 3, MessageText(ws, 407), MessageText(ws, 408), "", 1);
  if (answer != 1) {
    const std::string fresh = LoadAnnouncement(ws, "\"BBMMO3\"");
    if (reloaded) *reloaded = fresh;
    ws.board.MemoEnlarged = false;
    return MemoSave::Discarded;
  }
  for (;;) {
    HeldLock lock(ws, "EGMEMO", "BBMMO");
    if (!lock) return MemoSave::Busy;
    // Another workstation may have saved since this memo was loaded: only
    // the text it started from is written over without a word.
    std::string onDisk;
    if (!AnnouncementOnDisk(ws, onDisk)) {
      lock.release();
      ReportException(ws, "EInOutError", path, "\"BBMMO4\"");
      return MemoSave::Busy;
    }
    if (onDisk == ws.board.AnnouncementBase) {
      const bool ok = WriteAnnouncementFile(ws, path, text);
      NormalizeFileAttr(ws, path);
      lock.release();
      if (!ok) {
        // Nothing was saved: the memo keeps the typed text.
        ReportException(ws, "EInOutError", path, "\"BBMMO2\"");
        return MemoSave::Busy;
      }
      ws.board.AnnouncementBase = AsStored(text);
      break;
    }
    lock.release();
    const int over = UltimateDialog(ws, MessageText(ws, kNoticeChangedMeanwhile), 3, MessageText(ws, 407),
                                    MessageText(ws, 408), "", 2);
    if (over != 1) {
      ws.board.AnnouncementBase = onDisk;
      if (reloaded) *reloaded = fileExists(path) ? onDisk : Invitation(ws);
      ws.board.MemoEnlarged = false;
      return MemoSave::Discarded;
    }
    // Theirs was seen and is to be replaced; one saved while this user
    // answered is asked about again.
    ws.board.AnnouncementBase = onDisk;
  }
  // The letters go out once the announcement is written and its lock is
  // free: each takes its reader's own lock.
  bool ok = true;
  for (int slot = 1; slot <= mcfg::Employees; ++slot) {
    if (slot == ws.UserSlot) continue;
    const std::string initials = ws.mcfg.empInitials(slot);
    if (!initials.empty() && PostNotification(ws, initials, 'B') != io::Ok) ok = false;
  }
  if (!ok) ReportException(ws, "EInOutError", path, "\"BBMMO2\"");
  ws.board.MemoEnlarged = false;
  return MemoSave::Saved;
}

}  // namespace egresso
