#include "messages/daily.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "board/board_world.h"
#include "storage/bytes.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::writeFile;

// A site whose last processing was yesterday, with open location entries.
struct NewDay : BoardWorld {
  NewDay() : BoardWorld("BOB") {
    allIn();
    putLocation(2, "Left early", ws.Today - 1, 1700);
    putLocation(3, "Trip", ws.Today + 2, 900);
    ws.mcfg.setI16(mcfg::LastDateUsed, static_cast<std::int16_t>(ws.Today - 1));
    ws.pcfg.setI16(pcfg::UserLastDate, static_cast<std::int16_t>(ws.Today - 1));
    saveConfig();
  }
};

TEST(DailyProcessing, TheFirstRunOfTheDayMovesTheDaysAndMarksOpenEntries) {
  NewDay w;
  EarlyMorningStuff(w.ws, false);
  EXPECT_EQ(w.ws.mcfg.i16(mcfg::LastDateUsed), w.ws.Today);
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::UserLastDate), w.ws.Today);
  EXPECT_TRUE(w.index("LOCATE.DAI", 2).stale());
  EXPECT_TRUE(w.index("LOCATE.DAI", 1).stale()) << "signed-in employees too";
  EXPECT_FALSE(w.index("LOCATE.DAI", 3).stale()) << "a return still ahead";
  EXPECT_FALSE(w.ws.QuitRequested);
}

void WriteTimeSlips(const std::string& path, int records, std::int16_t dayOfRecord1) {
  std::string bytes(static_cast<std::size_t>(records) * 40, '\0');
  if (records > 1) {
    bytes[40 + 24] = static_cast<char>(dayOfRecord1 & 0xFF);
    bytes[40 + 25] = static_cast<char>((dayOfRecord1 >> 8) & 0xFF);
  }
  writeFile(path, bytes);
}

void WriteTimeSlipsFor(BoardWorld& w, int records, std::int16_t day) {
  WriteTimeSlips(w.ws.paths.TimeSlipFile, records, day);
}

std::int16_t StoredDay(const std::string& path, std::size_t offset, std::size_t size) {
  RecordFile f;
  std::vector<std::uint8_t> bytes(size);
  if (f.open(path, size, RecordFile::Mode::ReadOnly, PosixFileOps()) != 0 || f.read(0, bytes) != 0) return -1;
  return getI16(bytes, offset);
}

TEST(DailyProcessing, TheFirstRunCopiesTheConfigurationAndBacksUpTheFiles) {
  NewDay w;
  EarlyMorningStuff(w.ws, false);
  EXPECT_TRUE(std::filesystem::exists(w.path("CFGMAIN.BAK")));
  EXPECT_TRUE(std::filesystem::exists(w.path("BACKUP/LOCATE.BA1")));
  // Both days reach their files, so a second start today does not run it again.
  EXPECT_EQ(StoredDay(w.path("CFGMAIN.DAF"), mcfg::LastDateUsed, mcfg::Size), w.ws.Today);
  EXPECT_EQ(StoredDay(w.path("CFGBOB.DAF"), pcfg::UserLastDate, pcfg::Size), w.ws.Today);

  NewDay v;
  v.ws.options.DailyBackup = false;  // "/BU"
  EarlyMorningStuff(v.ws, false);
  EXPECT_TRUE(std::filesystem::exists(v.path("CFGMAIN.BAK")));
  EXPECT_FALSE(std::filesystem::exists(v.path("BACKUP/LOCATE.BA1")));
}

TEST(DailyProcessing, TheSwitchesOfThisRunStayInForceAndOutOfTheSharedFile) {
  NewDay w;
  w.ws.mcfg.setU8(mcfg::NoSignAllOut, 1);  // "/SI-", applied in memory at start-up
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);  // "/AM"
  EarlyMorningStuff(w.ws, false);
  EXPECT_FALSE(w.index("LOCATE.DAI", 2).stale()) << "the switch still counts";
  EXPECT_EQ(w.ws.mcfg.u8(mcfg::ArchiveMessages), 1);
  EXPECT_EQ(w.ws.mcfg.i16(mcfg::LastDateUsed), w.ws.Today);
  const std::string stored = readFile(w.path("CFGMAIN.DAF"));
  ASSERT_EQ(stored.size(), mcfg::Size);
  EXPECT_EQ(stored[mcfg::NoSignAllOut], 0);
  EXPECT_EQ(stored[mcfg::ArchiveMessages], 0);
  EXPECT_EQ(StoredDay(w.path("CFGMAIN.DAF"), mcfg::LastDateUsed, mcfg::Size), w.ws.Today);
}

