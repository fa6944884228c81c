#include "config/custom_qt.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "board/board_world.h"
#include "config/custom.h"

namespace egresso {
namespace {

using test::BoardWorld;

class CustomWindow : public ::testing::Test {
 protected:
  BoardWorld w;
  CustomDialog logic{w.ws};

  void SetUp() override { w.allIn(); }
  void type(TCustom& d, int row, int col, const char* text) {
    d.EmpGrid->setFocus();
    d.EmpGrid->setCurrentCell(row, col);
    d.EmpGrid->editItem(d.EmpGrid->item(row, col));
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
  }
};

TEST_F(CustomWindow, TypedInitialsAreCheckedAndTheTableIsSavedCompacted) {
  TCustom d(w.ws, logic);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_TRUE(d.CancelBtn->hasFocus());
  EXPECT_EQ(d.EmpGrid->item(1, 0)->text(), "BOB");
  EXPECT_FALSE(d.InsertRow->isEnabled());

  type(d, 6, 0, "bob");  // row 7: a second BOB
  d.EmpGrid->setCurrentCell(7, 0);
  EXPECT_NE(w.fake.dialogs.allText().find("\"BOB\""), std::string::npos);
  EXPECT_EQ(d.EmpGrid->currentRow(), 6);
  EXPECT_EQ(d.EmpGrid->item(6, 0)->text(), "BOB");
  EXPECT_TRUE(d.InsertRow->isEnabled());

  type(d, 6, 0, "gus");
  type(d, 2, 0, "");  // Claire's row emptied: the rows close up on OK
  QTest::mouseClick(d.OKbtn, Qt::LeftButton);
  EXPECT_TRUE(logic.view.Closed);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(w.ws.mcfg.empInitials(3), "DAN");
  EXPECT_EQ(w.ws.mcfg.empInitials(5), "GUS");
  EXPECT_EQ(w.record("LOCATE.DAF", 5).who(), "GUS");
}

TEST_F(CustomWindow, EscapeAsksBeforeDroppingChanges) {
  TCustom d(w.ws, logic);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  d.MainUserInitials->setFocus();
  d.MainUserInitials->selectAll();
  QTest::keyClicks(d.MainUserInitials, "BOB");
  w.fake.dialogs.answers = {2};
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_TRUE(d.isVisible());
  w.fake.dialogs.answers = {1};
  QTest::keyClick(&d, Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(w.ws.mcfg.mainUserInitials(), "ANN");
}

}  // namespace
}  // namespace egresso
