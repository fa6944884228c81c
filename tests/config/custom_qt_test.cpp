#include "config/custom_qt.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>

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

TEST_F(CustomWindow, CtrlTabLeavesTheGridAndCtrlKeysNeedTheDataFolder) {
  TCustom d(w.ws, logic);
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  d.EmpGrid->setFocus();
  d.EmpGrid->setCurrentCell(6, 0);
  QTest::keyClick(d.EmpGrid, Qt::Key_Tab);  // a plain Tab stays among the cells
  EXPECT_TRUE(d.EmpGrid->hasFocus());
  EXPECT_EQ(d.EmpGrid->currentColumn(), 1);
  d.EmpGrid->setCurrentCell(6, 0);
  d.EmpGrid->editItem(d.EmpGrid->item(6, 0));
  QTest::keyClicks(QApplication::focusWidget(), "GUS");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_TRUE(d.OKbtn->hasFocus());
  EXPECT_EQ(d.EmpGrid->item(6, 0)->text(), "GUS");  // the open cell was taken
  EXPECT_EQ(w.fake.dialogs.beeps, 0);

  // With the data folder gone a Ctrl or Alt key does nothing but say so,
  // a shortcut of the form included.
  int shortcuts = 0;
  QShortcut probe(QKeySequence(Qt::CTRL | Qt::Key_J), &d);
  QObject::connect(&probe, &QShortcut::activated, [&] { ++shortcuts; });
  d.EmpGrid->setFocus();
  std::filesystem::rename(w.ws.paths.MainConfigPath, w.path("CFGMAIN.OFF"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_TRUE(d.EmpGrid->hasFocus());
  EXPECT_EQ(w.fake.dialogs.beeps, 1);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(shortcuts, 0);
  EXPECT_EQ(w.fake.dialogs.beeps, 2);
  EXPECT_NE(w.fake.dialogs.allText().find(w.ws.paths.DataFolder), std::string::npos);

  std::filesystem::rename(w.path("CFGMAIN.OFF"), w.ws.paths.MainConfigPath);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_J, Qt::ControlModifier);
  EXPECT_EQ(shortcuts, 1);
  EXPECT_EQ(w.fake.dialogs.beeps, 2);
}

TEST_F(CustomWindow, PrintScreenKeepsTheImageAndPrintsItToAFile) {
  TCustom d(w.ws, logic);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(w.path("form.pdf")));
  d.printForm(printer);
  const QImage saved(QString::fromStdString(w.path("prntscrn.bmp")), "BMP");
  EXPECT_EQ(saved.size(), d.size());
  QFile pdf(QString::fromStdString(w.path("form.pdf")));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  const QByteArray bytes = pdf.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_TRUE(bytes.contains("/Image"));  // the form's picture is on the page
}

// The whole caption and both buttons show; a cell takes what it can hold,
// and a name still in its editor when OK is chosen is saved.
TEST_F(CustomWindow, ShowsItsCaptionAndButtonsAndTakesCellsAsTyped) {
  TCustom d(w.ws, logic);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_GE(d.width(), QFontMetrics(d.font()).horizontalAdvance(d.windowTitle()) + 100);
  EXPECT_TRUE(d.CancelBtn->isVisible() && d.rect().contains(d.CancelBtn->geometry()));
  type(d, 5, 0, "fayxx");
  QApplication::processEvents();
  d.EmpGrid->editItem(d.EmpGrid->item(5, 1));
  QTest::keyClicks(QApplication::focusWidget(), "Fay Gomez-Fitzgerald-Smith");
  d.OKBtnClick();
  EXPECT_EQ(w.ws.mcfg.empInitials(6), "FAY");
  EXPECT_EQ(w.ws.mcfg.empName(6), "Fay Gomez-Fitzgerald");
}

}  // namespace
}  // namespace egresso
