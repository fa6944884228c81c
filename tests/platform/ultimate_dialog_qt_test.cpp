#include "platform/ultimate_dialog_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/dialogs_qt.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

// Runs check on the modal dialog once it is on screen, then ends it with key.
void whenModal(std::function<void(TUltimateDialog&)> check, Qt::Key key = Qt::Key_Escape) {
  QTimer::singleShot(0, [check, key] {
    auto* d = qobject_cast<TUltimateDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    check(*d);
    QTest::keyClick(d, key);
  });
}

struct DialogWindowFixture : ::testing::Test {
  test::FakePlatform fp;
  Workstation ws{fp.platform()};
  QtDialogs dialogs;
  void SetUp() override {
    for (int n = 1; n <= 2100; ++n) ws.notices.lines.push_back("T" + std::to_string(n));
    dialogs.attach(&ws);
  }
  int ask(const std::string& message, const std::string& b1, const std::string& b2, const std::string& b3,
          int def, int kind = 3) {
    DialogRequest r;
    r.message = message;
    r.captionKind = kind;
    r.button1 = b1;
    r.button2 = b2;
    r.button3 = b3;
    r.defaultButton = def;
    return dialogs.ultimateDialog(r);
  }
};

TEST_F(DialogWindowFixture, OnlyButton1StandsOnTheBottomLine) {
  bool checked = false;
  whenModal([&](TUltimateDialog& d) {
    EXPECT_TRUE(d.button(1)->isVisible());
    EXPECT_FALSE(d.button(2)->isVisible());
    EXPECT_FALSE(d.button(3)->isVisible());
    EXPECT_EQ(d.button(1)->y(), d.button(3)->y());
    EXPECT_GT(d.button(1)->y(), d.label()->geometry().bottom() + 5);
    EXPECT_EQ(d.button(1)->text(), "OK");
    EXPECT_EQ(d.label()->text(), "Line one\nline two");
    EXPECT_EQ(d.windowTitle(), "T1984");
    EXPECT_EQ(d.focusWidget(), d.button(1));
    checked = true;
  });
  EXPECT_EQ(ask("Line one\r\nline two", "OK", "", "", 1, 0), 0);
  EXPECT_TRUE(checked);
}

TEST_F(DialogWindowFixture, EscReturnsZeroWhateverTheDefault) {
  for (int def = 1; def <= 3; ++def) {
    whenModal([def](TUltimateDialog& d) { EXPECT_EQ(d.focusWidget(), d.button(def)); });
    EXPECT_EQ(ask("Save?", "Yes", "No", "Cancel", def), 0) << def;
  }
}

TEST_F(DialogWindowFixture, ButtonsReturnTheirNumbers) {
  for (int n = 1; n <= 3; ++n) {
    QTimer::singleShot(0, [n] {
      auto* d = qobject_cast<TUltimateDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      QTest::mouseClick(d->button(n), Qt::LeftButton);
    });
    EXPECT_EQ(ask("Which?", "One", "Two", "Three", 1), n);
  }
  // Enter presses the default button.
  whenModal([](TUltimateDialog& d) { EXPECT_EQ(d.windowTitle(), "T2061"); }, Qt::Key_Return);
  EXPECT_EQ(ask("Which?", "One", "Two", "Three", 2), 2);
}

TEST_F(DialogWindowFixture, NoticeReturnsAtOnceAndStaysRedUntilClosed) {
  EXPECT_EQ(ask("*Saving", "", "", "", 1), 0);
  TUltimateDialog* notice = dialogs.notice();
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_FALSE(notice->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(notice->windowTitle(), "Saving");
  EXPECT_EQ(notice->palette().color(QPalette::Window), QColor(Qt::red));
  EXPECT_GE(notice->width(), 150);
  dialogs.closeNotice();
  EXPECT_EQ(dialogs.notice(), nullptr);
}

TEST_F(DialogWindowFixture, TextsAreShownFromWindows1252) {
  whenModal([](TUltimateDialog& d) {
    EXPECT_EQ(d.label()->text(), QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC"));
    EXPECT_EQ(d.button(1)->text(), QString::fromUtf8("J\xC3\xA0"));
  });
  EXPECT_EQ(ask("Caf\xE9 \x80", "J\xE0", "", "", 1), 0);
}

// A question sits over the window it concerns, its text clear of the edges.
TEST_F(DialogWindowFixture, SitsCentredOverItsWindowWithItsTextClearOfTheEdges) {
  QWidget owner;
  owner.setGeometry(300, 200, 500, 400);
  owner.show();
  owner.activateWindow();
  (void)QTest::qWaitForWindowActive(&owner, 1000);
  whenModal([&owner](TUltimateDialog& d) {
    EXPECT_LE((d.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 4);
    EXPECT_TRUE(d.label()->x() >= 10 && d.label()->geometry().right() <= d.width() - 10);
  });
  ask("Sign this person out?\r\nBob Carter (BOB)", "Yes", "No", "", 2);
}

}  // namespace
}  // namespace egresso
