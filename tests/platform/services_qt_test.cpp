#include "platform/services_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "platform/tray_qt.h"

namespace egresso {
namespace {

TEST(QtEventPump, KeysTypedWhileWaitingAreReported) {
  QtEventPump pump;
  QWidget w;
  w.show();
  QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(pump.processEvents(), 27);
  EXPECT_EQ(pump.processEvents(), 0);
  QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier));
  pump.sleepMs(5);
  EXPECT_EQ(pump.processEvents(), 6);
}

TEST(QtEventPump, KeyCharacters) {
  EXPECT_EQ(QtEventPump::keyCharacter(Qt::Key_Escape, Qt::NoModifier, QString()), 27);
  EXPECT_EQ(QtEventPump::keyCharacter(Qt::Key_F, Qt::ControlModifier, QString()), 6);
  EXPECT_EQ(QtEventPump::keyCharacter(Qt::Key_A, Qt::NoModifier, "a"), 'a');
  EXPECT_EQ(QtEventPump::keyCharacter(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("\xC3\xA9")), 0xE9);
  EXPECT_EQ(QtEventPump::keyCharacter(Qt::Key_Shift, Qt::ShiftModifier, QString()), 0);
}

TEST(QtClipboard, KeepsWindows1252Text) {
  QtClipboard c;
  c.setText("Caf\xE9 \x80 5");
  EXPECT_EQ(c.text(), "Caf\xE9 \x80 5");
}

TEST(QtShell, MissingTargetsAreNotFound) {
  QtShell shell;
  EXPECT_EQ(shell.open("", "", ""), 2);
  EXPECT_EQ(shell.open("no-such-file.txt", "", "/nonexistent"), 2);
  EXPECT_EQ(shell.open("/nonexistent/program", "-x", "/"), 2);
}

TEST(QtSound, MissingFileCannotBePlayed) {
  QtSound sound;
  EXPECT_FALSE(sound.play("/nonexistent/alarm.wav"));
}

TEST(QtTray, ModifyWithoutAnIconFails) {
  QtTray tray;
  EXPECT_FALSE(tray.modify(std::string(EGRESSO_PROGRAM_DIR) + "/KESTRA.ICO", "tip"));
  EXPECT_FALSE(tray.add("/nonexistent/icon.ico", "tip"));
  EXPECT_TRUE(tray.shown());
  EXPECT_TRUE(tray.modify(std::string(EGRESSO_PROGRAM_DIR) + "/FLASH.ICO", "tip"));
  tray.remove();
  EXPECT_FALSE(tray.shown());
}

}  // namespace
}  // namespace egresso