TEST(DailyProcessing, AUserWhoGivesUpWaitingForTheConfigurationEndsTheProgram) {
  NewDay w;
  w.locksMayRemain = true;  // the other station's, still held
  writeFile(w.path("CFGMAIN.LOK"), "ZZZ ErlMrnStf      OTHER-STATION\r\n");
  WriteTimeSlipsFor(w, 3, static_cast<std::int16_t>(w.ws.Today - 1));
  w.fake.events.keys.assign(50, 27);  // Esc while waiting
  EarlyMorningStuff(w.ws, false);
  EXPECT_TRUE(w.ws.QuitRequested);
  EXPECT_EQ(w.ws.mcfg.i16(mcfg::LastDateUsed), w.ws.Today - 1) << "nothing moved on";
  EXPECT_FALSE(w.index("LOCATE.DAI", 2).stale());
  EXPECT_FALSE(std::filesystem::exists(w.ws.paths.TimeSlipFile)) << "the time slips are still cleaned up";
}

TEST(DailyProcessing, ALaterRunTheSameDayOnlyMovesTheUsersDay) {
  NewDay w;
  w.ws.mcfg.setI16(mcfg::LastDateUsed, w.ws.Today);  // someone ran it this morning
  w.saveConfig();
  EarlyMorningStuff(w.ws, true);
  EXPECT_EQ(w.ws.pcfg.i16(pcfg::UserLastDate), w.ws.Today);
  EXPECT_FALSE(w.index("LOCATE.DAI", 2).stale());
  EXPECT_FALSE(w.index("LOCATE.DAI", 1).stale());
  EXPECT_FALSE(std::filesystem::exists(w.path("CFGMAIN.BAK"))) << "no second copy";
  EXPECT_FALSE(std::filesystem::exists(w.path("BACKUP")));
}

TEST(DailyProcessing, NoMarkingWhenSwitchedOffOrSingleUser) {
  {
    NewDay w;
    w.ws.mcfg.setU8(mcfg::NoSignAllOut, 1);
    w.saveConfig();
    EarlyMorningStuff(w.ws, false);
    EXPECT_FALSE(w.index("LOCATE.DAI", 2).stale());
  }
  {
    NewDay w;
    w.ws.MultiUser = false;
    EarlyMorningStuff(w.ws, false);
    EXPECT_FALSE(w.index("LOCATE.DAI", 2).stale());
    EXPECT_EQ(w.ws.mcfg.i16(mcfg::LastDateUsed), w.ws.Today);
  }
}

TEST(DailyProcessing, TheProcessingDayFileIsMadeHoldingYesterday) {
  NewDay w;
  w.ws.mcfg.setU8(mcfg::OneUserDate, 1);
  w.saveConfig();
  EarlyMorningStuff(w.ws, false);
  EXPECT_FALSE(std::filesystem::exists(w.path("1USRDATE.DAF"))) << "no schedule-day option is set";

  NewDay v;
  v.ws.mcfg.setU8(mcfg::OneUserDate, 1);
  v.ws.mcfg.setU8(4604, 1);
  v.saveConfig();
  EarlyMorningStuff(v.ws, false);
  EXPECT_EQ(readFile(v.path("1USRDATE.DAF")), FormatDay(v.ws, v.ws.Today - 1));
  EXPECT_EQ(ReadProcessedDay(v.ws), ParseDay(v.ws, FormatDay(v.ws, v.ws.Today - 1), "", false));
}

