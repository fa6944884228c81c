#include "board/board_data.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "board/board_lines.h"
#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/board_record.h"
#include "platform/codepage.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"
#include "text/shown_text.h"

namespace egresso {

namespace {

bool IsDay(int day) { return day > 0 && day < kNoDateFrom; }
bool IsTime(int hhmm) { return hhmm >= 0 && hhmm <= 2359 && hhmm % 100 < 60; }

// Record r of the location files as they are on disk; a record the files do
// not hold reads as empty.
struct StoredEntry {
  BoardIndexEntry index;
  BulBrdRcrd record;
};

StoredEntry ReadStoredEntry(RecordFile& index, RecordFile& data, int r) {
  StoredEntry s;
  std::array<std::uint8_t, brd::IndexSize> key{};
  if (index.isOpen() && r < index.recordCount() && index.read(r, key) == io::Ok) s.index = BoardIndexEntry::decode(key);
  if (data.isOpen() && r < data.recordCount() && data.read(r, s.record.bytes) != io::Ok) s.record.bytes.fill(0);
  return s;
}

}  // namespace

bool AsksForPassword(const Workstation& ws, const std::string& initials) {
  if (ws.mcfg.flag(mcfg::PasswordForAll)) return true;
  if (initials.empty()) return false;
  // Initials no file name can hold have no personal file to say no.
  if (initials.find_first_of("/\\") != std::string::npos) return true;
  // Only a personal file that is not there says no: one this account may
  // not read, or a link, a FIFO or a folder planted under the name, may
  // stand for one that asks. The seam opens plain files only and never
  // waits on a FIFO.
  RecordFile f;
  std::array<std::uint8_t, pcfg::Size> bytes{};
  const int opened = f.open(DataFile(ws, "CFG" + initials + ".DAF"), pcfg::Size, RecordFile::Mode::ReadOnly, *ws.files);
  if (opened == io::FileNotFound) return false;
  if (opened != io::Ok || f.read(0, bytes) != io::Ok) return true;
  return bytes[pcfg::RequestPassword] != 0;
}

namespace {

// Who signed an employee in and when, from the last line of the in/out
// journal that names him, when the office keeps one: a sign-in leaves no
// name or time in the record. Only the journal's end is read.
struct JournalMark {
  std::string by;
  int day = 0;
  int time = -1;
};

JournalMark LastJournalMark(Workstation& ws, const std::string& initials) {
  JournalMark mark;
  const bool shared = ws.mcfg.flag(mcfg::InOutLogShared);
  if ((!shared && !ws.mcfg.flag(mcfg::InOutLog)) || initials.empty() ||
      initials.find_first_of("/\\") != std::string::npos)
    return mark;
  const std::string path = DataFile(ws, shared ? std::string("INOUT.DAF") : "INOUT" + initials + ".DAF");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return mark;
  RecordFile f;
  if (f.open(path, 1, RecordFile::Mode::ReadOnly, *ws.files) != io::Ok) return mark;
  const std::int64_t size = f.byteSize();
  const std::int64_t from = std::max<std::int64_t>(0, size - 64 * 1024);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - from));
  const std::int64_t got = f.readRecords(from, tail);
  if (got <= 0) return mark;
  const std::string text(tail.begin(), tail.begin() + got);
  const std::string byText = " (" + MessageText(ws, 1488) + " ";
  // Date (9), time (7) and initials (5), each right-aligned, then the text.
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t start = text.rfind('\n', end - 1);
    const std::size_t first = start == std::string::npos ? 0 : start + 1;
    std::string line = text.substr(first, end - first);
    end = start == std::string::npos ? 0 : start;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 21 || TrimText(line.substr(16, 5)) != initials) continue;
    const int day = ParseDay(ws, TrimText(line.substr(0, 9)), "", false);
    if (!IsDay(day)) return mark;
    mark.day = day;
    mark.time = ParseTime(ws, TrimText(line.substr(9, 7)));
    const std::size_t by = line.find(byText);
    mark.by = by == std::string::npos ? initials : line.substr(by + byText.size(), line.find(')', by) - by - byText.size());
    return mark;
  }
  return mark;
}

