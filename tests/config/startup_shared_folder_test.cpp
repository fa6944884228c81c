// Start-up on data folders that already hold configuration records.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "config/startup_fixture.h"
#include "config/startup_routine.h"
#include "storage/dates.h"
#include "tools/password.h"

namespace egresso {
namespace {

namespace fs = std::filesystem;

class SharedFolderStart : public test::StartupTest {
 protected:
  void SetUp() override {
    test::StartupTest::SetUp();
    fs::create_directory(data / "BULLETIN");
  }
  void office(const std::vector<std::string>& initials, const std::string& mainUser) {
    test::writeFile(data / "CFGMAIN.DAF", mainConfigFile(initials, mainUser));
  }
  std::string onDisk(const std::string& name) { return test::readFile(data / name); }
  std::uint8_t diskByte(const std::string& name, std::size_t offset) {
    const std::string bytes = onDisk(name);
    return offset < bytes.size() ? static_cast<std::uint8_t>(bytes[offset]) : 0xFF;
  }
};

TEST_F(SharedFolderStart, NewUserOnAFreshFolderGetsNewRecords) {
  fs::remove(data / "BULLETIN");
  start();
  EXPECT_FALSE(ws->QuitRequested);
  const std::string main = onDisk("CFGMAIN.DAF");
  ASSERT_EQ(main.size(), 6144u);
  EXPECT_EQ(main[5043], 4);  // BoardTimerSeconds: a five-second board timer
  EXPECT_EQ(main[4608], 1);  // OneUserDate
  EXPECT_EQ(main[6], 0);     // no employees
  EXPECT_TRUE(ws->options.MainConfigCreated);
  const std::string personal = onDisk("CFG.DAF");
  ASSERT_EQ(personal.size(), 1024u);
  EXPECT_EQ(static_cast<std::uint8_t>(personal[40]) | static_cast<std::uint8_t>(personal[41]) << 8, 800);
  EXPECT_EQ(static_cast<std::uint8_t>(personal[42]) | static_cast<std::uint8_t>(personal[43]) << 8, 1730);
  EXPECT_EQ(personal[879], 'T');
  EXPECT_EQ(personal.substr(901, 10), std::string("\x09") + "alarm.wav");
  EXPECT_TRUE(fs::is_directory(data / "BULLETIN"));
}

TEST_F(SharedFolderStart, UserNotInTheTableIsToldAndNothingIsTouched) {
  office({"ABC", "DEF"}, "ABC");
  test::writeFile(data / "CFGDEF.DAF", personalConfigFile());
  fake.serial.portWithModem = 1;
  const auto before = snapshot();
  start({"/TU=xyz"});
  EXPECT_TRUE(ws->QuitRequested);
  ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fake.dialogs.boxes[0], "XYZ is not in the employee table.  Ask ABC to add you.");
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(fake.password.runs, 0);
}

TEST_F(SharedFolderStart, MainUserMayBeMissingFromTheTable) {
  office({"DEF"}, "ABC");
  start({"/TU=abc"});
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_EQ(ws->UserSlot, 0);
  EXPECT_TRUE(ws->MultiUser);
}

TEST_F(SharedFolderStart, AlternativeFolderLiftsTheTableCheck) {
  const std::string alt = data.str() + "/ALT";
  fs::create_directory(alt);
  test::writeFile(alt + "/CFGMAIN.DAF", mainConfigFile({"DEF"}, "ABC"));
  ProgramStartup(*ws, program.str(), {"/MD=" + data.str(), "/RD=" + alt, "/TU=xyz"});
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_EQ(ws->paths.DataFolder, alt);
  ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fake.dialogs.boxes[0], "Working in the alternative data folder.");
}

TEST_F(SharedFolderStart, IdentificationAsksForInitials) {
  office({"ABC", "DEF"}, "ABC");
  fake.password.type("xx");
  fake.password.type("def");
  start();
  ASSERT_EQ(fake.password.runs, 1);
  EXPECT_EQ(fake.password.shown[0].Caption, "Who are you?");
  EXPECT_EQ(fake.password.shown[0].MaxLength, 3);
  EXPECT_EQ(fake.dialogs.dialogs.size(), 1u);  // the stranger "XX" was refused
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_EQ(ws->ThisUser, "DEF");
  EXPECT_EQ(ws->UserSlot, 2);
  EXPECT_TRUE(ws->MultiUser);
  EXPECT_EQ(ws->paths.PersonalConfigPath, data.str() + "/CFGDEF.DAF");
  EXPECT_EQ(onDisk("CFGDEF.DAF").size(), 1024u);
  EXPECT_FALSE(fs::exists(data / "CFG.DAF"));
}

