#include "config/config_store.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>

#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/workstation_fixture.h"
#include "support/faulty_file_ops.h"

namespace egresso {
namespace {

using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

class ConfigStoreTest : public test::WorkstationTest {
 protected:
  ConfigStoreTest() { setDay(7); }

  std::string dat() const { return path("CFGMAIN.DAF"); }
  std::string bak() const { return path("CFGMAIN.BAK"); }
  std::string bac() const { return path("CFGMAIN.BAC"); }
  std::string backup(const std::string& name) const { return path("BACKUP/" + name); }

  // A main configuration record whose first employee is marker.
  static std::string configRecord(const std::string& marker) {
    MainConfig m;
    m.setEmpInitials(1, marker);
    return std::string(m.bytes.begin(), m.bytes.end());
  }
  static std::string markerIn(const std::string& file) {
    std::string bytes = readFile(file);
    if (bytes.size() < mcfg::Size) return "(" + std::to_string(bytes.size()) + " bytes)";
    MainConfig m;
    std::copy(bytes.begin(), bytes.begin() + mcfg::Size, m.bytes.begin());
    return m.empInitials(1);
  }

  void setDay(int day) {
    fake.clock.set(2026, 12, day, 9, 0);
    ws.Today = DayNumber(2026, 12, day);
  }
  static void setFileDay(const std::string& file, int day) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = day;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    std::time_t t = std::mktime(&local);
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
  }
  bool exists(const std::string& file) const { return fs::exists(file); }
  std::vector<std::string> leftovers() const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      std::string ext = e.path().extension().string();
      if (ext == ".LOK" || ext == ".TMP") found.push_back(e.path().filename().string());
    }
    return found;
  }
};

// --- reading, restoring and starting the main configuration ---

TEST_F(ConfigStoreTest, StartUpRestoresAMissingConfigurationFromTheDailyCopy) {
  writeFile(bak(), configRecord("BAK"));
  LoadMainConfig(ws, 3);
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_FALSE(ws.QuitRequested);
  EXPECT_EQ(ws.mcfg.empInitials(1), "BAK");
  EXPECT_EQ(markerIn(dat()), "BAK");
  EXPECT_EQ(markerIn(bac()), "BAK") << "a copy of the day before is kept";
  EXPECT_FALSE(exists(bak()));
  EXPECT_EQ(fake.events.slept, 8 * 250) << "eight pauses before the file counts as missing";
  EXPECT_NE(trace().find(" BAKmcfgFyl: ABC  "), std::string::npos) << trace();
  EXPECT_TRUE(fake.dialogs.dialogs.empty()) << shown();
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConfigStoreTest, StartUpRestoresFromTheOlderCopyWhenOnlyThatIsLeft) {
  writeFile(bac(), configRecord("BAC"));
  LoadMainConfig(ws, 3);
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_EQ(ws.mcfg.empInitials(1), "BAC");
  EXPECT_EQ(markerIn(dat()), "BAC");
  EXPECT_EQ(markerIn(bac()), "BAC");
  EXPECT_FALSE(exists(bak()));
  std::string t = trace();
  EXPECT_LT(t.find(" BACmcfgFyl: "), t.find(" BAKmcfgFyl: ")) << t;
}

