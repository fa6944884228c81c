// A script signs an employee out with the command-line program while a
// board window is open on the same data folder: the window shows the entry
// at its next refresh tick.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <chrono>

#include "board/board_list.h"
#include "board/bulletin_qt.h"
#include "board/demo.h"
#include "core/workstation.h"
#include "platform/console_platform.h"
#include "platform/text_qt.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"
#include "support/share_folder.h"

namespace egresso {
namespace {

std::int64_t WallSecond() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The demo folder on a board window of ANN's workstation. Its clock is the
// real one: the other process stamps the files it writes with real times.
struct LiveBoard {
  test::FakePlatform fake;
  SystemClock clock;
  test::TempDir dir;
  Workstation ws{fake.platform()};
  std::unique_ptr<TBulBrd> board;

  explicit LiveBoard(const std::filesystem::path& base) : dir(base) {
    ws.platform.clock = &clock;
    ws.paths.NoticesPath = std::string(EGRESSO_PROGRAM_DIR) + "/NOTICES.TXT";
    EXPECT_TRUE(LoadNotices(ws));
    std::string error;
    EXPECT_TRUE(CreateDemoFolder(ws, dir.str(), error)) << error;
    ws.paths.ProductTitle = "Egresso";
    ws.paths.ProgramFolder = dir.str();
    ws.ThisUser = kDemoMainUser;
    ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
    ws.MultiUser = true;
    ws.StationId = "DESK-ANN";
    ws.Today = DayNumber(clock.now());
    ws.mcfg.setU8(mcfg::BoardTimerSeconds, 1);  // a tick every two seconds
    // No in/out journal: the share's client (smbnetfs) cannot append to a
    // file, and the journal is not what is tested here.
    ws.mcfg.setU8(mcfg::InOutLog, 0);
    ws.mcfg.setU8(mcfg::InOutLogShared, 0);
    RecordFile config;
    EXPECT_EQ(config.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
    EXPECT_EQ(config.write(0, ws.mcfg.bytes), 0);
    ws.ListMode = 1;
    board = std::make_unique<TBulBrd>(ws);
    board->show();
    QApplication::processEvents();
  }

  QTimer* refreshTimer() const {
    for (QTimer* t : board->findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
      if (t->objectName() != "Timer2" && t->isActive() && t->interval() == 2000) return t;
    return nullptr;
  }
  std::string lineOf(const std::string& name) const {
    for (int i = 0; i < board->BBSlist()->count(); ++i) {
      const std::string text = toRecordText(board->BBSlist()->item(i)->text());
      if (text.starts_with(name)) return text;
    }
    return {};
  }
};

void ASignOutFromAScriptShowsAtTheNextTick(const std::filesystem::path& base) {
  LiveBoard b(base);
  QTimer* tick = b.refreshTimer();
  ASSERT_NE(tick, nullptr);
  auto shown = [&]() { return b.lineOf("Bob Carter").find("Lunch at Joe's  ") != std::string::npos; };
  ASSERT_FALSE(shown());

  QProcess cli;
  cli.start(QString::fromStdString(std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli"),
            {"out", "--who", "BOB", "--to", "Lunch at Joe's", "--back", "11:58P", "--wait", "20",
             QString::fromStdString("/MD=" + b.dir.str()), "/TU=CLA"});
  ASSERT_TRUE(cli.waitForFinished(60000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  // The board takes the files as changed once the second they were written
  // in has passed; from then on, the very next tick shows the entry.
  const std::int64_t written = WallSecond();
  (void)QTest::qWaitFor([&]() { return WallSecond() > written; }, 3000);
  int ticks = 0, shownAt = shown() ? 0 : -1;
  QObject::connect(tick, &QTimer::timeout, [&]() {
    ++ticks;
    if (shownAt < 0 && shown()) shownAt = ticks;
  });
  (void)QTest::qWaitFor([&]() { return shownAt >= 0 || ticks >= 3; }, 3 * tick->interval() + 2000);
  EXPECT_TRUE(shownAt == 0 || shownAt == 1) << "shown at tick " << shownAt << " of " << ticks;
  EXPECT_NE(b.lineOf("Bob Carter").find("11:58P"), std::string::npos) << b.lineOf("Bob Carter");
}

TEST(CommandLineAndBoard, ASignOutFromAScriptShowsAtTheNextTick) { ASignOutFromAScriptShowsAtTheNextTick({}); }

TEST(CommandLineAndBoard, ASignOutFromAScriptShowsAtTheNextTickOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  ASignOutFromAScriptShowsAtTheNextTick(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
