#include "config/switches.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

class Switches : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  test::TempDir data;
  Workstation ws{fake.platform()};
  void SetUp() override {
    ws.paths.DataFolder = data.str();
    ws.paths.BackupFolder = data.str() + "/BACKUP";
  }
  void load(const std::vector<std::string>& args) { LoadSwitches(ws, args); }
};

TEST_F(Switches, DataFolderKeepsItsCaseAndLosesTheFinalSlash) {
  const std::string office = data.str() + "/Office";
  test::writeFile(data / "FALL.DAF", "/EM=3\r\n");  // the program folder's file is not read any more
  std::filesystem::create_directory(office);
  test::writeFile(office + "/F.DAF", "/PN=9\r\n");
  test::writeFile(office + "/FALL.DAF", "/EM=5\r\n");
  load({"/md=" + office + "//"});
  EXPECT_EQ(ws.paths.DataFolder, office);
  EXPECT_EQ(ws.paths.BackupFolder, office + "/BACKUP");
  EXPECT_EQ(ws.options.PhoneDigitsMin, 9);
  EXPECT_EQ(ws.options.KeepDays, 5);
}

TEST_F(Switches, FolderValueWithNothingLeftNeverMeansTheRoot) {
  test::writeFile(data / "CFGMAIN.DAF", std::string(6144, '\0'));
  for (const std::string arg : {"/MD=", "/MD=/", "/md=//", "/RD=", "/RD=/"}) {
    load({arg});
    EXPECT_EQ(ws.paths.DataFolder, data.str()) << arg;
    EXPECT_EQ(ws.paths.BackupFolder, data.str() + "/BACKUP") << arg;
    EXPECT_EQ(ws.paths.AltDataFolder, "") << arg;
    EXPECT_FALSE(ws.options.NormalDataPresent) << arg;
  }
  std::filesystem::remove(data / "CFGMAIN.DAF");
  load({"/RD="});
  EXPECT_EQ(ws.paths.DataFolder, data.str());
}

TEST_F(Switches, MissingDataFolderIsCreated) {
  load({"/MD=" + data.str() + "/NEW"});
  EXPECT_TRUE(std::filesystem::is_directory(data / "NEW"));
}

TEST_F(Switches, ShortArgumentsAreIgnoredButEverySwitchFileLineApplies) {
  test::writeFile(data / "FALL.DAF", "/IM\n/W\n\n/MC");
  load({"/T", "/", "ab", "/NO"});
  EXPECT_TRUE(ws.options.StartMinimised);
  EXPECT_TRUE(ws.options.StartInMessages);  // last line without a line end
  EXPECT_FALSE(ws.options.Notifications);
}

TEST_F(Switches, UserFromTheAllUsersFileComesAfterThePersonalFileWasChosen) {
  test::writeFile(data / "F.DAF", "/EM=5\r\n");
  test::writeFile(data / "FXYZ.DAF", "/EM=9\r\n");
  test::writeFile(data / "FALL.DAF", "/TU=xyz\r\n");
  load({});
  EXPECT_EQ(ws.ThisUser, "XYZ");
  EXPECT_EQ(ws.options.KeepDays, 5);

  // An earlier "/TU=" chooses the personal file.
  test::writeFile(data / "FABC.DAF", "/EM=7\r\n");
  load({"/TU=abcd"});
  EXPECT_EQ(ws.options.KeepDays, 7);
  EXPECT_EQ(ws.ThisUser, "XYZ");
}

TEST_F(Switches, DefaultsAreRestoredBeforeEachLoadButTheHostsValuesAreKept) {
  ws.options.Display.ScreenWidth = 1600;
  ws.options.SmallFonts = true;
  ws.options.FontScale = 1.25;
  load({"/NO", "/PN=3"});
  load({});
  EXPECT_TRUE(ws.options.Notifications);
  EXPECT_EQ(ws.options.PhoneDigitsMin, 7);
  EXPECT_EQ(ws.options.Display.ScreenWidth, 1600);
  EXPECT_TRUE(ws.options.SmallFonts);
  EXPECT_EQ(ws.options.FontScale, 1.25);
}

TEST_F(Switches, OneTextCanMatchTwoKeys) {
  EXPECT_EQ(ApplySwitch(ws, "/LK+"), 2);
  EXPECT_EQ(ws.options.SuiteOptions.count("/LK"), 1u);
  EXPECT_EQ(ws.options.SuiteOptions.count("/LK+"), 1u);
  EXPECT_EQ(ApplySwitch(ws, "/IPX"), 2);
  EXPECT_EQ(ApplySwitch(ws, "/ZZ"), 0);
  EXPECT_EQ(ApplySwitch(ws, "MD=/tmp"), 0);
}

TEST_F(Switches, PanelSwitchesSetCompactModeAndTheirValue) {
  EXPECT_EQ(ApplySwitch(ws, "/PDH=3000"), 1);
  EXPECT_TRUE(ws.options.CompactMode);
  EXPECT_EQ(ws.options.PanelHeight, 300);
  ApplySwitch(ws, "/pdl=12");
  EXPECT_EQ(ws.options.PanelLeft, 12);
  EXPECT_EQ(ws.options.PanelWidth, -99);
}