TEST_F(ConfigStoreTest, StartUpBeginsANewConfigurationWhenThereNeverWasOne) {
  ws.mcfg.setEmpInitials(1, "OLD");
  LoadMainConfig(ws, 3);
  EXPECT_FALSE(ws.QuitRequested);
  ASSERT_EQ(fs::file_size(dat()), mcfg::Size);
  EXPECT_EQ(markerIn(dat()), "");
  EXPECT_EQ(static_cast<std::uint8_t>(readFile(dat())[mcfg::BoardTimerSeconds]), 4);
  EXPECT_NE(trace().find(" NEWmcfgFyl: ABC  "), std::string::npos);
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(ConfigStoreTest, StartUpEndsWhenTheBackupFolderShowsAConfigurationExisted) {
  fs::create_directory(path("BACKUP"));
  // Cut short, so there is nothing whole to restore from.
  writeFile(backup("CFGMAIN.BA1"), configRecord("BA1").substr(0, 100));
  LoadMainConfig(ws, 3);
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_FALSE(exists(dat())) << "no new configuration over a lost one";
  EXPECT_NE(shown().find("Cannot read " + dat() + "."), std::string::npos);
  EXPECT_NE(shown().find("Configuration lost; see " + ws.paths.BackupFolder + " and " + dat() + "."),
            std::string::npos)
      << shown();
  EXPECT_GE(fake.dialogs.beeps, 1);
}

TEST_F(ConfigStoreTest, ATruncatedConfigurationIsRestoredFromTheDailyCopy) {
  writeFile(dat(), configRecord("CUT").substr(0, 1000));
  writeFile(bak(), configRecord("BAK"));
  ws.mcfg.setEmpInitials(1, "MEM");
  ReadMainConfig(ws, "T1");
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_EQ(ws.mcfg.empInitials(1), "BAK");
  EXPECT_EQ(markerIn(dat()), "BAK");
  EXPECT_EQ(fake.events.slept, 8 * 250);
  std::string t = trace();
  EXPECT_NE(t.find(" CantRead ABC "), std::string::npos) << t;
  EXPECT_NE(t.find("  Src=T1  Attmpt=1  ERR[100]  Sz=1000"), std::string::npos) << t;
  EXPECT_NE(t.find("   2 RestoreMCFG  " + bak() + "->" + dat() + "    Cls:Del:Cpy[0:0:0]  sz=1000"), std::string::npos)
      << t;
  EXPECT_TRUE(fake.dialogs.dialogs.empty()) << shown();
}

TEST_F(ConfigStoreTest, ATruncatedConfigurationWithoutCopiesIsKeptWhenTheUserEnds) {
  std::string cut = configRecord("CUT").substr(0, 1000);
  writeFile(dat(), cut);
  ws.mcfg.setEmpInitials(1, "MEM");
  fake.dialogs.answers = {2};
  ReadMainConfig(ws, "T2");
  EXPECT_FALSE(ws.locks.ConfigRead);
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_EQ(ws.mcfg.empInitials(1), "MEM") << "a partial record never reaches memory";
  EXPECT_EQ(readFile(dat()), cut);
  EXPECT_EQ(fake.events.slept, 16 * 250);
  ASSERT_GE(fake.dialogs.dialogs.size(), 1u);
  const DialogRequest& ask = fake.dialogs.dialogs[0];
  EXPECT_EQ(ask.message, "Cannot read " + dat() + ". Restore?");
  EXPECT_EQ(ask.button1, "Yes");
  EXPECT_EQ(ask.button2, "No");
  EXPECT_EQ(ask.defaultButton, 1);
}

TEST_F(ConfigStoreTest, AReadOnlyConfigurationIsReadAndMadeWritable) {
  writeFile(dat(), configRecord("RO"));
  ::chmod(dat().c_str(), 0444);
  ReadMainConfig(ws, "T3");
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_EQ(ws.mcfg.empInitials(1), "RO");
  EXPECT_EQ(fake.events.slept, 0);
  EXPECT_FALSE(exists(bak()));
  struct stat st;
  ASSERT_EQ(::stat(dat().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0600, 0600u);
  ws.mcfg.setEmpInitials(1, "RW");
  WriteMainConfig(ws, "T3");
  EXPECT_EQ(markerIn(dat()), "RW");
}

TEST_F(ConfigStoreTest, AZeroScaleIsReadAsOne) {
  writeFile(dat(), configRecord("ONE"));
  ReadMainConfig(ws, "T4");
  EXPECT_EQ(ws.mcfg.real(mcfg::ScaleReal), 1.0);
}

TEST_F(ConfigStoreTest, WritingWaitsForTheConfigurationLockAndSkipsWhenGivenUp) {
  writeFile(dat(), configRecord("DSK"));
  writeFile(path("MCFG.LOK"), "XYZ MCFG - CUOK2     2222\r\n");
  fake.lockAlert.keyAnswer = 27;
  ws.mcfg.setEmpInitials(1, "MEM");
  WriteMainConfig(ws, "T5");
  EXPECT_EQ(markerIn(dat()), "DSK");
  EXPECT_EQ(fake.lockAlert.texts.size(), 1u);

  fs::remove(path("MCFG.LOK"));
  WriteMainConfig(ws, "T5");
  EXPECT_EQ(markerIn(dat()), "MEM");
  EXPECT_TRUE(leftovers().empty());
}

// Whether the bytes on disk match or not, a write leaves the record in
// memory there and the file stamped with the present time.
TEST_F(ConfigStoreTest, AWriteLeavesTheRecordStampedWhetherOrNotItsBytesChanged) {
  struct Case {
    const char* name;
    std::string onDisk;
  };
  ws.mcfg.setEmpInitials(1, "MEM");
  const std::string mem(ws.mcfg.bytes.begin(), ws.mcfg.bytes.end());
  for (const Case& c : {Case{"the same bytes", mem}, Case{"other bytes", configRecord("DSK")},
                        Case{"a short file", mem.substr(0, 100)}, Case{"a longer file", mem + "tail"}}) {
    writeFile(dat(), c.onDisk);
    setFileDay(dat(), 1);
    WriteMainConfig(ws, "T5");
    EXPECT_EQ(readFile(dat()), mem) << c.name;
    EXPECT_GT(fs::last_write_time(dat()), fs::file_time_type::clock::now() - std::chrono::hours(1)) << c.name;
    EXPECT_TRUE(leftovers().empty()) << c.name;
  }
}

TEST_F(ConfigStoreTest, LockedReadsReleaseExactlyTheLockTheyTook) {
  writeFile(dat(), configRecord("DSK"));  // its LockedConfigReads flag is clear
  ws.mcfg.setU8(mcfg::LockedConfigReads, 1);
  ReadMainConfig(ws, "T6");
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_TRUE(leftovers().empty()) << "the lock taken before the read is released after it";

  MainConfig locked;
  locked.setU8(mcfg::LockedConfigReads, 1);
  writeFile(dat(), std::string(locked.bytes.begin(), locked.bytes.end()));
  writeFile(path("MCFG.LOK"), "XYZ MCFG - CUOK2     2222\r\n");
  ws.mcfg.setU8(mcfg::LockedConfigReads, 0);
  ReadMainConfig(ws, "T6");
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_EQ(readFile(path("MCFG.LOK")), "XYZ MCFG - CUOK2     2222\r\n");
}

TEST_F(ConfigStoreTest, AGivenUpLockedReadLeavesTheConfigurationAlone) {
  writeFile(path("MCFG.LOK"), "XYZ MCFG - CUOK2     2222\r\n");
  writeFile(bak(), configRecord("BAK"));
  ws.mcfg.setU8(mcfg::LockedConfigReads, 1);
  fake.lockAlert.keyAnswer = 27;
  LoadMainConfig(ws, 3);
  EXPECT_FALSE(ws.locks.ConfigRead);
  EXPECT_FALSE(exists(dat())) << "nothing restored or created while the file was not even looked at";
  EXPECT_EQ(markerIn(bak()), "BAK");
}

TEST_F(ConfigStoreTest, LevelTwoWritesTheRecordInMemoryAndTermsAreCopied) {
  for (int i = 0; i < 5; ++i) ws.mcfg.setStr(mcfg::SuiteTerms + 16 * i, 15, "Term" + std::to_string(i));
  LoadMainConfig(ws, 2);
  ASSERT_TRUE(exists(dat()));
  ws.mcfg.clear();
  LoadMainConfig(ws, 0);
  EXPECT_TRUE(ws.locks.ConfigRead);
  // Rows in placeholder order: stored terms 0, 4, 1, 3, 2.
  EXPECT_EQ(ws.notices.Terms[0], "Term0");
  EXPECT_EQ(ws.notices.Terms[1], "Term4");
  EXPECT_EQ(ws.notices.Terms[2], "Term1");
  EXPECT_EQ(ws.notices.Terms[3], "Term3");
  EXPECT_EQ(ws.notices.Terms[4], "Term2");
}

TEST_F(ConfigStoreTest, ReadOnlyLevelsNeverCreateAConfiguration) {
  LoadMainConfig(ws, 1);
  EXPECT_FALSE(ws.locks.ConfigRead);
  EXPECT_FALSE(exists(dat()));
}

TEST_F(ConfigStoreTest, AMissingDataFolderIsReportedWithoutHanging) {
  test::joinFolder(ws, dir.str() + "/GONE", "ABC", "1111");
  ws.locks.TraceFolder = dir.str();
  LoadMainConfig(ws, 3);
  EXPECT_FALSE(ws.QuitRequested);
  // The write's lock file cannot be made: reported under the write's tag.
  EXPECT_NE(shown().find("\"2 (MCFG - Work W: (3))\""), std::string::npos) << shown();
  LoadPersonalConfig(ws, 3);
  EXPECT_NE(shown().find("(WPCfg)"), std::string::npos) << shown();
  // The backup cannot take its lock either; the folder was reported already.
  const std::size_t before = fake.dialogs.dialogs.size();
  BackupDataFiles(ws);
  EXPECT_EQ(fake.dialogs.dialogs.size(), before) << shown();
  EXPECT_FALSE(exists(dir.str() + "/GONE"));
}

TEST_F(ConfigStoreTest, AnEmptyBackupFolderTakesNoCopies) {
  writeFile(dat(), configRecord("DSK"));
  ws.MultiUser = false;
  ws.paths.BackupFolder.clear();
  {
    // Should the copies go to the root folder after all, they must fail there
    // rather than land: a test run as root works as a plain user meanwhile.
    const bool root = ::geteuid() == 0;
    const int previous = root ? ::setfsuid(65534) : 0;
    BackupDataFiles(ws);
    if (root) ::setfsuid(previous);
  }
  EXPECT_FALSE(exists("/CFGMAIN.BA1"));
  EXPECT_NE(shown().find("No backup folder ."), std::string::npos) << shown();
  EXPECT_EQ(fake.dialogs.dialogs.size(), 1u) << shown();
}

// --- the personal configuration ---

TEST_F(ConfigStoreTest, APersonalConfigurationIsCreatedAtStartUpOnly) {
  const std::string file = ws.paths.PersonalConfigPath;
  LoadPersonalConfig(ws, 1);
  EXPECT_FALSE(exists(file));
  ws.pcfg.setI16(pcfg::WorkDayBegin, 700);
  LoadPersonalConfig(ws, 3);
  ASSERT_EQ(fs::file_size(file), pcfg::Size);
  EXPECT_FALSE(ws.locks.ConfigRead);

  ws.pcfg.setI16(pcfg::WorkDayBegin, 915);
  LoadPersonalConfig(ws, 2);
  ws.pcfg.clear();
  LoadPersonalConfig(ws, 3);
  EXPECT_TRUE(ws.locks.ConfigRead);
  EXPECT_EQ(ws.pcfg.i16(pcfg::WorkDayBegin), 915);
  EXPECT_TRUE(fake.dialogs.dialogs.empty()) << shown();
}

TEST_F(ConfigStoreTest, ATruncatedPersonalConfigurationIsReportedAndKept) {
  const std::string file = ws.paths.PersonalConfigPath;
  writeFile(file, std::string(100, 'x'));
  LoadPersonalConfig(ws, 3);
  EXPECT_NE(shown().find("Read error (RPCfg)"), std::string::npos) << shown();
  EXPECT_EQ(fs::file_size(file), 100u) << "defaults never go over a file that is there";
}

// --- unreadable is not missing, and not damaged ---

// Only a file read and found cut short, or a missing one, is restored from
// a whole copy (the daily one, the one before, then the backup folder's
// newest); one that cannot be read is reported with its reason and left as
// it is, and defaults never go over a personal file that is there.
TEST_F(ConfigStoreTest, OnlyADamagedOrMissingConfigurationIsReplaced) {
  enum Fault { None, Refused, ReadFails };
  enum Start { ReadMain, LoadMain, LoadPersonal };
  struct Row {
    const char* name;
    Start start;
    Fault fault;
    std::vector<std::pair<std::string, std::string>> files;  // name, marker ("" whole defaults, "cut:" short)
    const char* datAfter;  // marker of CFGMAIN.DAF after
    bool read, quits;
    const char* shows;  // part of what the user is shown ("" nothing)
  };
  const std::string personal = "CFGABC.DAF";
  const Row rows[] = {
      {"refused main file, copies there", LoadMain, Refused, {{"CFGMAIN.DAF", "DAT"}, {"CFGMAIN.BAK", "BAK"}},
       "DAT", false, true, "permission denied"},
      {"main file whose reading fails", ReadMain, ReadFails, {{"CFGMAIN.DAF", "DAT"}, {"CFGMAIN.BAK", "BAK"}},
       "DAT", false, false, "input/output error"},
      {"cut short, daily copy cut short too", ReadMain, None,
       {{"CFGMAIN.DAF", "cut:"}, {"CFGMAIN.BAK", "cut:"}, {"CFGMAIN.BAC", "BAC"}}, "BAC", true, false, ""},
      {"cut short, both copies cut short", ReadMain, None,
       {{"CFGMAIN.DAF", "cut:"}, {"CFGMAIN.BAK", "cut:"}, {"BACKUP/CFGMAIN.BA2", "BA2"}, {"BACKUP/CFGMAIN.BA1", "BA1"}},
       "BA1", true, false, ""},
      {"missing, only the backup folder's copy", LoadMain, None, {{"BACKUP/CFGMAIN.BA1", "BA1"}}, "BA1", true, false,
       ""},
      {"refused personal file", LoadPersonal, Refused, {{personal, "PER"}}, "", false, false, "permission denied"},
      {"personal file cut short", LoadPersonal, None, {{personal, "cut:"}}, "", false, false, "Read error (RPCfg)"},
      {"missing personal file", LoadPersonal, None, {}, "", false, false, ""},
  };
  fs::create_directory(path("BACKUP"));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.is_regular_file()) fs::remove(e.path());
    for (const auto& e : fs::directory_iterator(path("BACKUP"))) fs::remove(e.path());
    for (const auto& [name, marker] : r.files) {
      writeFile(path(name), marker == "cut:" ? configRecord("CUT").substr(0, 100) : configRecord(marker));
      setFileDay(path(name), name.ends_with("BA2") ? 3 : 6);
    }
    const std::map<std::string, std::string> before = [&] {
      std::map<std::string, std::string> all;
      for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        if (e.is_regular_file()) all[e.path().string()] = readFile(e.path());
      return all;
    }();
    test::RefusingFileOps refusing(r.start == LoadPersonal ? personal : "CFGMAIN.DAF", EACCES);
    test::FaultyFileOps failing;
    failing.arm(1, EIO, test::FaultyFileOps::Read, true);
    ws.files = r.fault == Refused ? static_cast<FileOps*>(&refusing)
               : r.fault == ReadFails ? static_cast<FileOps*>(&failing)
                                      : &ws.ownFiles;
    fake.dialogs.dialogs.clear();
    ws.QuitRequested = false;
    ws.locks.PersonalStandIn = false;
    ws.mcfg.setEmpInitials(1, "MEM");
    if (r.start == ReadMain) ReadMainConfig(ws, "T");
    if (r.start == LoadMain) LoadMainConfig(ws, 3);
    if (r.start == LoadPersonal) {
      LoadPersonalConfig(ws, 3);
      WritePersonalConfig(ws);  // as a tool saving its placement later would
    }
    ws.files = &ws.ownFiles;
    EXPECT_EQ(ws.locks.ConfigRead, r.read);
    EXPECT_EQ(ws.QuitRequested, r.quits);
    if (r.start != LoadPersonal) EXPECT_EQ(markerIn(dat()), r.datAfter);
    if (r.start != LoadPersonal && !r.read) EXPECT_EQ(ws.mcfg.empInitials(1), "MEM");
    if (*r.shows == 0) {
      EXPECT_TRUE(fake.dialogs.dialogs.empty()) << shown();
    } else {
      EXPECT_NE(shown().find(r.shows), std::string::npos) << shown();
      EXPECT_NE(shown().find(r.start == LoadPersonal ? personal : "CFGMAIN.DAF"), std::string::npos) << shown();
    }
    // Whatever was not restored is as it was; a missing personal file is made.
    for (const auto& [file, bytes] : before)
      if (r.read && file == dat()) continue;
      else EXPECT_EQ(readFile(file), bytes) << file;
    if (r.files.empty()) EXPECT_EQ(fs::file_size(path(personal)), pcfg::Size);
  }
}

