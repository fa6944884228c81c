#include "board/announcement.h"

#include <array>
#include <fstream>
#include <sstream>

#include "core/workstation.h"
#include "messages/board_files.h"
#include "startup/notices.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

constexpr std::size_t kNotifyRecord = 11;  // a length byte and up to 10 letters

// The file's lines joined by "\n"; false when the file cannot be read.
bool ReadAnnouncementFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) return false;
  text.clear();
  for (char c : all.str())
    if (c != '\r') text += c;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return true;
}

bool WriteAnnouncementFile(const std::string& path, std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  if (!out.empty()) out += "\r\n";
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << out;
  f.close();
  return static_cast<bool>(f);
}

std::string LoadAnnouncement(Workstation& ws, std::string_view failureTag) {
  const std::string& path = ws.paths.AnnouncementFile;
  if (!fileExists(path)) return MessageText(ws, 1716) + MessageText(ws, 1717) + MessageText(ws, 1718);
  std::string text;
  if (!ReadAnnouncementFile(path, text)) ReportException(ws, "EInOutError", path, failureTag);
  return text;
}

}  // namespace

std::string GetAnnouncement(Workstation& ws) {
  ws.AnnouncementChanged = false;
  return LoadAnnouncement(ws, "\"BBMMO1\"");
}

int PostNotifyLetter(Workstation& ws, std::string_view initials, char letter, int day) {
  if (initials.empty() || ws.board.ReadOnlyView) return io::Ok;
  const std::string path = DataFile(ws, "TIMER." + std::string(initials));
  std::array<std::uint8_t, kNotifyRecord> rec{};
  std::string text;
  {
    RecordFile f;
    if (f.open(path, kNotifyRecord, RecordFile::Mode::ReadOnly) == io::Ok && f.read(0, rec) == io::Ok)
      text = getPString(rec, 0, kNotifyRecord - 1);
    else
      text = std::to_string(day);
  }
  if (text.find(letter) != std::string::npos) return io::Ok;
  // The letters count, the day in front does not: a full text gives up its
  // first characters rather than the new letter.
  text += letter;
  if (text.size() > kNotifyRecord - 1) text.erase(0, text.size() - (kNotifyRecord - 1));
  rec.fill(0);
  putPString(rec, 0, kNotifyRecord - 1, text);
  RecordFile f;
  int rc = f.open(path, kNotifyRecord, RecordFile::Mode::ReadWrite);
  if (rc != io::Ok) rc = f.open(path, kNotifyRecord, RecordFile::Mode::Create);
  if (rc == io::Ok) rc = f.write(0, rec);
  const int closeRc = f.close();
  if (rc == io::Ok) rc = closeRc;
  NormalizeFileAttr(ws, path);
  return rc;
}

MemoSave MemoExit(Workstation& ws, bool modified, std::string_view text, std::string* reloaded) {
  if (ws.options.MemoReadOnly || !modified) return MemoSave::Unchanged;
  if (!AcquireLock(ws, "EGMEMO", "BBMMO")) return MemoSave::Busy;
  const int answer =
      UltimateDialog(ws, MessageText(ws, 1914), 3, MessageText(ws, 407), MessageText(ws, 408), "", 1);
  MemoSave result = MemoSave::Discarded;
  if (answer == 1) {
    result = MemoSave::Saved;
    bool ok = WriteAnnouncementFile(ws.paths.AnnouncementFile, text);
    NormalizeFileAttr(ws, ws.paths.AnnouncementFile);
    for (int slot = 1; slot <= mcfg::Employees; ++slot) {
      if (slot == ws.UserSlot) continue;
      const std::string initials = ws.mcfg.empInitials(slot);
      if (!initials.empty() && PostNotifyLetter(ws, initials, 'B', ws.Today) != io::Ok) ok = false;
    }
    if (!ok) ReportException(ws, "EInOutError", ws.paths.AnnouncementFile, "\"BBMMO2\"");
  } else {
    const std::string fresh = LoadAnnouncement(ws, "\"BBMMO3\"");
    if (reloaded) *reloaded = fresh;
  }
  ReleaseLock(ws, "EGMEMO");
  ws.board.MemoEnlarged = false;
  return result;
}

}  // namespace egresso
