#include "config/startup_routine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <list>

#include "config/startup_fixture.h"
#include "storage/dates.h"
#include "tools/password.h"

namespace egresso {
namespace {

namespace fs = std::filesystem;

// Each start in its own new data folder, so no start sees another's records.
class FreshStart : public test::StartupTest {
 protected:
  std::list<test::TempDir> folders;
  std::list<std::unique_ptr<Workstation>> stations;

  Workstation& startIn(std::vector<std::string> args) {
    folders.emplace_back();
    args.insert(args.begin(), "/MD=" + folders.back().str());
    stations.push_back(fresh());
    ProgramStartup(*stations.back(), program.str(), args);
    EXPECT_FALSE(stations.back()->QuitRequested);
    return *stations.back();
  }
};

TEST_F(FreshStart, MissingNoticeFileStopsBeforeTheDataFolderIsTouched) {
  fs::remove(program / "NOTICES.TXT");
  test::writeFile(data / "FALL.DAF", "/TU=ABC\r\n");
  const auto before = snapshot();
  ProgramStartup(*ws, program.str(), {"/MD=" + data.str() + "/NEW", "/ED=" + data.str() + "/EXTRA"});
  EXPECT_TRUE(ws->QuitRequested);
  ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fake.dialogs.boxes[0], "Because the " + program.str() +
                                       "/NOTICES.TXT file is missing, this program will abort.  "
                                       "Always start this program from the shorcut created during setup.");
  EXPECT_EQ(snapshot(), before);
  EXPECT_EQ(ws->ThisUser, "");
  EXPECT_EQ(fake.password.runs, 0);
  EXPECT_TRUE(fake.serial.probed.empty());
}

// An empty notice file, one of only line ends, or a name that is no
// readable file: every one stops the start as a missing file does.
TEST_F(FreshStart, EmptyOrUnreadableNoticeFileCountsAsMissing) {
  const std::string abort = "Because the " + program.str() +
                            "/NOTICES.TXT file is missing, this program will abort.  "
                            "Always start this program from the shorcut created during setup.";
  auto tryStart = [&](const std::function<void()>& spoil) {
    fs::remove_all(program / "NOTICES.TXT");
    spoil();
    ws = fresh();
    ws->notices.lines.clear();
    fake.dialogs.boxes.clear();
    const auto before = snapshot();
    start({"/SX"});
    EXPECT_TRUE(ws->QuitRequested);
    EXPECT_FALSE(ws->StartupFinished);
    EXPECT_EQ(fake.dialogs.boxes, std::vector<std::string>{abort});
    EXPECT_EQ(snapshot(), before);
  };
  tryStart([&] { test::writeFile(program / "NOTICES.TXT", ""); });
  tryStart([&] { test::writeFile(program / "NOTICES.TXT", "\r\n\r\n  \r\n"); });
  tryStart([&] { fs::create_directory(program / "NOTICES.TXT"); });
  fs::remove_all(program / "NOTICES.TXT");
  writeNotices();
  ws = fresh();
  start();
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_TRUE(ws->StartupFinished);
}

// An office's own or a translated notice file that stops before the
// program's newest numbers: those texts come from the program, and the user
// hears of it once, not once per lookup.
TEST_F(FreshStart, NoticeFileEndingBeforeTheProgramsTextsIsNotedOnce) {
  lines.resize(2068);
  writeNotices();
  ws = fresh();
  start();
  ASSERT_FALSE(ws->QuitRequested);
  EXPECT_EQ(MessageText(*ws, 2069), "The file \"");
  EXPECT_EQ(MessageText(*ws, 2091), "New message for ");
  for (int n = 2069; n <= 2092; ++n) EXPECT_FALSE(MessageText(*ws, n).empty()) << n;
  int notes = 0, exceptions = 0;
  for (const auto& box : fake.dialogs.boxes) {
    notes += box.find("older than this program") != std::string::npos;
    exceptions += box.find("EStringListError") != std::string::npos;
  }
  EXPECT_EQ(notes, 1);
  EXPECT_EQ(exceptions, 0);
}

TEST_F(FreshStart, NoticeFileIsFoundWhateverItsCase) {
  fs::rename(program / "NOTICES.TXT", program / "Notices.txt");
  start();
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_TRUE(fake.dialogs.boxes.empty());
  EXPECT_EQ(ws->paths.NoticesPath, (program / "Notices.txt").string());
}

TEST_F(FreshStart, WithoutMainUserTheWorkstationIsSingleUser) {
  ProgramStartup(*ws, program.str() + "/", {"/MD=" + data.str()});
  const Workstation& w = *ws;
  EXPECT_FALSE(w.QuitRequested);
  EXPECT_EQ(w.paths.ProgramFolder, program.str());
  EXPECT_EQ(w.paths.ProductTitle, "Egresso");
  EXPECT_EQ(w.ThisUser, "");
  EXPECT_FALSE(w.MultiUser);
  EXPECT_EQ(w.UserSlot, 0);
  EXPECT_EQ(fake.password.runs, 0);
  EXPECT_EQ(w.paths.MainConfigPath, data.str() + "/CFGMAIN.DAF");
  EXPECT_EQ(w.paths.PersonalConfigPath, data.str() + "/CFG.DAF");
  EXPECT_EQ(w.paths.CalcFile, data.str() + "/CALC.DAF");
  EXPECT_EQ(w.paths.MemoFile, data.str() + "/MEMO.DAF");
  EXPECT_EQ(w.paths.TimeSlipFile, data.str() + "/TMSLP.");
  EXPECT_EQ(w.paths.BackupFolder, data.str() + "/BACKUP");
  EXPECT_EQ(w.paths.NoticesPath, program.str() + "/NOTICES.TXT");
  EXPECT_EQ(w.paths.PicturesFolder, program.str());
  EXPECT_TRUE(fs::is_directory(data / "BULLETIN"));
  EXPECT_EQ(w.Today, DayNumber(fake.clock.current));
  EXPECT_EQ(w.mcfg.u8(mcfg::BoardTimerSeconds), 4);
  EXPECT_EQ(w.pcfg.i16(pcfg::WorkDayBegin), 800);
  EXPECT_EQ(w.pcfg.i16(pcfg::WorkDayEnd), 1730);
  EXPECT_EQ(w.pcfg.u8(pcfg::DialMode), 'T');
  EXPECT_EQ(w.pcfg.str(pcfg::AlarmSound, 40), "alarm.wav");
  EXPECT_EQ(w.options.DecimalSeparator, '.');
}

TEST_F(FreshStart, UserPathsCarryTheInitials) {
  Workstation& w = startIn({"/TU=abc"});
  EXPECT_EQ(w.ThisUser, "ABC");
  EXPECT_EQ(w.paths.PersonalConfigPath, folders.back().str() + "/CFGABC.DAF");
  EXPECT_EQ(w.paths.TimeSlipFile, folders.back().str() + "/TMSLP.ABC");
  EXPECT_FALSE(w.MultiUser);
}

TEST_F(FreshStart, MessageListSwitchChoosesTheStartingList) {
  EXPECT_EQ(startIn({}).ListMode, 1);
  EXPECT_EQ(startIn({"/MC"}).ListMode, 0);
}

TEST_F(FreshStart, PairedSwitchesApplyInTheirFixedOrder) {
  EXPECT_EQ(startIn({"/SI+", "/SI-"}).mcfg.u8(mcfg::NoSignAllOut), 0);
  EXPECT_EQ(startIn({"/SI-"}).mcfg.u8(mcfg::NoSignAllOut), 1);
  EXPECT_EQ(startIn({"/DA", "/AM"}).mcfg.u8(mcfg::ArchiveMessages), 0);
  EXPECT_EQ(startIn({"/AM"}).mcfg.u8(mcfg::ArchiveMessages), 1);
  EXPECT_EQ(startIn({"/SJ+", "/SJ-"}).mcfg.u8(mcfg::OwnSignInOnly), 1);
  EXPECT_EQ(startIn({"/UA-", "/UA+"}).mcfg.u8(mcfg::PasswordForAll), 0);
  EXPECT_EQ(startIn({"/SR-", "/SR+"}).mcfg.u8(mcfg::StaggerRefresh), 0);
  EXPECT_EQ(startIn({"/SR+"}).mcfg.u8(mcfg::StaggerRefresh), 1);
  Workstation& trace = startIn({"/TB-", "/TB+"});
  EXPECT_EQ(trace.mcfg.u8(mcfg::TraceLog), 0);
  EXPECT_EQ(startIn({"/TB+"}).mcfg.u8(mcfg::TraceLog), 1);
  Workstation& log = startIn({"/SLO+", "/SL+", "/SL-"});
  EXPECT_EQ(log.mcfg.u8(mcfg::InOutLog), 0);
  EXPECT_EQ(log.mcfg.u8(mcfg::InOutLogShared), 1);
  EXPECT_TRUE(log.options.LoggingOn);
  EXPECT_TRUE(log.options.SharedLog);
  Workstation& reports = startIn({"/IL+"});
  EXPECT_TRUE(reports.options.ReportsPreset);
  EXPECT_FALSE(startIn({"/IL+", "/IL*"}).options.ReportsPreset);
}

TEST_F(FreshStart, TimerSwitches) {
  EXPECT_EQ(startIn({"/BT=5"}).mcfg.u8(mcfg::BoardTimerSeconds), 4);
  EXPECT_EQ(startIn({"/BT=3"}).mcfg.u8(mcfg::BoardTimerSeconds), 2);
  EXPECT_EQ(startIn({"/BT=0"}).mcfg.u8(mcfg::BoardTimerSeconds), 4);
  EXPECT_EQ(startIn({"/BT=999"}).mcfg.u8(mcfg::BoardTimerSeconds), 4);
  EXPECT_EQ(startIn({"/FT=255"}).mcfg.u8(mcfg::HostTimerSeconds), 255);
  EXPECT_EQ(startIn({"/FT=0"}).mcfg.u8(mcfg::HostTimerSeconds), 0);
  EXPECT_EQ(startIn({"/EL=30"}).mcfg.i16(mcfg::LockTimeout), 30);
}

TEST_F(FreshStart, DailyOffsetKeepsEightSignedBits) {
  EXPECT_EQ(startIn({"/UT=1"}).mcfg.i8(mcfg::DailyOffset), 100);
  EXPECT_EQ(startIn({"/UT=0"}).mcfg.i8(mcfg::DailyOffset), 0);
  Workstation& two = startIn({"/UT=2"});
  EXPECT_EQ(two.mcfg.i8(mcfg::DailyOffset), 0);
  EXPECT_TRUE(two.options.MorningRun);
  EXPECT_EQ(startIn({"/UT=3"}).mcfg.i8(mcfg::DailyOffset), 44);
}

TEST_F(FreshStart, MainUserOverrideWithMarks) {
  Workstation& star = startIn({"/MU=abc*"});
  EXPECT_EQ(star.mcfg.mainUserInitials(), "ABC");
  EXPECT_EQ(star.mcfg.u8(mcfg::MainUserMorning), 1);
  EXPECT_EQ(star.mcfg.u8(mcfg::OneUserDate), 0);
  EXPECT_TRUE(star.MultiUser);

  Workstation& minus = startIn({"/MU=-"});
  EXPECT_EQ(minus.mcfg.mainUserInitials(), "");
  EXPECT_EQ(minus.mcfg.u8(mcfg::MainUserMorning), 0);
  EXPECT_EQ(minus.mcfg.u8(mcfg::OneUserDate), 0);
  EXPECT_FALSE(minus.MultiUser);

  Workstation& hash = startIn({"/MU=#"});
  EXPECT_EQ(hash.mcfg.u8(mcfg::OneUserDate), 1);
  EXPECT_EQ(hash.mcfg.u8(mcfg::MainUserMorning), 0);
}

TEST_F(FreshStart, PanelAndStoredByteSwitches) {
  Workstation& panel = startIn({"/PDH=300", "/PDL=7"});
  EXPECT_TRUE(panel.options.CompactMode);
  EXPECT_EQ(panel.pcfg.panelArea(0), 300);
  EXPECT_EQ(panel.pcfg.panelArea(1), 0);
  EXPECT_EQ(panel.pcfg.panelArea(3), 7);

  Workstation& plain = startIn({});
  EXPECT_EQ(plain.pcfg.u8(pcfg::Byte140), 1);
  EXPECT_EQ(plain.pcfg.u8(pcfg::Byte112), 1);
  EXPECT_EQ(plain.pcfg.u8(pcfg::Byte158), 0);
  EXPECT_EQ(plain.mcfg.i16(mcfg::EeWord), 0);

  Workstation& bytes = startIn({"/CD", "/12", "/ET=300", "/EE=7", "/CL=50"});
  EXPECT_EQ(bytes.pcfg.u8(pcfg::Byte140), 0);
  EXPECT_EQ(bytes.pcfg.u8(pcfg::Byte112), 0);
  EXPECT_EQ(bytes.pcfg.u8(pcfg::Byte158), 44);
  EXPECT_EQ(bytes.mcfg.i16(mcfg::EeWord), 7);
  EXPECT_EQ(bytes.pcfg.i16(pcfg::CalcRows), 50);

  Workstation& negative = startIn({"/ET=200", "/EE=-1", "/CL=-5"});
  EXPECT_EQ(negative.pcfg.u8(pcfg::Byte158), 0);
  EXPECT_EQ(negative.mcfg.i16(mcfg::EeWord), 0);
  EXPECT_EQ(negative.pcfg.i16(pcfg::CalcRows), 0);
}

TEST_F(FreshStart, PasswordRequestedWithoutOneStoredAsksForANewOne) {
  fake.dialogs.answers = {1};
  fake.password.type("");
  Workstation& w = startIn({"/PW+"});
  ASSERT_EQ(fake.password.runs, 1);
  EXPECT_EQ(fake.password.shown[0].Label, "Type a new password");
  EXPECT_FALSE(w.pcfg.flag(pcfg::RequestPassword));
  EXPECT_FALSE(w.QuitRequested);
}

TEST_F(FreshStart, PasswordForAllAsksEveryUser) {
  fake.password.type("mine");
  fake.password.type("");
  Workstation& w = startIn({"/UA+"});
  ASSERT_EQ(fake.password.runs, 1);
  EXPECT_EQ(w.pcfg.str(pcfg::UserPassword, 8), HashPassword(w.ThisUser, "MINE"));
  EXPECT_FALSE(w.QuitRequested);
}

TEST_F(FreshStart, ModemFoundAtStart) {
  fake.serial.portWithModem = 2;
  Workstation& w = startIn({});
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 2}));
  EXPECT_EQ(w.pcfg.u8(pcfg::ModemPort), '2');
}