TEST_F(SharedFolderStart, ConfigurationBroughtBackFromItsCopyStillRefusesStrangers) {
  test::writeFile(data / "CFGMAIN.BAK", mainConfigFile({"ABC", "DEF"}, "ABC"));
  fake.password.type("xyz");
  fake.password.type("def");
  start();
  EXPECT_FALSE(ws->options.MainConfigCreated);
  ASSERT_EQ(fake.password.runs, 1);
  EXPECT_EQ(fake.dialogs.dialogs.size(), 1u);  // "XYZ" was refused in the dialog
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_EQ(ws->ThisUser, "DEF");
}

TEST_F(SharedFolderStart, IdentificationCancelledEndsTheProgramUntouched) {
  office({"ABC", "DEF"}, "ABC");
  const auto before = snapshot();
  fake.password.cancel();
  start({"/SX"});
  EXPECT_TRUE(ws->QuitRequested);
  EXPECT_FALSE(ws->StartupFinished) << "nobody to sign out at exit";
  EXPECT_EQ(ws->ThisUser, "");
  EXPECT_EQ(snapshot(), before);
  EXPECT_TRUE(fake.serial.probed.empty());
}

TEST_F(SharedFolderStart, StoredPasswordIsAskedAndAWrongOneBeeps) {
  office({"ABC", "DEF"}, "ABC");
  test::writeFile(data / "CFGDEF.DAF", personalConfigFile([](PersonalConfig& p) {
                    p.setStr(pcfg::UserPassword, 8, EncodePassword("OPEN"));
                    p.setU8(pcfg::RequestPassword, 1);
                  }));
  fake.password.type("shut");
  fake.password.type("open");
  start({"/TU=def"});
  ASSERT_EQ(fake.password.runs, 1);
  EXPECT_TRUE(fake.password.shown[0].Masked);
  EXPECT_EQ(fake.dialogs.beeps, 1);
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_TRUE(ws->StartupFinished);
  EXPECT_TRUE(ws->PasswordDialogClosed);
}

TEST_F(SharedFolderStart, CancelAtThePasswordEndsTheProgram) {
  office({"ABC", "DEF"}, "ABC");
  test::writeFile(data / "CFGDEF.DAF", personalConfigFile([](PersonalConfig& p) {
                    p.setStr(pcfg::UserPassword, 8, EncodePassword("OPEN"));
                  }));
  // Everybody is asked, through the main record's flag.
  std::string main = mainConfigFile({"ABC", "DEF"}, "ABC");
  main[4607] = 1;
  test::writeFile(data / "CFGMAIN.DAF", main);
  fake.password.cancel();
  start({"/TU=def", "/SX"});
  EXPECT_EQ(fake.password.runs, 1);
  EXPECT_TRUE(ws->QuitRequested);
  EXPECT_FALSE(ws->StartupFinished) << "a user who did not get in is not signed out at exit";
  EXPECT_TRUE(ws->PasswordDialogClosed);
}

TEST_F(SharedFolderStart, InitialsAreUpperCasedAndComparedExactly) {
  office({"Abc", "XY", "ABC"}, "XY");
  start({"/TU=abc"});
  EXPECT_EQ(ws->ThisUser, "ABC");
  EXPECT_EQ(ws->UserSlot, 3);

  office({"Abc"}, "XY");
  ws = fresh();
  start({"/TU=abc"});
  EXPECT_TRUE(ws->QuitRequested);  // "Abc" is somebody else
}

TEST_F(SharedFolderStart, TwiceInTheTableGivesTheLaterSlot) {
  office({"DEF", "ABC", "GHI", "JKL", "ABC"}, "DEF");
  start({"/TU=ABC"});
  EXPECT_EQ(ws->UserSlot, 5);
}

TEST_F(SharedFolderStart, MainUserWritesTheRecordWithItsOverrides) {
  office({"ABC", "DEF"}, "ABC");
  start({"/TU=def", "/AM"});
  EXPECT_EQ(diskByte("CFGMAIN.DAF", 4960), 0);  // another user's overrides stay in memory
  EXPECT_EQ(ws->mcfg.u8(mcfg::ArchiveMessages), 1);

  ws = fresh();
  start({"/TU=abc", "/AM"});
  EXPECT_EQ(diskByte("CFGMAIN.DAF", 4960), 1);
}

