#include "tools/file_maint_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "board/board_world.h"
#include "storage/locks.h"
#include "tools/file_maint.h"
#include "tools/maint_folder.h"

namespace egresso {
namespace {

using test::BoardWorld;

TEST(FileMaintWindow, OkPurgesWithARecordCountAndCancelAsksFirst) {
  BoardWorld w;
  w.notice(347, "Record");
  w.allIn();
  test::WriteMessages(w.dir.path(), 300, 2);
  FileMaintDialog logic(w.ws);
  TFileMaint d(w.ws, logic);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_FALSE(d.RcrdNum->isVisible());
  EXPECT_TRUE(d.CancelBtn->hasFocus());

  w.fake.dialogs.answers = {2};
  QTest::mouseClick(d.CancelBtn, Qt::LeftButton);
  EXPECT_TRUE(d.isVisible());

  // What the window shows while the work goes on.
  std::vector<std::string> seen;
  int bar = -1;
  bool buttonsOff = true;
  auto show = logic.onProgress;
  logic.onProgress = [&] {
    show();
    seen.push_back(d.RcrdNum->text().toStdString());
    bar = std::max(bar, d.Progress->value());
    buttonsOff = buttonsOff && !d.OKbtn->isEnabled() && !d.CancelBtn->isEnabled();
  };
  QTest::mouseClick(d.OKbtn, Qt::LeftButton);
  EXPECT_FALSE(d.isVisible());
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), "Record: 0");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "Record: 299"), seen.end());
  EXPECT_EQ(bar, 1000);
  EXPECT_TRUE(buttonsOff);
  EXPECT_EQ(test::ReadRecords(w.dir / "MESSAGE.DAF").size(), 150u);
}

}  // namespace
}  // namespace egresso