// --- daily copies ---

TEST_F(ConfigStoreTest, TheDailyCopyIsTakenOncePerDay) {
  writeFile(dat(), configRecord("D1"));
  writeFile(bak(), configRecord("D0"));
  setFileDay(bak(), 6);
  DailyConfigBackup(ws);
  EXPECT_EQ(markerIn(bak()), "D1");
  EXPECT_EQ(markerIn(bac()), "D0");

  writeFile(dat(), configRecord("D1B"));
  DailyConfigBackup(ws);
  EXPECT_EQ(markerIn(bak()), "D1") << "a second run the same day leaves the copies alone";
  EXPECT_EQ(markerIn(bac()), "D0");

  setDay(8);
  DailyConfigBackup(ws);
  EXPECT_EQ(markerIn(bak()), "D1B");
  EXPECT_EQ(markerIn(bac()), "D1");
}

// Everything in the backup folder and the daily copy, with modification times.
std::map<std::string, std::string> snapshot(const std::string& data) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(data)) {
    std::string name = e.path().filename().string();
    if (!e.is_regular_file() || (name != "CFGMAIN.BAK" && e.path().string().find("/BACKUP/") == std::string::npos))
      continue;
    files[e.path().string()] =
        readFile(e.path()) + "@" + std::to_string(fs::last_write_time(e.path()).time_since_epoch().count());
  }
  return files;
}