TEST_F(FreshStart, PicturesFolderNeedsABitmap) {
  fs::create_directory(program / "PICTURES");
  test::writeFile(program / "PICTURES" / "readme.txt", "x");
  EXPECT_EQ(startIn({}).paths.PicturesFolder, program.str());
  test::writeFile(program / "PICTURES" / "logo.bmp", "x");
  EXPECT_EQ(startIn({}).paths.PicturesFolder, program.str() + "/PICTURES");
}

TEST_F(FreshStart, WorkClockMakesTodaysLogSetAndTheScheduleSet) {
  Workstation& plain = startIn({"/FL"});
  EXPECT_FALSE(fs::exists(folders.back() / "SCHED.DAF"));
  EXPECT_FALSE(plain.engine.LogMode);  // "/FL" alone changes nothing

  Workstation& clock = startIn({"/WC"});
  EXPECT_TRUE(fs::exists(folders.back() / "SCHED.DAF"));
  EXPECT_TRUE(fs::exists(clock.paths.LogDataPath));
  EXPECT_EQ(fs::path(clock.paths.LogDataPath).parent_path(), folders.back().path());
  EXPECT_FALSE(clock.engine.LogMode);
  EXPECT_FALSE(fs::exists(folders.back() / "SCHED.LOK"));
  EXPECT_FALSE(fs::exists(folders.back() / "LOG.LOK"));

  EXPECT_TRUE(startIn({"/WC", "/FL"}).engine.LogMode);
  Workstation& twice = startIn({"/WC", "/WC", "/FL"});  // each "/WC" toggles
  EXPECT_FALSE(fs::exists(folders.back() / "SCHED.DAF"));
  EXPECT_FALSE(twice.engine.LogMode);
}