TEST(DailyProcessing, LaterRunsConsultTheDayOnlyForTheMainUserWhenAsked) {
  NewDay w;
  w.ws.mcfg.setI16(mcfg::LastDateUsed, w.ws.Today);
  w.ws.mcfg.setU8(mcfg::OneUserDate, 1);
  w.ws.mcfg.setU8(4603, 1);
  w.ws.mcfg.setU8(mcfg::MainUserMorning, 1);
  w.saveConfig();
  EarlyMorningStuff(w.ws, true);  // Bob is not the main user
  EXPECT_FALSE(std::filesystem::exists(w.path("1USRDATE.DAF")));

  auto ann = w.station("ANN");
  EarlyMorningStuff(*ann, true);
  EXPECT_TRUE(std::filesystem::exists(w.path("1USRDATE.DAF")));
}

TEST(DailyProcessing, TimeSlipsOfAnotherDayGo) {
  NewDay w;
  WriteTimeSlips(w.ws.paths.TimeSlipFile, 3, static_cast<std::int16_t>(w.ws.Today - 1));
  EarlyMorningStuff(w.ws, false);
  EXPECT_FALSE(std::filesystem::exists(w.ws.paths.TimeSlipFile));

  NewDay v;
  WriteTimeSlips(v.ws.paths.TimeSlipFile, 3, v.ws.Today);
  EarlyMorningStuff(v.ws, false);
  EXPECT_TRUE(std::filesystem::exists(v.ws.paths.TimeSlipFile));

  NewDay u;
  WriteTimeSlips(u.ws.paths.TimeSlipFile, 1, 0);  // no day to read: kept
  EarlyMorningStuff(u.ws, false);
  EXPECT_TRUE(std::filesystem::exists(u.ws.paths.TimeSlipFile));
}


// What a write killed halfway left goes with the first run of a day; a
// temporary of a write going on now, and anything else, stays.
TEST(DailyProcessing, TheFirstRunOfTheDayClearsTheTemporariesOfKilledWrites) {
  struct Plant {
    const char* name;
    int ageMinutes;
    enum { File, Link, Folder } kind;
    bool gone;
  };
  const Plant plants[] = {
      {"BULLETIN/5.DA1.0123456789abcdef.tmp", 120, Plant::File, true},
      {"LOCATE.DAF.fedcba9876543210.tmp", 61, Plant::File, true},
      {"BULLETIN/6.DA1.0123456789abcdef.tmp", 5, Plant::File, false},      // a write going on
      {"BULLETIN/NOTES.tmp", 120, Plant::File, false},                      // not a name of ours
      {"BULLETIN/7.DA1.0123456789ABCDEF.tmp", 120, Plant::File, false},    // nor this
      {"BULLETIN/8.DA1.0123456789abcdef.tmp", 120, Plant::Link, false},    // a link is nobody's temporary
      {"BULLETIN/9.DA1.0123456789abcdef.tmp", 120, Plant::Folder, false},
  };
  NewDay w;
  const std::string outside = w.path("outside.txt");
  writeFile(outside, "kept");
  for (const Plant& p : plants) {
    const std::string at = w.path(p.name);
    if (p.kind == Plant::File) writeFile(at, "half");
    if (p.kind == Plant::Link) std::filesystem::create_symlink(outside, at);
    if (p.kind == Plant::Folder) std::filesystem::create_directory(at);
    const timespec when[2] = {{std::time(nullptr) - p.ageMinutes * 60, 0}, {std::time(nullptr) - p.ageMinutes * 60, 0}};
    ::utimensat(AT_FDCWD, at.c_str(), when, AT_SYMLINK_NOFOLLOW);
  }
  EarlyMorningStuff(w.ws, false);
  for (const Plant& p : plants)
    EXPECT_EQ(!std::filesystem::exists(std::filesystem::symlink_status(w.path(p.name))), p.gone) << p.name;
  EXPECT_EQ(readFile(outside), "kept");

  // A later run the same day leaves even old ones to the next day's.
  writeFile(w.path("BULLETIN/5.DA1.0123456789abcdef.tmp"), "half");
  const timespec old[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ::utimensat(AT_FDCWD, w.path("BULLETIN/5.DA1.0123456789abcdef.tmp").c_str(), old, 0);
  EarlyMorningStuff(w.ws, false);
  EXPECT_TRUE(std::filesystem::exists(w.path("BULLETIN/5.DA1.0123456789abcdef.tmp")));
}

}  // namespace
}  // namespace egresso