TEST_F(ConfigStoreTest, ASecondStartTheSameDayLeavesTheCopiesUntouched) {
  writeFile(dat(), configRecord("FST"));
  writeFile(path("LOCATE.DAF"), "board");
  auto start = [&](Workstation& w) {
    LoadMainConfig(w, 3);
    DailyConfigBackup(w);
    BackupDataFiles(w);
  };
  start(ws);
  ASSERT_EQ(markerIn(bak()), "FST");
  ASSERT_EQ(readFile(backup("LOCATE.BA1")), "board");
  auto before = snapshot(dir.str());

  writeFile(dat(), configRecord("SND"));
  writeFile(path("LOCATE.DAF"), "board changed");
  test::FakePlatform laterFake;
  laterFake.clock.set(2026, 12, 7, 16, 30);
  Workstation later(laterFake.platform());
  test::joinFolder(later, dir.str(), "ABC", "1111");
  later.Today = ws.Today;
  start(later);
  EXPECT_EQ(later.mcfg.empInitials(1), "SND");
  EXPECT_EQ(snapshot(dir.str()), before);
}

class BackupTest : public ConfigStoreTest {
 protected:
  std::string generation(const std::string& stem, int n) const {
    std::string file = backup(stem + ".BA" + std::to_string(n));
    return exists(file) ? readFile(file) : "-";
  }
  std::string generations(const std::string& stem) const {
    return generation(stem, 1) + "," + generation(stem, 2) + "," + generation(stem, 3) + "," + generation(stem, 4);
  }
  // One day's run: the board file holds content, the configuration was written that day.
  void runDay(int day, const std::string& content) {
    setDay(day);
    writeFile(path("LOCATE.DAF"), content);
    writeFile(dat(), configRecord("C" + std::to_string(day)));
    setFileDay(dat(), day);
    BackupDataFiles(ws);
  }
};

