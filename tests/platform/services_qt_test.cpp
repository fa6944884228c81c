#include "platform/services_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <tuple>
#include <vector>

#include "core/waiting.h"
#include "platform/printing_qt.h"
#include "platform/tray_qt.h"
#include "storage/locks.h"
#include "storage/workstation_fixture.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

// Esc typed while waiting answers the wait alone: the window below never
// takes it as its own Esc.
TEST(QtEventPump, KeysTypedWhileWaitingAreReported) {
  struct Window : QWidget {
    int keys = 0;
    void keyPressEvent(QKeyEvent*) override { ++keys; }
  };
  QtEventPump pump;
  Window w;
  w.show();
  QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(pump.processEvents(), 27);
  EXPECT_EQ(w.keys, 0);
  EXPECT_EQ(pump.processEvents(), 0);
  QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier));
  pump.sleepMs(5);
  EXPECT_EQ(pump.processEvents(), 6);
}

// A lock wait with the window pump: the other workstation's lock goes away
// at a tick of a timer, and the user may type Esc at another.
struct LockWaitWithWindows : ::testing::Test {
  test::FakePlatform fake;
  QtEventPump pump;
  Workstation ws{fake.platform()};
  test::TempDir dir;
  QWidget window;
  QTimer ticks;
  int tick = 0;
  int keyAtTick = 0;
  int freeAtTick = 3;

  LockWaitWithWindows() {
    test::joinFolder(ws, dir.str(), "ABC", "1111");
    ws.platform.events = &pump;
    test::writeFile(dir / "LOCATELK.LOK", "XYZ BBSL1           2222\r\n");
    window.show();
    ticks.setInterval(0);
    QObject::connect(&ticks, &QTimer::timeout, [this] {
      ++tick;
      if (tick == keyAtTick) QTest::keyClick(&window, Qt::Key_Escape);
      if (tick == freeAtTick) std::filesystem::remove(dir / "LOCATELK.LOK");
    });
  }
  bool waitForTheLock() {
    ticks.start();
    bool taken = AcquireLock(ws, "LOCATELK", "BBSL1");
    ticks.stop();
    ReleaseLock(ws, "LOCATELK");
    return taken;
  }
};

TEST_F(LockWaitWithWindows, AKeyTypedDuringAPauseDoesNotAnswerALaterWait) {
  QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  PauseMs(ws, 5);  // a retry pause of an earlier step
  EXPECT_TRUE(waitForTheLock());
  EXPECT_GE(tick, freeAtTick);
}

TEST_F(LockWaitWithWindows, AKeyTypedDuringTheWaitAnswersIt) {
  keyAtTick = 2;
  freeAtTick = 1'000'000;  // only if the key went unheard
  EXPECT_FALSE(waitForTheLock());
  EXPECT_LT(tick, freeAtTick);
  EXPECT_TRUE(std::filesystem::exists(dir / "LOCATELK.LOK"));
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

// Links open documents only, judged by name and by content: neither a
// runnable kind under a harmless name nor a harmless name on a runnable file.
TEST(QtShell, OnlyDocumentsOfAllowedTypesAreOpened) {
  test::TempDir dir;
  const std::string desktop = "[Desktop Entry]\nType=Application\nExec=sh -c id\n", script = "#!/bin/sh\nid\n";
  const std::vector<std::tuple<const char*, std::string, bool>> cases = {
      {"notes.txt", "Call Mr. Lind back\n", true}, {"minutes", "Plain words only\n", true},
      {"report.pdf", "%PDF-1.4\n1 0 obj\n<<>>\nendobj\n", true}, {"list.csv", "a,b\n1,2\n", true},
      {"photo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), true},
      {"board.desktop", desktop, false}, {"board.kdelnk", desktop, false}, {"run", script, false},
      {"notes2.txt", script, false}, {"start.jnlp", "<?xml version=\"1.0\"?><jnlp spec=\"1.0+\"></jnlp>\n", false},
      {"tool.pyz", std::string("#!/usr/bin/env python3\nPK\x03\x04", 27), false},
      {"program", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3e\0", 20), false},
      {"page.html", "<html><script>alert(1)</script></html>", false}, {"data.bin", std::string("\0\1\2\3", 4), false}};
  for (const auto& [name, content, allowed] : cases) {
    test::writeFile(dir.path() / name, content);
    const std::string path = (dir.path() / name).string();
    EXPECT_EQ(IsOpenableDocument(QString::fromStdString(path)), allowed) << name;
    if (!allowed) EXPECT_EQ(QtShell().open(path, "", ""), Shell::kNotADocument) << name;
  }
}

TEST(QtSound, MissingFileCannotBePlayed) {
  QtSound sound;
  EXPECT_FALSE(sound.play("/nonexistent/alarm.wav"));
}

// The player module is loaded by the first sound, not before; without it
// nothing plays and the caller beeps.
TEST(QtSound, FirstSoundLoadsThePlayerModule) {
  const std::string alarm = std::string(EGRESSO_PROGRAM_DIR) + "/alarm.wav";
  QtSound sound(EGRESSO_PROGRAM_DIR);
  EXPECT_FALSE(sound.play("/nonexistent/alarm.wav"));
  EXPECT_FALSE(sound.playerLoaded());
  sound.play(alarm);
  EXPECT_TRUE(sound.playerLoaded());
  QtSound without(EGRESSO_PROGRAM_DIR "/no-such-folder");
  EXPECT_FALSE(without.play(alarm));
}

// Printers come from the module beside the program; without it every call
// says so and prints nothing.
TEST(Printing, PrintersComeFromTheModuleBesideTheProgram) {
  test::FakeDialogs dialogs;
  test::TempDir dir;
  auto printer = Printing(&dialogs, EGRESSO_PROGRAM_DIR).named(QString());
  ASSERT_NE(printer, nullptr);
  auto* pdf = dynamic_cast<QPrinter*>(printer.get());
  ASSERT_NE(pdf, nullptr);
  const QString file = QString::fromStdString((dir.path() / "page.pdf").string());
  pdf->setOutputFileName(file);
  EXPECT_FALSE(PrintableArea(*printer).isEmpty());
  QPainter p;
  ASSERT_TRUE(p.begin(printer.get()));
  p.drawText(10, 10, "page");
  p.end();
  EXPECT_GT(std::filesystem::file_size(file.toStdString()), 0u);
  EXPECT_TRUE(dialogs.boxes.empty());

  Printing without(&dialogs, EGRESSO_PROGRAM_DIR "/no-such-folder");
  EXPECT_EQ(without.named(QString()), nullptr);
  EXPECT_TRUE(without.names().isEmpty());
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_NE(dialogs.boxes[0].find("Printing is not available"), std::string::npos);
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
