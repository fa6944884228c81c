#include "startup/host_qt.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include "board/bulletin_qt.h"
#include "messages/beep_alert_qt.h"
#include "platform/tray_qt.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

struct HostWindowFixture : ::testing::Test {
  test::FakePlatform fp;
  Workstation ws{fp.platform()};
  QtTray tray;
  QTemporaryDir data;
  TBulBrd board{ws};
  HostWindowFixture() { ws.locks.TraceFolder = data.path().toStdString(); }
};

TEST_F(HostWindowFixture, HostIsATinyWindowWithTimerAndTray) {
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString()});
  ASSERT_NE(host.alert(), nullptr);
  EXPECT_EQ(ws.platform.lockAlert, host.alert());
  if (ws.QuitRequested) GTEST_SKIP() << "start-up ended the program";
  EXPECT_TRUE(host.isVisible());
  EXPECT_EQ(host.geometry(), QRect(1, 1, 1, 1));
  EXPECT_TRUE(host.timer().isActive());
  EXPECT_EQ(host.timer().interval(), HostTimerPeriodMs(ws));
  EXPECT_EQ(host.windowTitle().toStdString(), ws.paths.ProductTitle);
  ASSERT_FALSE(fp.tray.calls.empty());
  EXPECT_EQ(fp.tray.calls.front(), "add:" + ws.paths.ProgramFolder + "/KESTRA.ICO");
  host.FormDestroy();
  EXPECT_EQ(fp.tray.calls.back(), "remove");
}

// "/IM": the board's first show builds it without bringing it up.
TEST_F(HostWindowFixture, StartMinimisedLeavesTheBoardMinimised) {
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString(), "/IM"});
  if (ws.QuitRequested) GTEST_SKIP() << "start-up ended the program";
  host.showBoardAtStart();
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_TRUE(board.windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(board.isHidden());
  host.FormDestroy();
}

// Without a tray the host icon waits until the board is first painted.
TEST_F(HostWindowFixture, HostIconIsReadAfterTheBoardsFirstPainting) {
  fp.tray.present = false;
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString()});
  if (ws.QuitRequested) GTEST_SKIP() << "start-up ended the program";
  QCoreApplication::processEvents();
  EXPECT_TRUE(ws.host.IconPath.empty());
  board.show();
  for (int i = 0; i < 50 && ws.host.IconPath.empty(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(ws.host.IconPath, ws.paths.ProgramFolder + "/KESTRA.ICO");
}

// The note window of a lock wait is made by the first wait that shows it.
TEST_F(HostWindowFixture, LockAlertMakesItsNoteWhenFirstShown) {
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString()});
  ASSERT_EQ(ws.platform.lockAlert, host.alert());
  EXPECT_FALSE(host.alert()->formMade());
  EXPECT_EQ(ws.platform.lockAlert->takeKeyAnswer(), 0);
  ws.platform.lockAlert->flash("Waiting for LOCATELK", 1000);
  ASSERT_TRUE(host.alert()->formMade());
  EXPECT_TRUE(host.alert()->form().isVisible());
  EXPECT_EQ(host.alert()->form().Label1->text(), "Waiting for LOCATELK");
  host.alert()->form().close();
  EXPECT_FALSE(ws.locks.beep.BeepShowing);
}

TEST_F(HostWindowFixture, TrayMenuTakesItsCaptionsWhenOpened) {
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString()});
  ws.notices.lines.assign(2100, std::string());
  ws.notices.lines[1893 - 1] = "Restore ";
  ws.notices.lines[1894 - 1] = "Exit ";
  ws.notices.lines[1895 - 1] = "Close this menu";
  ws.paths.ProductTitle = "Egresso";
  emit host.trayMenu().aboutToShow();
  QStringList texts;
  for (QAction* a : host.trayMenu().actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"Restore Egresso", "Exit Egresso", "Close this menu"}));
}

TEST_F(HostWindowFixture, BoardShownModallyUntilItCloses) {
  TMonthScreen host(ws, tray, board, EGRESSO_PROGRAM_DIR, {"/MD=" + data.path().toStdString()});
  board.show();
  EXPECT_EQ(host.showBoardModally(), "Cannot make a visible window modal");
  board.hide();
  bool wasModal = false;
  QTimer::singleShot(0, [&] {
    wasModal = board.isVisible() && board.isModal();
    board.hide();
  });
  EXPECT_EQ(host.showBoardModally(), "");
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(board.isModal());
}

}  // namespace
}  // namespace egresso