TEST_F(Switches, FixedWidthValues) {
  ApplySwitch(ws, "/UT=123");
  EXPECT_EQ(ws.options.DailyOffsetSwitch, 12);
  ApplySwitch(ws, "/BT=0050");
  EXPECT_EQ(ws.options.BoardTimerSwitch, 5);
  ApplySwitch(ws, "/EL=1234567");
  EXPECT_EQ(ws.options.LockTimeoutSwitch, 12345);
  ApplySwitch(ws, "/EL=99999");
  EXPECT_EQ(ws.options.LockTimeoutSwitch, 32767);
  ApplySwitch(ws, "/TU=abcdef");
  EXPECT_EQ(ws.ThisUser, "ABC");
}

TEST_F(Switches, NumbersWithLettersChangeNothing) {
  load({"/EM=1O", "/BT=x5", "/PN=", "/SZ=+2", "/FT=2 "});
  EXPECT_EQ(ws.options.KeepDays, 20);
  EXPECT_EQ(ws.options.BoardTimerSwitch, -99);
  EXPECT_EQ(ws.options.PhoneDigitsMin, 7);
  EXPECT_EQ(ws.options.ZoneHours, 2);
  EXPECT_EQ(ws.options.HostTimerSwitch, 2);
  ApplySwitch(ws, "/SZ=-5");
  EXPECT_EQ(ws.options.ZoneHours, -5);
}

TEST_F(Switches, DigitOnlySwitchesRefuseAnythingElse) {
  ApplySwitch(ws, "/LP=2");
  EXPECT_EQ(ws.options.CalcPrinter, 1);
  ApplySwitch(ws, "/LP=-3");
  ApplySwitch(ws, "/LP=3A");
  EXPECT_EQ(ws.options.CalcPrinter, 1);
  ApplySwitch(ws, "/LI=4X");
  EXPECT_EQ(ws.options.SuiteOptions.count("/LI="), 0u);
  ApplySwitch(ws, "/LI=4");
  EXPECT_EQ(ws.options.SuiteOptions["/LI="], "4");
}

TEST_F(Switches, MainUserMarks) {
  ApplySwitch(ws, "/MU=abc*");
  EXPECT_EQ(ws.options.MainUserOverride, "ABC");
  EXPECT_TRUE(ws.options.MuStar);
  EXPECT_FALSE(ws.options.MuHash);
  ApplySwitch(ws, "/MU=-");
  EXPECT_EQ(ws.options.MainUserOverride, "");
  EXPECT_TRUE(ws.options.MuMinus);
  EXPECT_FALSE(ws.MultiUser);
  ApplySwitch(ws, "/MU=x#x-x");
  EXPECT_EQ(ws.options.MainUserOverride, "XXX");
  EXPECT_EQ(ws.mcfg.mainUserInitials(), "XXX");
  EXPECT_TRUE(ws.MultiUser);
}

TEST_F(Switches, TogglesAndCancels) {
  load({"/WC", "/WC", "/WC", "/QR-", "/SA", "/NA-", "/NL=watch me"});
  EXPECT_TRUE(ws.options.WorkClock);
  EXPECT_FALSE(ws.options.IndexedScan);
  EXPECT_FALSE(ws.options.NotifyAll);
  EXPECT_TRUE(ws.options.Notifications);
  EXPECT_EQ(ws.paths.NotificationText, "WATCH ME");
}

TEST_F(Switches, AlternativeFolderIsUsedOnlyWithoutNormalData) {
  const std::string alt = data.str() + "/ALT";
  load({"/RD=" + alt + "/"});
  EXPECT_EQ(ws.paths.AltDataFolder, alt);
  EXPECT_EQ(ws.paths.DataFolder, alt);
  EXPECT_EQ(ws.paths.BackupFolder, alt + "/BACKUP");
  EXPECT_FALSE(ws.options.NormalDataPresent);

  ws.paths.DataFolder = data.str();
  test::writeFile(data / "CFGMAIN.DAF", std::string(6144, '\0'));
  load({"/RD=" + alt});
  EXPECT_EQ(ws.paths.DataFolder, data.str());
  EXPECT_TRUE(ws.options.NormalDataPresent);
}

TEST_F(Switches, JunkInASwitchFileIsHarmless) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  junk += "\n/MD=" + std::string("\0\x01/", 3) + "\n";
  junk += "/EM=4" + std::string(300, 'x') + "/IM\r\n";  // the tail of an over-long line is no line
  junk += "/PN=8\r\n";
  test::writeFile(data / "FALL.DAF", junk);
  load({});
  EXPECT_EQ(ws.paths.DataFolder, data.str());  // a NUL ends a folder name: nothing is left of it
  EXPECT_FALSE(ws.options.StartMinimised);
  EXPECT_EQ(ws.options.KeepDays, 20);
}

TEST_F(Switches, OverLongLineStillAppliesItsSwitch) {
  test::writeFile(data / "FALL.DAF", "/NL=" + std::string(400, 'a') + "\r\n/PN=8\r\n");
  load({});
  EXPECT_EQ(ws.paths.NotificationText, std::string(120, 'A'));
  EXPECT_EQ(ws.options.PhoneDigitsMin, 8);
}

TEST_F(Switches, StoredByteSwitches) {
  load({"/CD", "/12", "/ET=300", "/EE=7", "/FL"});
  EXPECT_TRUE(ws.options.CdGiven);
  EXPECT_TRUE(ws.options.TwelveGiven);
  EXPECT_EQ(ws.options.EtValue, 300);
  EXPECT_EQ(ws.options.EeValue, 7);
  EXPECT_TRUE(ws.options.FlagLogMode);
}

}  // namespace
}  // namespace egresso
