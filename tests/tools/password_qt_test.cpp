#include "tools/password_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

#include "support/fake_platform.h"
#include "tools/password.h"

namespace egresso {
namespace {

class PasswordWindow : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  QtPasswordPrompt prompt;
  test::TempDir data;

  void SetUp() override {
    ws.platform.passwordPrompt = &prompt;
    // A new password is written: into a folder of the test's own, never
    // beside whatever folder the tests were started from.
    ws.paths.DataFolder = data.str();
    ws.paths.PersonalConfigPath = data.str() + "/CFG.DAF";
    ws.locks.TraceFolder = data.str();
    ws.notices.lines.assign(2100, "");
    for (int n : {29, 344, 547, 548, 551, 553, 554, 555, 769, 768, 1559, 1568, 1569})
      ws.notices.lines[n - 1] = "T" + std::to_string(n);
    ws.paths.ProductTitle = "Egresso";
    ws.mcfg.setEmpInitials(1, "ABC");
    ws.mcfg.setStr(mcfg::MainUserInitials, 3, "ABC");
  }

  // Runs `user` against the dialog once it is on screen; the dialog itself
  // runs modally inside `open`.
  void withDialog(const std::function<void(TPWDlg&)>& user, const std::function<void()>& open) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dlg = qobject_cast<TPWDlg*>(QApplication::activeModalWidget());
      ASSERT_NE(dlg, nullptr);
      seen = true;
      user(*dlg);
      if (dlg->isVisible()) dlg->reject();  // never leave a test hanging
    });
    open();
    EXPECT_TRUE(seen);
  }
};

TEST_F(PasswordWindow, StartupCheckMasksAndBeepsOnAWrongPassword) {
  ws.pcfg.setStr(pcfg::UserPassword, 8, EncodePassword("OPEN"));
  withDialog(
      [&](TPWDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Egresso T547");
        EXPECT_EQ(dlg.Label1->text(), "T548");
        EXPECT_EQ(dlg.PasWrd->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dlg.PasWrd->maxLength(), 8);
        EXPECT_FALSE(dlg.ChoiceBtn1->isVisible());
        QTest::keyClicks(dlg.PasWrd, "shut");
        QTest::keyClick(dlg.PasWrd, Qt::Key_Return);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.PasWrd->text(), "");
        EXPECT_EQ(fake.dialogs.beeps, 1);
        QTest::keyClicks(dlg.PasWrd, "open");
        QTest::mouseClick(dlg.OKbtn, Qt::LeftButton);
        EXPECT_FALSE(dlg.isVisible());
      },
      [&] { CheckStartupPassword(ws); });
  EXPECT_FALSE(ws.QuitRequested);
}

TEST_F(PasswordWindow, EnterOnAnyControlActsAsOk) {
  ws.pcfg.setStr(pcfg::UserPassword, 8, EncodePassword("OPEN"));
  withDialog(
      [&](TPWDlg& dlg) {
        QTest::keyClicks(dlg.PasWrd, "open");
        dlg.CancelBtn->setFocus();
        QTest::keyClick(dlg.CancelBtn, Qt::Key_Return);
        EXPECT_FALSE(dlg.isVisible());
      },
      [&] { CheckStartupPassword(ws); });
  EXPECT_FALSE(ws.QuitRequested);
}

TEST_F(PasswordWindow, EscapeAtTheStartupCheckEndsTheProgram) {
  ws.pcfg.setStr(pcfg::UserPassword, 8, EncodePassword("OPEN"));
  withDialog([&](TPWDlg& dlg) { QTest::keyClick(dlg.PasWrd, Qt::Key_Escape); }, [&] { CheckStartupPassword(ws); });
  EXPECT_TRUE(ws.QuitRequested);
  EXPECT_TRUE(ws.PasswordDialogClosed);
}

TEST_F(PasswordWindow, IdentificationTakesThreeVisibleCharacters) {
  withDialog(
      [&](TPWDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "T554");
        EXPECT_EQ(dlg.PasWrd->echoMode(), QLineEdit::Normal);
        QTest::keyClicks(dlg.PasWrd, "abcdef");
        EXPECT_EQ(dlg.PasWrd->text(), "abc");
        QTest::keyClick(dlg.PasWrd, Qt::Key_Enter);
      },
      [&] { IdentifyUser(ws); });
  EXPECT_EQ(ws.ThisUser, "ABC");
  EXPECT_FALSE(ws.QuitRequested);
}

// Before this workstation has a personal record there is no home area to
// centre on: the box asking for the initials stands in the screen's middle.
TEST_F(PasswordWindow, IdentificationWithoutAPersonalRecordIsCentredOnTheScreen) {
  ASSERT_EQ(ws.pcfg.homePlacement(2), 0);
  withDialog(
      [&](TPWDlg& dlg) {
        const QPoint middle = dlg.screen()->availableGeometry().center();
        const QPoint centre = dlg.geometry().center();
        EXPECT_LE((centre - middle).manhattanLength(), 6) << centre.x() << "," << centre.y();
      },
      [&] { IdentifyUser(ws); });
}

TEST_F(PasswordWindow, NewPasswordIsShownAfterItIsStored) {
  withDialog(
      [&](TPWDlg& dlg) {
        EXPECT_EQ(dlg.Label1->text(), "T551");
        QTest::keyClicks(dlg.PasWrd, "neu");
        QTest::mouseClick(dlg.OKbtn, Qt::LeftButton);
        EXPECT_EQ(dlg.Label1->text(), "T553 \"NEU\"");
        EXPECT_FALSE(dlg.CancelBtn->isVisible());
        EXPECT_FALSE(dlg.PasWrd->isVisible());
        QTest::mouseClick(dlg.OKbtn, Qt::LeftButton);
        EXPECT_FALSE(dlg.isVisible());
      },
      [&] { CheckStartupPassword(ws); });
  EXPECT_EQ(ws.pcfg.str(pcfg::UserPassword, 8), HashPassword(ws.ThisUser, "NEU"));
  EXPECT_EQ(test::readFile(data / "CFG.DAF").substr(98, 9), std::string("\x08") + HashPassword(ws.ThisUser, "NEU"));
  EXPECT_TRUE(fake.dialogs.allText().empty()) << fake.dialogs.allText();
}

TEST_F(PasswordWindow, PromptWithChoices) {
  ws.password.SearchText = "OLD";
  withDialog(
      [&](TPWDlg& dlg) {
        EXPECT_EQ(dlg.PasWrd->text(), "OLD");
        EXPECT_EQ(dlg.PasWrd->maxLength(), 15);
        EXPECT_TRUE(dlg.ChoiceBtn1->isVisible());
        EXPECT_TRUE(dlg.ChoiceBtn1->isChecked());
        EXPECT_EQ(dlg.ChoiceBtn2->text(), "T1569");
        QTest::mouseClick(dlg.ChoiceBtn2, Qt::LeftButton);
        EXPECT_EQ(dlg.focusWidget(), dlg.PasWrd);
        dlg.PasWrd->clear();
        QTest::keyClicks(dlg.PasWrd, "needle");
        QTest::keyClick(dlg.PasWrd, Qt::Key_Return);
      },
      [&] { PromptForText(ws, 5); });
  EXPECT_EQ(ws.password.SearchText, "NEEDLE");
  EXPECT_TRUE(ws.password.SearchOption);
}

}  // namespace
}  // namespace egresso
