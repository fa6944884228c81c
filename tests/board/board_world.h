// A data folder with an employee table and one or more workstations on it,
// for the board tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "board/board_list.h"
#include "messages/board_files.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso::test {

struct Employee {
  const char* initials;
  const char* name;
};

inline constexpr Employee kStaff[] = {
    {"ANN", "Ann Baker"}, {"BOB", "Bob Carter"}, {"CLA", "Claire Dumont"}, {"DAN", "Daniel Evans"}, {"EVA", "Eva Fischer"},
};

class BoardWorld {
 public:
  FakePlatform fake;
  TempDir dir;
  Workstation ws{fake.platform()};

  // The data folder is a new folder in the system's temporary folder, or in
  // base (a folder on a file share) when given.
  explicit BoardWorld(const std::string& user = "ANN", const std::filesystem::path& base = {}) : dir(base) {
    std::filesystem::create_directory(dir / "BULLETIN");
    setUp(ws, user);
    int slot = 1;
    for (const auto& e : kStaff) {
      ws.mcfg.setEmpInitials(slot, e.initials);
      ws.mcfg.setEmpName(slot, e.name);
      ++slot;
    }
    ws.mcfg.setStr(mcfg::MainUserInitials, 3, "ANN");
    ws.mcfg.setU8(mcfg::BoardTimerSeconds, 4);
    ws.mcfg.setI16(mcfg::LastDateUsed, ws.Today);
    ws.pcfg.setI16(pcfg::MaxBeeps, 2);
    ws.UserSlot = FindUserSlot(ws, user);
    saveConfig();
  }

  // Whatever a routine took it gave back: a lock file left in the folder
  // would keep every other workstation waiting. A test that leaves one on
  // purpose says so.
  ~BoardWorld() {
    if (locksMayRemain) return;
    for (const auto& name : LockFilesIn(dir.path())) ADD_FAILURE() << "lock file left behind: " << name;
  }
  bool locksMayRemain = false;

  // Another workstation on the same folder and configuration.
  std::unique_ptr<Workstation> station(const std::string& user) {
    auto other = std::make_unique<Workstation>(fake.platform());
    setUp(*other, user);
    other->mcfg = ws.mcfg;
    other->pcfg = ws.pcfg;
    other->UserSlot = FindUserSlot(*other, user);
    return other;
  }

  // The configuration records as files, so a re-read finds what is in memory.
  void saveConfig() {
    writeRecord(ws.paths.MainConfigPath, ws.mcfg.bytes);
    writeRecord(ws.paths.PersonalConfigPath, ws.pcfg.bytes);
  }

