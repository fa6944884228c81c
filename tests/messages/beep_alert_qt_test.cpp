#include "messages/beep_alert_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "support/fake_platform.h"

namespace egresso {
namespace {

class BeepWindowTest : public ::testing::Test {
 protected:
  BeepWindowTest() {
    ws.notices.lines.assign(20, std::string());
    ws.notices.lines[17] = "Caption 10";
    note.setReferenceArea(QRect(100, 50, 800, 600));
  }
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  TBeepMssg note{ws};
};

TEST_F(BeepWindowTest, FlashShowsTheNoteWithoutTakingTheFocus) {
  QWidget board;
  board.show();
  board.activateWindow();
  note.flash(std::string(30, 'x'), 1000);
  EXPECT_TRUE(note.isVisible());
  EXPECT_TRUE(ws.locks.beep.BeepShowing);
  EXPECT_EQ(note.windowTitle(), "Caption 10");
  // The text has the note's own room (260 x 66 about the area's centre);
  // the buttons' row is added below it, the whole kept about that centre
  // and wide enough for the three buttons.
  EXPECT_EQ(note.Label1->height(), 66);
  EXPECT_GE(note.Label1->width(), 260);
  EXPECT_EQ(note.size(), QSize(276, 66 + 30));
  EXPECT_EQ(note.pos(), QPoint(100 + 320 - 138, 50 + 221 - 33 - 15));
  EXPECT_GT(note.KeepWaiting->geometry().top(), note.Label1->geometry().bottom());
  EXPECT_TRUE(note.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(note.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_NE(QApplication::activeWindow(), &note);
  EXPECT_EQ(note.focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(note.Timer->isActive());
  EXPECT_EQ(note.Timer->interval(), 1000);
}

TEST_F(BeepWindowTest, TheTimerClosesTheNoteAndASecondFlashMeanwhileIsIgnored) {
  note.flash("Held by XYZ\r\nEsc gives up", 1000);
  note.flash("other text", 1000);
  EXPECT_EQ(note.Label1->text(), "Held by XYZ\nEsc gives up");
  note.TimerTimer();
  EXPECT_FALSE(note.isVisible());
  EXPECT_FALSE(ws.locks.beep.BeepShowing);
  note.flash("other text", 1000);
  EXPECT_EQ(note.Label1->text(), "other text");
}

TEST_F(BeepWindowTest, IntervalOneIsNeverClosedByTheTimer) {
  note.flash("stays", 1);
  EXPECT_FALSE(note.Timer->isActive());
  note.TimerTimer();
  EXPECT_TRUE(note.isVisible());
  note.close();
  EXPECT_FALSE(ws.locks.beep.BeepShowing);
}

TEST_F(BeepWindowTest, EscAndCtrlFAnswerTheNote) {
  note.flash("Held by XYZ", 1000);
  QTest::keyClick(&note, Qt::Key_A);
  EXPECT_TRUE(note.isVisible());
  EXPECT_EQ(note.takeKeyAnswer(), 0);
  QTest::keyClick(&note, Qt::Key_Escape);
  EXPECT_FALSE(note.isVisible());
  EXPECT_EQ(note.takeKeyAnswer(), 27);
  EXPECT_EQ(note.takeKeyAnswer(), 0);

  note.flash("Held by XYZ", 1000);
  QTest::keyClick(&note, Qt::Key_F);
  EXPECT_TRUE(note.isVisible());
  QTest::keyClick(&note, Qt::Key_F, Qt::ControlModifier);
  EXPECT_FALSE(note.isVisible());
  EXPECT_EQ(note.takeKeyAnswer(), 6);
}

// The buttons answer as the keys do; none takes the focus from the board.
TEST_F(BeepWindowTest, TheButtonsAnswerTheNoteAsItsKeysDo) {
  QWidget board;
  board.show();
  const struct {
    QPushButton* TBeepMssg::*button;
    int answer;
  } rows[] = {{&TBeepMssg::KeepWaiting, 0}, {&TBeepMssg::GiveUp, 27}, {&TBeepMssg::FreeLock, 6}};
  for (const auto& row : rows) {
    note.flash("Held by XYZ", 1);
    QPushButton* b = note.*row.button;
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_FALSE(note.isVisible()) << b->text().toStdString();
    EXPECT_EQ(note.takeKeyAnswer(), row.answer) << b->text().toStdString();
  }
}

// With no other window of the program shown (at start-up, after the board
// closed at exit) the note takes the keys, or the wait could not be left;
// once the board is back it takes nothing from it.
TEST_F(BeepWindowTest, ANoteAloneOnScreenTakesTheKeys) {
  note.flash("Held by XYZ", 1);
  EXPECT_FALSE(note.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(QTest::qWaitForWindowActive(&note));
  QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &note, Qt::Key_Escape);
  EXPECT_FALSE(note.isVisible());
  EXPECT_EQ(note.takeKeyAnswer(), 27);

  QWidget board;
  board.show();
  note.flash("Held by XYZ", 1);
  EXPECT_TRUE(note.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(note.testAttribute(Qt::WA_ShowWithoutActivating));
}

TEST(PopMessage, IsCreatedButNotShown) {
  TPopMessage pop;
  EXPECT_FALSE(pop.isVisible());
}

}  // namespace
}  // namespace egresso
