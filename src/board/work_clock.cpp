#include "board/work_clock.h"

#include <cstdio>

#include "board/board_commands.h"
#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "storage/bytes.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

int SecondsOfDay(Workstation& ws) {
  const LocalDateTime t = ws.platform.clock->now();
  return (t.hour * 60 + t.minute) * 60 + t.second;
}

int MinutesOf(int hhmm) { return hhmm / 100 * 60 + hhmm % 100; }

// Works on the log set of one day for its lifetime and puts the engine's
// set back afterwards.
class LogSet {
 public:
  LogSet(Workstation& ws, int day) : ws_(ws), logMode_(ws.engine.LogMode) {
    ws.engine.LogMode = true;
    SetLogFileNames(ws, day);
  }
  ~LogSet() {
    ws_.engine.LogMode = logMode_;
    SetLogFileNames(ws_, ws_.Today);
    SelectCalFiles(ws_);
  }
  LogSet(const LogSet&) = delete;
  LogSet& operator=(const LogSet&) = delete;
  const std::string& data() const { return ws_.paths.LogDataPath; }
  const std::string& index() const { return ws_.paths.LogIndexPath; }
  // Sets the day index entry of record n from CalRecord.
  void index(std::int32_t n, std::string_view tag) {
    ReadCalIndexPage(ws_, index(), IndexPageOf(n), tag);
    SetIndexEntry(ws_, IndexEntryOf(n));
    WriteCalIndexPage(ws_, index(), IndexPageOf(n), tag);
  }

 private:
  Workstation& ws_;
  bool logMode_;
};

// Appends today's time entry; its record number, 0 when it was not written.
std::int32_t StartEntry(Workstation& ws) {
  LogSet set(ws, ws.Today);
  std::string base = set.data();
  base.erase(base.size() - 4);  // ".DAF"
  // The month's set is made when the first entry of the month needs it,
  // so the entry never lands on the header record of a new file.
  OpenCalFiles(ws, base);
  if (ws.QuitRequested) return 0;
  SelectCalFiles(ws);
  ReadCalRecord(ws, set.data(), 0, "BBWC3");
  const std::int32_t n = ws.engine.LastCalRecord + 1;
  if (n < 1) return 0;
  auto& rec = ws.engine.CalRecord;
  ClearCalRecord(ws);
  const int now = CurrentTimeHHMM(ws);
  putI16(rec, cal::StartDay, ws.Today);
  putI16(rec, cal::EndDay, ws.Today);
  putI16(rec, timeentry::StartTime, static_cast<std::int16_t>(now));
  putI16(rec, timeentry::EndTime, static_cast<std::int16_t>(now));
  putPString(rec, timeentry::Owner, 3, ws.ThisUser);
  putPString(rec, timeentry::Text, 12, MessageText(ws, 1697));
  WriteCalRecord(ws, set.data(), n, "BBWC4");
  if (ws.engine.LastIoResult != io::Ok) return 0;
  set.index(n, "BBWC5");
  return n;
}

// Closes the time entry n of the log set of startDay with the current time.
void StopEntry(Workstation& ws, int startDay, std::int32_t n) {
  if (startDay <= 0 || n < 1) return;
  LogSet set(ws, startDay);
  if (!fileExists(set.data())) return;
  SelectCalFiles(ws);
  auto& rec = ws.engine.CalRecord;
  ClearCalRecord(ws);
  ReadCalRecord(ws, set.data(), n, "BBWC6");
  if (ws.engine.LastCalRecord < n) return;
  // Only this user's clock entry of that day is closed: the record may
  // have been reused by file maintenance since.
  if (getI16(rec, cal::StartDay) != startDay || rec[cal::Deleted] != 0 ||
      getPString(rec, timeentry::Owner, 3) != ws.ThisUser ||
      getPString(rec, timeentry::Text, 12) != MessageText(ws, 1697).substr(0, 12))
    return;
  const int now = CurrentTimeHHMM(ws);
  putI16(rec, cal::EndDay, ws.Today);
  putI16(rec, timeentry::EndTime, static_cast<std::int16_t>(now));
  putReal48(rec, timeentry::Hours,
            WorkClockHours(startDay, getI16(rec, timeentry::StartTime), ws.Today, now));
  WriteCalRecord(ws, set.data(), n, "BBWC7");
  set.index(n, "BBWC8");
}

}  // namespace

double WorkClockHours(int startDay, int startHHMM, int endDay, int endHHMM) {
  const int days = endDay - startDay;
  if (days < 0 || days > 1) return kMultiDayHours;
  const int end = MinutesOf(endHHMM) + days * 24 * 60;
  return (end - MinutesOf(startHHMM)) / 60.0;
}