TEST_F(FreshStart, AlternativeFolderInUseIsAnnounced) {
  const std::string alt = data.str() + "/ALT";
  start({"/RD=" + alt});
  EXPECT_EQ(ws->paths.DataFolder, alt);
  EXPECT_EQ(ws->paths.MainConfigPath, alt + "/CFGMAIN.DAF");
  ASSERT_EQ(fake.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fake.dialogs.boxes[0], "Working in the alternative data folder.");
}

TEST_F(FreshStart, ExtraFolderIsCreated) {
  start({"/ED=" + data.str() + "/EXTRA/"});
  EXPECT_TRUE(fs::is_directory(data / "EXTRA"));
  EXPECT_EQ(ws->paths.ExtraFolder, data.str() + "/EXTRA");
}

// The extra and the backup folder are written to: a switch file of the data
// folder, which any colleague can write, may put them only inside the data
// folder; the command line anywhere. A refused one keeps the default and is
// told once.
TEST_F(FreshStart, FoldersOutsideTheDataFolderOnlyFromTheCommandLine) {
  test::TempDir outside;
  fs::create_directory_symlink(outside.path(), data / "LINK");
  const std::string escaping = fs::relative(outside.path(), fs::current_path()).string();
  ASSERT_EQ(escaping.substr(0, 3), "../");
  struct Row {
    const char* what;
    std::string base;
    bool inside;
  };
  const std::vector<Row> rows{{"inside", data.str() + "/SAFE", true},
                              {"outside", outside.str(), false},
                              {"relative with ..", escaping, false},
                              {"absolute with ..", data.str() + "/../" + outside.path().filename().string(), false},
                              {"link inside to outside", data.str() + "/LINK", false}};
  for (const Row& row : rows) {
    for (const bool fromFile : {false, true}) {
      const std::string what = std::string(row.what) + (fromFile ? " from FALL.DAF" : " from the command line");
      fs::remove_all(outside / "EXTRA");
      fs::remove_all(outside / "BACK");
      const std::string extra = "/ED=" + row.base + "/EXTRA", backup = "/BD=" + row.base + "/BACK";
      std::vector<std::string> args;
      if (fromFile)
        test::writeFile(data / "FALL.DAF", extra + "\r\n" + backup + "\r\n");
      else
        args = {extra, backup};
      if (!fromFile) fs::remove(data / "FALL.DAF");
      ws = fresh();
      fake.dialogs.boxes.clear();
      start(args);
      const bool taken = !fromFile || row.inside;
      EXPECT_EQ(ws->paths.ExtraFolder, taken ? row.base + "/EXTRA" : "") << what;
      EXPECT_EQ(ws->paths.BackupFolder, taken ? row.base + "/BACK" : data.str() + "/BACKUP") << what;
      EXPECT_EQ(fs::exists(outside / "EXTRA"), taken && !row.inside) << what;
      if (!taken) EXPECT_FALSE(fs::exists(outside / "BACK")) << what;
      const auto notes = std::count_if(fake.dialogs.boxes.begin(), fake.dialogs.boxes.end(), [&](const std::string& b) {
        return b.find(extra) != std::string::npos && b.find(backup) != std::string::npos;
      });
      EXPECT_EQ(notes, taken ? 0 : 1) << what;
    }
  }
}