// The entry of record r as the board's list pass shows it to a viewer: an
// open entry of an earlier day, or one of somebody no longer in the table,
// counts as signed in (the pass would sign it in).
BoardEntry EntryOf(Workstation& ws, const StoredEntry& s, int r) {
  const BoardRecordView rec = s.record.view();
  std::string who = rec.who();
  const int whoSlot = ws.mcfg.slotOf(who);
  const bool expired = (!s.index.closed() && s.index.Key != 0 && s.index.Key < ws.Today) || whoSlot == 0;
  BoardEntry e;
  e.out = !s.index.closed() && !expired;
  e.stale = s.index.stale();
  if (!e.out) who = ws.mcfg.empInitials(r);
  e.slot = who.empty() ? r : ws.mcfg.slotOf(who);
  e.initials = cp1252ToUtf8(who);
  e.name = cp1252ToUtf8(ws.mcfg.empName(e.slot));
  if (e.out) {
    const std::string headline = rec.headline();
    e.destination = headline == "2" ? std::string() : cp1252ToUtf8(headline);
    e.returnDay = IsDay(rec.returnDay()) ? rec.returnDay() : 0;
    e.returnTime = IsTime(rec.returnAt()) ? rec.returnAt() : -1;
    e.changedBy = cp1252ToUtf8(rec.enteredBy());
    e.changedDay = IsDay(rec.madeDay()) ? rec.madeDay() : 0;
    e.changedTime = IsTime(rec.madeTime()) ? rec.madeTime() : -1;
  } else if (const JournalMark mark = LastJournalMark(ws, who); mark.day != 0) {
    e.changedBy = cp1252ToUtf8(mark.by);
    e.changedDay = mark.day;
    e.changedTime = mark.time;
  }
  return e;
}

// Characters (not bytes) of UTF-8 text.
std::size_t Width(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Padded(std::string text, std::size_t width) {
  const std::size_t w = Width(text);
  if (w < width) text.append(width - w, ' ');
  return text;
}

// A spreadsheet takes a cell that begins with one of these as a formula: a
// destination of "=HYPERLINK(...)" would become a live link. The apostrophe
// in front makes it text, and the spreadsheet does not show it.
bool ReadsAsFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
}

std::string CsvField(const std::string& text) {
  std::string cell = TerminalText(text);
  if (ReadsAsFormula(text)) cell.insert(0, 1, '\'');
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string out = "\"";
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// JSON lets DEL and the C1 controls stand unescaped in a string, where a
// terminal showing the document would obey them (U+009B is CSI): written
// as \u escapes, which keep the text as it is for the program that reads it.
// Outside strings the document holds only ASCII.
std::string EscapeTerminalControls(const std::string& json) {
  std::string out;
  out.reserve(json.size());
  char escape[8];
  for (std::size_t i = 0; i < json.size(); ++i) {
    const auto c = static_cast<unsigned char>(json[i]);
    const auto next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
    if (c == 0x7F) {
      out += "\\u007f";
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", next);
      out += escape;
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

int BoardSnapshot::inBuilding() const {
  return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const BoardEntry& e) { return !e.out; }));
}

BoardSnapshot TakeBoardSnapshot(Workstation& ws, bool everyone) {
  if (everyone) {
    ws.board.ShowEveryEntry = true;
    ws.board.ShowBlankEntries = true;
    ws.options.OwnEntryOnly = false;
  }
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  BoardSnapshot s;
  const LocalDateTime now = ws.platform.clock->now();
  s.day = ws.Today;
  s.time = now.hour * 100 + now.minute;

  RecordFile index, data;
  index.open(ws.paths.BoardIndexPath, brd::IndexSize, RecordFile::Mode::ReadOnly, *ws.files);
  data.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files);
  std::array<bool, brd::Slots + 1> listed{};
  for (const BoardLine& line : ws.board.BBSlist) {
    const int r = RecordNumberOfLine(line.text);
    if (r < 1) continue;
    BoardEntry e = EntryOf(ws, ReadStoredEntry(index, data, r), r);
    // The line's own stale mark: the files may have moved on since the pass.
    e.stale = LineIsStale(line.text);
    if (e.slot >= 1 && e.slot <= brd::Slots) {
      if (listed[static_cast<std::size_t>(e.slot)]) continue;
      listed[static_cast<std::size_t>(e.slot)] = true;
    }
    s.entries.push_back(std::move(e));
  }
  if (everyone) {
    // An employee without a record of his own yet is in.
    for (int slot = 1; slot <= brd::Slots; ++slot) {
      if (listed[static_cast<std::size_t>(slot)] || ws.mcfg.empName(slot).empty()) continue;
      BoardEntry e;
      e.slot = slot;
      e.initials = cp1252ToUtf8(ws.mcfg.empInitials(slot));
      e.name = cp1252ToUtf8(ws.mcfg.empName(slot));
      s.entries.push_back(std::move(e));
    }
    if (ws.options.SortedBoard)
      std::stable_sort(s.entries.begin(), s.entries.end(), [&ws](const BoardEntry& a, const BoardEntry& b) {
        return ListLess(BoardSortPrefix(ws.mcfg.empName(a.slot)), BoardSortPrefix(ws.mcfg.empName(b.slot)));
      });
    else
      std::stable_sort(s.entries.begin(), s.entries.end(),
                       [](const BoardEntry& a, const BoardEntry& b) { return a.slot < b.slot; });
  }
  for (BoardEntry& e : s.entries) e.passwordProtected = AsksForPassword(ws, utf8ToCp1252(e.initials));
  return s;
}