void UpdateWorkClockButton(Workstation& ws, int r) {
  BoardState& b = ws.board;
  b.ClockSlot = r;
  b.ClockDay = 0;
  b.ClockStart = 0;
  if (r < 1 || r > brd::Slots) return;
  BulBrdRcrd rec;
  RecordFile f;
  if (f.open(BoardDataFile(ws, BoardSet::Locations), brd::Size, RecordFile::Mode::ReadOnly, *ws.files) != io::Ok ||
      f.read(r, rec.bytes) != io::Ok)
    return;
  b.ClockDay = rec.clockDay();
  b.ClockStart = rec.clockStart();
}

WorkClockButton WorkClockButtonState(Workstation& ws) {
  WorkClockButton s;
  s.running = ws.board.ClockDay != 0;
  s.hint = MessageText(ws, s.running ? 1694 : 1693);
  s.width = s.running ? 69 : 19;
  s.leftOfExit = s.running ? 85 : 35;
  return s;
}

std::string WorkClockElapsedText(Workstation& ws) {
  const BoardState& b = ws.board;
  if (b.ClockDay == 0) return {};
  const long long elapsed =
      SecondsOfDay(ws) - static_cast<long long>(b.ClockStart) + 86400LL * (ws.Today - b.ClockDay);
  if (elapsed > 86399) return MessageText(ws, 1700);
  // A clock started ahead of this computer's clock shows no time yet.
  const long long e = elapsed < 0 ? 0 : elapsed;
  char text[16];
  std::snprintf(text, sizeof text, "%02lld:%02lld", e / 3600, e / 60 % 60);
  return text;
}

ClockResult WorkClockBtnClick(Workstation& ws) {
  if (ws.ListMode != 1 || !ws.options.WorkClock || ws.options.CompactMode) return ClockResult::NotRun;
  if (!CommandMayStart(ws)) return ClockResult::NotRun;
  CheckEmployeeTables(ws);
  const int k = ws.UserSlot;
  if (k < 1 || k > brd::Slots) return ClockResult::NotRun;
  // The question comes before the locks: the others must not wait for
  // this user to answer it.
  bool running = false;
  {
    BulBrdRcrd seen;
    RecordFile f;
    if (f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files) == io::Ok &&
        k < f.recordCount() && f.read(k, seen.bytes) == io::Ok)
      running = seen.clockDay() != 0;
  }
  const int answer = UltimateDialog(ws, MessageText(ws, running ? 1696 : 1695), 3, MessageText(ws, 407),
                                    MessageText(ws, 408), "", 1);
  if (answer != 1) return ClockResult::Cancelled;
  const std::string lock = ws.board.BoardLockName;
  if (!AcquireLock(ws, lock, "BBWC1")) return ClockResult::Busy;
  if (!AcquireLock(ws, "LOG", "BBWC2")) {
    ReleaseLock(ws, lock);
    return ClockResult::Busy;
  }
  BoardIndexEntry e;
  // A slot without an entry yet stands for an employee who is in.
  if (!ReadBoardIndexEntry(*ws.files, ws.paths.BoardIndexPath, k, e)) e.Flags = BoardIndexEntry::ClosedBit;
  ClearRecord(ws);
  ReadBoardRecord(ws, k, "BBWC");
  BulBrdRcrd& rec = ws.board.RecordBuffer;
  // An employee's slot gets a record of its own even before the first entry.
  rec.setWho(ws.mcfg.empInitials(k));
  ClockResult result = ClockResult::Cancelled;
  // Another workstation of this user started or stopped the clock while
  // the question stood: the answer was to another question.
  if (running != (rec.clockDay() != 0)) {
    ReleaseLock(ws, "LOG");
    ReleaseLock(ws, lock);
    UpdateWorkClockButton(ws, k);
    return ClockResult::Cancelled;
  }
  if (!running) {
    const std::int32_t n = StartEntry(ws);
    if (n > 0) {
      rec.setClockEntry(n);
      rec.setClockDay(ws.Today);
      rec.setClockStart(SecondsOfDay(ws));
      result = ClockResult::Started;
    } else {
      result = ClockResult::Busy;
    }
  } else {
    StopEntry(ws, rec.clockDay(), rec.clockEntry());
    rec.setClockStart(0);
    rec.setClockDay(0);
    rec.setClockEntry(0);
    result = ClockResult::Stopped;
  }
  ReleaseLock(ws, "LOG");
  if (result == ClockResult::Started || result == ClockResult::Stopped) {
    ws.board.KeepIndexFlags = e.Flags;
    WriteBoardRecord(ws, k, "WCBC");
    ws.board.KeepIndexFlags = -1;
  }
  ReleaseLock(ws, lock);
  UpdateWorkClockButton(ws, k);
  return result;
}

}  // namespace egresso