TEST_F(BackupTest, FourGenerationsRotateWithTheOldTwoMovingEveryNineDays) {
  runDay(1, "v1");
  EXPECT_EQ(generations("LOCATE"), "v1,-,-,-");
  runDay(2, "v2");
  EXPECT_EQ(generations("LOCATE"), "v2,v1,-,-");
  runDay(3, "v3");
  EXPECT_EQ(generations("LOCATE"), "v3,v2,v1,-");
  for (int day = 4; day <= 11; ++day) runDay(day, "v" + std::to_string(day));
  EXPECT_EQ(generations("LOCATE"), "v11,v10,v1,-") << "generation 3 is not yet nine days old";
  runDay(12, "v12");
  EXPECT_EQ(generations("LOCATE"), "v12,v11,v10,v1");
  runDay(13, "v13");
  EXPECT_EQ(generations("LOCATE"), "v13,v12,v10,v1");
  EXPECT_EQ(markerIn(backup("CFGMAIN.BA1")), "C13");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(BackupTest, ASecondRunTheSameDayLeavesTheBackupFolderUntouched) {
  runDay(5, "first");
  runDay(5, "second");
  EXPECT_EQ(generations("LOCATE"), "first,-,-,-");
  EXPECT_EQ(markerIn(backup("CFGMAIN.BA1")), "C5");
}

TEST_F(BackupTest, AMissingDataFileKeepsItsGenerations) {
  runDay(1, "v1");
  runDay(2, "v2");
  fs::remove(path("LOCATE.DAF"));
  setDay(3);
  BackupDataFiles(ws);
  setDay(4);
  BackupDataFiles(ws);
  EXPECT_EQ(generations("LOCATE"), "v2,v1,-,-");
}

TEST_F(BackupTest, EmployeeMemosAndTheExtraGroupsAreIncluded) {
  ws.mcfg.setEmpInitials(3, "QRS");
  writeFile(path("MEMOQRS.DAF"), "memo");
  writeFile(path("MESSAGE.DAF"), "messages");
  fs::create_directory(path("PROJNOTE"));
  fs::create_directory(path("PROJPLAN"));
  writeFile(path("PROJNOTE/N1.DAN"), "note");
  writeFile(path("PROJNOTE/N1.DAI"), "index");
  writeFile(path("PROJNOTE/N1.DAW"), "words");
  writeFile(path("PROJPLAN/P1.DAP"), "plan");
  writeFile(path("X1.DAX"), "extra");
  runDay(1, "v1");
  EXPECT_EQ(readFile(backup("MEMOQRS.BA1")), "memo");
  EXPECT_EQ(readFile(backup("MESSAGE.BA1")), "messages");
  EXPECT_EQ(readFile(backup("PROJNOTE/N1.BA1")), "note");
  EXPECT_EQ(readFile(backup("PROJNOTE/N1.IA1")), "index");
  EXPECT_EQ(readFile(backup("PROJNOTE/N1.WA1")), "words");
  EXPECT_EQ(readFile(backup("PROJPLAN/P1.BA1")), "plan");
  EXPECT_EQ(readFile(backup("X1.XA1")), "extra");
  runDay(2, "v2");
  EXPECT_EQ(readFile(backup("X1.XA2")), "extra");
  EXPECT_FALSE(exists(path("BAK.LOK")));
}

TEST_F(BackupTest, AFailedCopyIsReportedAndTheBackupGoesOn) {
  fs::create_directories(path("BACKUP/LOCATE.BA1"));  // a folder where the copy should go
  writeFile(path("MESSAGE.DAF"), "messages");
  runDay(1, "v1");
  EXPECT_NE(shown().find("Backup error "), std::string::npos);
  EXPECT_NE(shown().find(": \"" + path("LOCATE.DAF") + "\" not copied."), std::string::npos) << shown();
  EXPECT_EQ(readFile(backup("MESSAGE.BA1")), "messages");
}

// Two accounts of an office share, both in its group, each with a umask
// that keeps everybody else out: every save, copy and restore of the main
// configuration leaves it shared as it was, so the other account's next
// save works. The accounts are made for the test; it needs root.
class SharedAccountsTest : public ::testing::Test {
 protected:
  static constexpr const char* kGroup = "egresso-office";
  static constexpr const char* kUsers[2] = {"egresso-ann", "egresso-ben"};

  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "making test accounts and running as them needs root";
    if (std::system("command -v runuser >/dev/null && command -v useradd >/dev/null") != 0)
      GTEST_SKIP() << "runuser or useradd is not installed";
    // Each account's own group is its primary one: a new file gets that
    // group unless the save gives it the office's.
    std::string setup = std::string("getent group ") + kGroup + " >/dev/null || groupadd " + kGroup;
    for (const char* user : kUsers)
      setup += std::string(" && (id -u ") + user + " >/dev/null 2>&1 || useradd -M -U -G " + kGroup +
               " -s /usr/sbin/nologin " + user + ")";
    ASSERT_EQ(std::system((setup + " >/dev/null").c_str()), 0) << setup;
    ::chmod(dir.str().c_str(), 0755);
    ASSERT_TRUE(fs::create_directory(folder));
    ASSERT_EQ(std::system(("chgrp " + std::string(kGroup) + " '" + folder + "' && chmod 0770 '" + folder + "'").c_str()), 0);
  }

  // Runs a step of the saver child as user with umask 077; its exit code.
  int as(const char* user, const std::string& step) {
    const std::string cmd = std::string("timeout 120 runuser -u ") + user + " -- '" + EGRESSO_TEST_BIN_DIR +
                            "/egresso_config_saver_child' '" + folder + "' " + std::string(user).substr(8, 3) +
                            " 077 " + step + " 2>/dev/null";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;  // 124: timed out
  }

  // "mode group" of a file, e.g. "660 egresso-office".
  static std::string accessOf(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) return "missing";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", st.st_mode & 07777);
    std::string group = std::to_string(st.st_gid);
    if (struct group* g = ::getgrgid(st.st_gid)) group = g->gr_name;
    return std::string(mode) + " " + group;
  }

  test::TempDir dir;
  std::string folder = dir.str() + "/DATA";
};