  void notice(int n, const std::string& text) {
    if (ws.notices.lines.size() < static_cast<std::size_t>(n)) ws.notices.lines.resize(static_cast<std::size_t>(n));
    ws.notices.lines[static_cast<std::size_t>(n) - 1] = text;
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  void mode(int listMode, bool archive = false) { mode(ws, listMode, archive); }
  static void mode(Workstation& w, int listMode, bool archive = false) {
    w.ListMode = listMode;
    w.ArchiveView = archive;
    SelectBoardFiles(w);
  }

  // Writes a location record for an employee slot (index key = return day).
  void putLocation(int slot, const std::string& headline, int returnDay, int returnAt = 0, bool in = false) {
    mode(1);
    BulBrdRcrd& r = ws.board.RecordBuffer;
    r.clear();
    r.setWho(slot >= 1 && slot <= 50 ? ws.mcfg.empInitials(slot) : std::string());
    r.setHeadline(headline);
    r.setReturnDay(static_cast<std::int16_t>(returnDay));
    r.setReturnAt(static_cast<std::int16_t>(returnAt));
    // Made a day before both its return day and today, as entries made the
    // day before are: the index is keyed by the return day, never by this.
    if (!in && returnDay > 0) r.setMadeDay(static_cast<std::int16_t>(std::min<int>(returnDay, ws.Today) - 1));
    r.setClosed(in ? 1 : 0);
    WriteBoardRecord(ws, slot, "TEST");
  }

  // Fills LOCATE with one signed-in record per slot 0..50.
  void allIn() {
    for (int j = 0; j <= 50; ++j) putLocation(j, "", 0, 0, true);
  }

  struct Msg {
    std::string from;
    std::vector<std::string> to;  // empty: everyone
    std::string subject;
    int day = 0;
    int time = 900;
    std::vector<std::pair<std::string, int>> marks;  // initials, mark
  };
  // Writes a message at the next free number; returns the number.
  int putMessage(const Msg& m) {
    mode(0);
    const int n = NextMessageNumber(ws);
    BulBrdRcrd& r = ws.board.RecordBuffer;
    r.clear();
    r.setWho(m.from);
    bool first = false;
    for (const auto& t : m.to) {
      const int s = FindUserSlot(ws, t);
      r.setToList(s, t);
      first = first || s == 1;
    }
    if (!m.to.empty() && !first) r.setToList(1, "nul");
    r.setHeadline(m.subject);
    r.setMadeDay(static_cast<std::int16_t>(m.day));
    r.setReturnDay(static_cast<std::int16_t>(m.day));
    r.setMadeTime(static_cast<std::int16_t>(m.time));
    for (const auto& [who, mark] : m.marks) r.setReadMark(FindUserSlot(ws, who), static_cast<std::uint8_t>(mark));
    WriteBoardRecord(ws, n, "TEST");
    return n;
  }

  BoardIndexEntry index(const std::string& name, int n) const {
    BoardIndexEntry e;
    ReadBoardIndexEntry(PosixFileOps(), path(name), n, e);
    return e;
  }
  BulBrdRcrd record(const std::string& name, int n) const {
    BulBrdRcrd r;
    RecordFile f;
    if (f.open(path(name), brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) == io::Ok) f.read(n, r.bytes);
    return r;
  }
  std::vector<std::string> lines(bool old = false) const { return linesOf(ws, old); }
  static std::vector<std::string> linesOf(const Workstation& w, bool old = false) {
    std::vector<std::string> out;
    for (const auto& l : old ? w.board.BBSoldList : w.board.BBSlist) out.push_back(l.text);
    return out;
  }

 private:
  void setUp(Workstation& w, const std::string& user) {
    w.paths.ProgramFolder = dir.str();
    w.paths.DataFolder = dir.str();
    w.paths.BulletinFolder = (dir / "BULLETIN").string();
    w.paths.MainConfigPath = (dir / "CFGMAIN.DAF").string();
    w.paths.PersonalConfigPath = (dir / ("CFG" + user + ".DAF")).string();
    w.paths.BackupFolder = (dir / "BACKUP").string();
    w.paths.TimeSlipFile = (dir / ("TMSLP." + user)).string();
    w.paths.ProductTitle = "Egresso";
    w.ThisUser = user;
    w.MultiUser = true;
    w.locks.TraceFolder = dir.str();
    w.Today = DayNumber(fake.clock.now());
    w.notices.lines = ws.notices.lines;
    if (w.notices.lines.empty()) w.notices.lines = DefaultNotices();
    InitBoardState(w);
    w.ListMode = 1;
    SelectBoardFiles(w);
  }

  static std::vector<std::string> DefaultNotices() {
    std::vector<std::string> n(2100);
    auto set = [&](int i, const char* t) { n[static_cast<std::size_t>(i) - 1] = t; };
    set(29, "OK");
    set(1383, "Subject / date / from");
    set(1388, "Name / location / back");
    set(1394, "Sign in");
    set(1395, "Sign out");
    set(1443, "Messages sent or previously read by");
    set(1444, " sent this message to several people.");
    set(1445, "Not signed in yet");
    set(1451, "This is not your own entry.");
    set(1486, "came in");
    set(1487, "went out");
    set(1488, "entered by");
    set(1494, "Search: \"");
    set(1787, "Back / name / location");
    set(1797, "Memo of");
    set(2067, "Left at close of ");
    set(2068, "Arrived with ");
    return n;
  }

  template <std::size_t N>
  static void writeRecord(const std::string& p, const std::array<std::uint8_t, N>& bytes) {
    RecordFile f;
    if (f.open(p, N, RecordFile::Mode::Create, PosixFileOps()) == io::Ok) f.write(0, bytes);
  }
};

// Sets a file's modification time to the local time of the fake clock,
// moved by a number of seconds (the clock is never read from the system).
inline void SetFileTimeToClock(const std::filesystem::path& p, const FakeClock& clock, int offsetSeconds) {
  const std::time_t when = static_cast<std::time_t>(EpochSeconds(clock.current) + offsetSeconds);
  struct timespec times[2];
  times[0].tv_sec = when;
  times[0].tv_nsec = 0;
  times[1] = times[0];
  utimensat(AT_FDCWD, p.c_str(), times, 0);
}

// The same to the millisecond: the clock's own milliseconds count, and the
// time is moved by offsetMs.
inline void SetFileTimeToClockMs(const std::filesystem::path& p, const FakeClock& clock, int offsetMs) {
  SetFileTimeToClock(p, clock, 0);
  struct stat st {};
  ::stat(p.c_str(), &st);
  const std::int64_t ns = st.st_mtim.tv_sec * 1'000'000'000LL + (clock.current.millisecond + offsetMs) * 1'000'000LL;
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  times[0].tv_nsec = static_cast<long>(ns % 1'000'000'000);
  times[1] = times[0];
  utimensat(AT_FDCWD, p.c_str(), times, 0);
}

}  // namespace egresso::test
