// The dialer, memo editor and calculator windows driven by keys and clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/workstation.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"
#include "tools/calc.h"
#include "tools/calc_qt.h"
#include "tools/dial.h"
#include "tools/dial_qt.h"
#include "tools/editor.h"
#include "tools/editor_qt.h"

namespace egresso {
namespace {

class AccessoryWindows : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  test::TempDir data;
  void SetUp() override {
    ws.ThisUser = "ANN";
    ws.paths.DataFolder = data.str();
    ws.paths.BulletinFolder = data.str() + "/BULLETIN";
    ws.paths.CalcFile = data.str() + "/CALCANN.DAF";
    ws.paths.PersonalConfigPath = data.str() + "/CFGANN.DAF";
    ws.locks.TraceFolder = data.str();
    createFolder(ws.paths.BulletinFolder, PosixFileOps());
    ws.notices.lines.assign(2100, "");
    ws.notices.lines[1069 - 1] = "&Find";
    ws.notices.lines[1363 - 1] = "Dialing";
    for (int n = 1368; n <= 1373; ++n) ws.notices.lines[n - 1] = "T" + std::to_string(n);
    ws.notices.lines[1976 - 1] = " was not found.";
    ws.mcfg.setEmpInitials(1, "ANN");
    ws.mcfg.setEmpName(1, "Ann Archer");
    ws.mcfg.setEmpInitials(2, "BOB");
    ws.mcfg.setEmpName(2, "Bob Baker");
  }
};

TEST_F(AccessoryWindows, DialerHangsUpWithEscapeAndSavesParametersWithOk) {
  ws.pcfg.setU8(pcfg::ModemPort, '2');
  ws.pcfg.setU8(pcfg::DialMode, 'T');
  PhoneDialer dialing(ws, true, "call 555-1234");
  dialing.FormShow();
  TPhoneDial window(dialing);
  window.show();
  EXPECT_EQ(window.windowTitle(), "Dialing 5551234 . . .");
  EXPECT_TRUE(window.HangUpBtn->isVisible());
  EXPECT_FALSE(window.ModemPortBox->isVisible());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_EQ(fake.serial.commands, (std::vector<std::string>{"open:2", "ATDT,5551234", "ATH", "close"}));

  PhoneDialer params(ws, false);
  params.FormShow();
  TPhoneDial form(params);
  form.show();
  EXPECT_FALSE(form.HangUpBtn->isVisible());
  EXPECT_TRUE(form.Com[1]->isChecked());
  QTest::mouseClick(form.Com[3], Qt::LeftButton, {}, QPoint(6, form.Com[3]->height() / 2));
  QTest::mouseClick(form.Pulse, Qt::LeftButton, {}, QPoint(6, form.Pulse->height() / 2));
  form.Prefix->clear();
  QTest::keyClicks(form.Prefix, "9");
  QTest::mouseClick(form.OKbtn, Qt::LeftButton);
  EXPECT_EQ(ws.pcfg.u8(pcfg::ModemPort), '4');
  EXPECT_EQ(ws.pcfg.u8(pcfg::DialMode), 'P');
  EXPECT_EQ(ws.pcfg.str(pcfg::DialPrefix, 19), "9");
  EXPECT_FALSE(form.isVisible());
}

TEST_F(AccessoryWindows, MemoKeysCutPasteUndoRedoAndFind) {
  RequestMemo(ws, 1);
  MemoEditor logic(ws);
  logic.FormShow({0, 0, 800, 600});
  TEditForm window(ws, logic);
  window.show();
  QPlainTextEdit* text = window.EditText;
  QTest::keyClicks(text, "one two three");
  EXPECT_TRUE(logic.Modified);
  QTextCursor c = text->textCursor();
  c.setPosition(4);
  c.setPosition(8, QTextCursor::KeepAnchor);
  text->setTextCursor(c);
  QTest::keyClick(text, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(text->toPlainText(), "one three");
  QTest::keyClick(text, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(text->toPlainText(), "one two three");
  QTest::keyClick(text, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(text->toPlainText(), "one three");
  c.setPosition(0);
  text->setTextCursor(c);
  QTest::keyClick(text, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(text->toPlainText(), "two one three");
  QTest::keyClick(text, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(text->toPlainText(), "one three");

  fake.password.type("three");
  fake.password.type("three");
  QTest::keyClick(text, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(text->textCursor().selectedText(), "three");
  QTest::keyClick(text, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(text->textCursor().position(), 0);

  QTest::mouseClick(window.OKbtn, Qt::LeftButton);
  EXPECT_EQ(test::readFile(data / "BULLETIN/ANN.DAN"), "one three\r\n");
}

TEST_F(AccessoryWindows, MemoOfAnotherEmployeeIsOnlyShown) {
  RequestMemo(ws, 2);
  MemoEditor logic(ws);
  logic.FormShow({0, 0, 800, 600});
  TEditForm window(ws, logic);
  window.show();
  EXPECT_TRUE(window.EditText->isReadOnly());
  EXPECT_FALSE(window.CancelBtn->isVisible());
  EXPECT_FALSE(window.EditPaste->isEnabled());
  QTest::keyClick(window.EditText, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(fileExists(data / "BULLETIN/BOB.DAN"));
}

TEST_F(AccessoryWindows, CalculatorKeysTotalsDecimalsEraseAndTheTotalOnExit) {
  TapeCalculator logic(ws);
  logic.FormShow();
  TCalculator window(ws, logic);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  QTest::keyClicks(window.calcGrid, "12+8");
  QTest::keyClick(window.calcGrid, Qt::Key_Return);
  const int last = logic.Rows() - 2;
  EXPECT_EQ(window.calcGrid->item(last, 0)->text(), "=");
  EXPECT_EQ(window.calcGrid->item(last, 1)->text().trimmed(), "20.00");
  QTest::keyClick(window.calcGrid, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(window.calcGrid->item(last, 1)->text().trimmed(), "20.000");
  QTest::keyClick(window.calcGrid, Qt::Key_F11);
  EXPECT_EQ(window.mem1Btn->text(), "20.000");
  QTest::keyClick(window.calcGrid, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(window.calcGrid->item(last, 1)->text(), "");
  EXPECT_EQ(window.calcGrid->item(last - 1, 1)->text(), "");
  EXPECT_TRUE(window.calcUnErase->isEnabled());
  QTest::keyClick(window.calcGrid, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(window.calcGrid->item(last, 1)->text().trimmed(), "20.000");
  QTest::keyClick(window.calcGrid, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(fake.clipboard.content, "20.000");
  EXPECT_EQ(logic.Result, CalcTotalInClipboard);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace egresso