TEST_F(FreshStart, DecimalSeparatorFromTheNoticesOrTheSwitch) {
  setNotice(1485, ";x");
  EXPECT_EQ(startIn({}).options.DecimalSeparator, ';');
  EXPECT_EQ(startIn({"/EC"}).options.DecimalSeparator, ',');
}

TEST_F(FreshStart, SwitchFileOfJunkStillStarts) {
  std::string junk;
  for (int i = 0; i < 70000; ++i) junk.push_back(static_cast<char>((i * 31 + i / 7) % 256));
  test::writeFile(data / "FALL.DAF", junk);
  test::writeFile(data / "F.DAF", std::string(100000, '/'));
  start();
  EXPECT_FALSE(ws->QuitRequested);
  EXPECT_EQ(ws->paths.DataFolder.substr(0, data.str().size()), data.str());
}

TEST_F(FreshStart, DataFolderThatCannotExistDoesNotCrash) {
  test::writeFile(data / "plainfile", "x");
  const std::string impossible = data.str() + "/plainfile/office";
  ProgramStartup(*ws, program.str(), {"/MD=" + impossible});
  EXPECT_EQ(ws->paths.DataFolder, impossible);
  EXPECT_FALSE(fs::exists(impossible));
}

}  // namespace
}  // namespace egresso