TEST_F(SharedFolderStart, MinusMarkKeepsTheStoredMainUser) {
  std::string main = mainConfigFile({"ABC"}, "ABC");
  main[4609] = 1;  // MainUserMorning
  test::writeFile(data / "CFGMAIN.DAF", main);
  start({"/TU=abc", "/MU=-"});
  EXPECT_EQ(ws->mcfg.mainUserInitials(), "ABC");
  EXPECT_EQ(ws->mcfg.u8(mcfg::MainUserMorning), 0);
  EXPECT_EQ(ws->mcfg.u8(mcfg::OneUserDate), 0);
}

TEST_F(SharedFolderStart, NegativeDailyOffsetTurnsTheMorningRunOff) {
  std::string main = mainConfigFile({}, "");
  main[5037] = static_cast<char>(-20);
  test::writeFile(data / "CFGMAIN.DAF", main);
  start();
  EXPECT_EQ(ws->mcfg.i8(mcfg::DailyOffset), 0);
  EXPECT_FALSE(ws->options.MorningRun);
}

TEST_F(SharedFolderStart, StoredModemPortThatDoesNotAnswerLeadsToASearch) {
  test::writeFile(data / "CFG.DAF", personalConfigFile([](PersonalConfig& p) { p.setU8(pcfg::ModemPort, '1'); }));
  fake.serial.portWithModem = 3;
  start();
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 1, 2, 3}));
  EXPECT_EQ(diskByte("CFG.DAF", 880), '3');
}

TEST_F(SharedFolderStart, NormalDataBesideTheAlternativeFolderIsNotWrittenByStartUp) {
  office({}, "");
  // This user's day was processed already: the day's own writes do not come in.
  const std::int16_t today = DayNumber(fake.clock.now());
  test::writeFile(data / "CFG.DAF", personalConfigFile([&](PersonalConfig& p) { p.setI16(pcfg::UserLastDate, today); }));
  const std::string mainBefore = onDisk("CFGMAIN.DAF");
  fake.serial.portWithModem = 2;
  ProgramStartup(*ws, program.str(), {"/MD=" + data.str(), "/RD=" + data.str() + "/ALT", "/AM"});
  EXPECT_TRUE(ws->options.NormalDataPresent);
  EXPECT_EQ(ws->pcfg.u8(pcfg::ModemPort), '2');
  EXPECT_EQ(diskByte("CFG.DAF", 880), 0);
  EXPECT_EQ(onDisk("CFGMAIN.DAF"), mainBefore);
  EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(SharedFolderStart, TraceSwitchedOffStillTracesTheRead) {
  office({}, "");
  start({"/TB+", "/TB-"});
  EXPECT_EQ(ws->mcfg.u8(mcfg::TraceLog), 0);
  EXPECT_EQ(diskByte("CFGMAIN.DAF", 4966), 0);
  EXPECT_NE(test::readFile(program / "TEST").find("ReadMCFG"), std::string::npos);
}

TEST_F(SharedFolderStart, DataFolderThatCannotBeCreatedIsReported) {
  test::writeFile(data / "plainfile", "x");
  ProgramStartup(*ws, program.str(), {"/MD=" + data.str() + "/plainfile/office"});
  // Every record that could not be written is named with its error.
  const std::string shown = fake.dialogs.allText();
  EXPECT_NE(shown.find("WMCfgf"), std::string::npos) << shown;
  EXPECT_NE(shown.find("WPCfg"), std::string::npos) << shown;
}

TEST_F(SharedFolderStart, RecordsThatCannotBeWrittenAreReported) {
  // A folder where each record file should be: no one can write there.
  fs::create_directory(data / "CFGMAIN.DAF");
  fs::create_directory(data / "CFG.DAF");
  start();
  const std::string shown = fake.dialogs.allText();
  EXPECT_NE(shown.find("WMCfgf"), std::string::npos) << shown;
  // What stands in the personal record's place cannot be read: it is
  // reported as such, and no defaults are written over it.
  EXPECT_NE(shown.find("RPCfg"), std::string::npos) << shown;
  EXPECT_TRUE(fs::is_directory(data / "CFGMAIN.DAF"));
  EXPECT_TRUE(fs::is_directory(data / "CFG.DAF"));
}

TEST_F(SharedFolderStart, UnwritableDataFolderIsReported) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::permissions(data.path(), fs::perms::owner_read | fs::perms::owner_exec);
  start();
  fs::permissions(data.path(), fs::perms::owner_all);
  EXPECT_FALSE(fake.dialogs.allText().empty());
}

}  // namespace
}  // namespace egresso