BoardSnapshot TakeRollCall(const Workstation& ws) {
  Workstation viewer(ws.platform);
  viewer.files = ws.files;
  viewer.paths = ws.paths;
  viewer.mcfg = ws.mcfg;
  viewer.pcfg = ws.pcfg;
  viewer.options = ws.options;
  viewer.notices = ws.notices;
  viewer.ThisUser = ws.ThisUser;
  viewer.UserSlot = ws.UserSlot;
  viewer.MultiUser = ws.MultiUser;
  viewer.Today = ws.Today;
  viewer.mcfg.setU8(mcfg::TraceLog, 0);
  InitBoardState(viewer);
  viewer.board.ReadOnlyView = true;
  return TakeBoardSnapshot(viewer, true);
}

std::string IsoDate(int day) {
  if (!IsDay(day)) return {};
  const CalendarDate d = SplitDay(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

std::string IsoTime(int hhmm) {
  if (!IsTime(hhmm)) return {};
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hhmm / 100, hhmm % 100);
  return text;
}

std::string IsoDateTime(int day, int hhmm) {
  if (!IsDay(day)) return {};
  return IsTime(hhmm) ? IsoDate(day) + "T" + IsoTime(hhmm) : IsoDate(day);
}

std::string BoardJson(const BoardSnapshot& s) {
  using Json = nlohmann::ordered_json;
  auto orNull = [](const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); };
  Json entries = Json::array();
  for (const BoardEntry& e : s.entries) {
    entries.push_back({
        {"initials", e.initials},
        {"name", e.name},
        {"status", e.out ? "out" : "in"},
        {"destination", orNull(e.destination)},
        {"returnDate", orNull(IsoDate(e.returnDay))},
        {"returnTime", orNull(IsoTime(e.returnTime))},
        {"stale", e.stale},
        {"changedBy", orNull(e.changedBy)},
        {"changed", orNull(IsoDateTime(e.changedDay, e.changedTime))},
    });
  }
  const Json doc = {
      {"taken", IsoDateTime(s.day, s.time)},
      {"inBuilding", s.inBuilding()},
      {"employees", s.entries.size()},
      {"entries", std::move(entries)},
  };
  // Text that is not UTF-8 (it cannot come from the records, which are
  // converted) would throw: replaced instead.
  return EscapeTerminalControls(doc.dump(2, ' ', false, Json::error_handler_t::replace)) + "\n";
}

std::string ShownDate(Workstation& ws, int day) { return IsDay(day) ? cp1252ToUtf8(TrimText(FormatDay(ws, day))) : ""; }
std::string ShownTime(Workstation& ws, int hhmm) {
  return IsTime(hhmm) ? cp1252ToUtf8(TrimText(BoardTimeText(ws, hhmm))) : "";
}

std::string RollCallTitle(Workstation& ws, const BoardSnapshot& s) {
  return "Roll call " + ShownDate(ws, s.day) + " " + ShownTime(ws, s.time);
}

std::string InBuildingText(const BoardSnapshot& s) {
  return "In the building: " + std::to_string(s.inBuilding()) + " of " + std::to_string(s.entries.size());
}

std::vector<std::string> RollCallText(Workstation& ws, const BoardSnapshot& s) {
  const std::string staleText = cp1252ToUtf8(TrimText(MessageText(ws, 1445)));
  std::vector<std::string> lines{RollCallTitle(ws, s), InBuildingText(s), ""};
  lines.push_back(Padded("Name", 22) + Padded("", 5) + Padded("Where", 37) + Padded("Back", 18) + "Last change");
  for (const BoardEntry& e : s.entries) {
    // The texts are the folder's, on their way to a terminal.
    std::string where = TerminalText(e.out ? e.destination : (e.stale ? staleText : ""));
    std::string back = TrimText(ShownDate(ws, e.returnDay) + " " + ShownTime(ws, e.returnTime));
    std::string changed =
        e.changedBy.empty() && e.changedDay == 0
            ? std::string()
            : TrimText(TerminalText(e.changedBy) + " " + ShownDate(ws, e.changedDay) + " " + ShownTime(ws, e.changedTime));
    std::string line = Padded(TerminalText(e.name), 21) + " " + Padded(e.out ? "out" : "in", 5) + Padded(where, 36) + " " +
                       Padded(back, 18) + changed;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string RollCallCsv(const BoardSnapshot& s) {
  // The byte-order mark tells a spreadsheet the file is UTF-8: without it
  // the usual import reads the accents of the names in the local code page.
  std::string out = "\xEF\xBB\xBF"
                    "initials,name,status,destination,return_date,return_time,stale,changed_by,changed\r\n";
  for (const BoardEntry& e : s.entries) {
    out += CsvField(e.initials) + "," + CsvField(e.name) + "," + (e.out ? "out" : "in") + "," +
           CsvField(e.destination) + "," + IsoDate(e.returnDay) + "," + IsoTime(e.returnTime) + "," +
           (e.stale ? "yes" : "no") + "," + CsvField(e.changedBy) + "," + IsoDateTime(e.changedDay, e.changedTime) +
           "\r\n";
  }
  return out;
}

}  // namespace egresso