TEST_F(SharedAccountsTest, EverySaveKeepsTheConfigurationSharedWithTheOtherAccount) {
  const std::string dat = folder + "/CFGMAIN.DAF", bak = folder + "/CFGMAIN.BAK";
  MainConfig m;
  writeFile(dat, std::string(m.bytes.begin(), m.bytes.end()));
  ASSERT_EQ(std::system(("chgrp " + std::string(kGroup) + " '" + dat + "' && chmod 0660 '" + dat + "'").c_str()), 0);
  const std::string shared = std::string("660 ") + kGroup;

  EXPECT_EQ(as(kUsers[0], "write"), 0);
  EXPECT_EQ(accessOf(dat), shared);
  EXPECT_EQ(as(kUsers[1], "write"), 0) << "the second account saves over the first one's file";
  EXPECT_EQ(accessOf(dat), shared);

  EXPECT_EQ(as(kUsers[1], "backup"), 0);
  EXPECT_EQ(accessOf(bak), shared) << "a new copy is shared as its source";
  EXPECT_EQ(as(kUsers[0], "restore"), 0);
  EXPECT_EQ(accessOf(dat), shared);
  EXPECT_EQ(as(kUsers[1], "write"), 0) << "and saves over a restored file";
  EXPECT_EQ(accessOf(dat), shared);
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_NE(entry.path().extension(), ".LOK") << entry.path();
}

}  // namespace
}  // namespace egresso
