#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <QTest>

#include "board/board_lines.h"
#include "board/board_list.h"
#include "board/bulletin_qt.h"
#include "board/demo.h"
#include "core/waiting.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "platform/text_qt.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

// The demo folder on a board window whose message form is a log.
struct CommandBoard {
  test::FakePlatform fake;
  test::TempDir dir;
  Workstation ws{fake.platform()};
  std::unique_ptr<TBulBrd> board;
  std::vector<std::pair<char, int>> forms;

  explicit CommandBoard(int listMode = 1) {
    ws.notices.lines.resize(2100);
    auto set = [&](int n, const char* t) { ws.notices.lines[static_cast<std::size_t>(n) - 1] = t; };
    set(261, "New");
    set(262, "Edit");
    set(725, "Page");
    set(1397, "In/Out Board");
    set(1388, "Name                   Where");
    set(1457, "Change this person's entry?");
    set(1458, "Sign this person out?");
    set(1716, "No announcement yet. ");
    std::string error;
    EXPECT_TRUE(CreateDemoFolder(ws, dir.str(), error)) << error;
    ws.paths.ProductTitle = "Egresso";
    ws.paths.ProgramFolder = dir.str();
    ws.paths.AnnouncementFile = dir.str() + "/EGMEMO.TXT";
    ws.ListMode = listMode;
    board = std::make_unique<TBulBrd>(ws);
    board->Hooks().openForm = [this](char letter, int record) {
      forms.emplace_back(letter, record);
      return false;
    };
    board->show();
    QApplication::processEvents();
  }
  QListWidget* list() { return board->BBSlist(); }
  int rowOf(QListWidget* l, int record) {
    for (int i = 0; i < l->count(); ++i)
      if (RecordNumberOfLine(toRecordText(l->item(i)->text())) == record) return i;
    return -1;
  }
  void select(QListWidget* l, int record) {
    const int row = rowOf(l, record);
    ASSERT_GE(row, 0) << record;
    const QRect r = l->visualItemRect(l->item(row));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 20, r.center().y()));
  }
  BoardIndexEntry location(int slot) {
    BoardIndexEntry e;
    ReadBoardIndexEntry(PosixFileOps(), dir.str() + "/LOCATE.DAI", slot, e);
    return e;
  }
  // Drops a line of a list onto a control as a finished drag does.
  void drop(QWidget* target, int record, bool fromOld) {
    QMimeData mime;
    mime.setData("application/x-egresso-line", QByteArray::number(record) + (fromOld ? " old" : " new"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted()) << "every control takes a line of a list";
    QDropEvent event(QPointF(5, 5), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &event);
  }
};

TEST(BoardCommands, TheOutButtonAsksForAnotherEntryUnlessTheStationIsShared) {
  CommandBoard b;
  b.select(b.list(), 2);  // Bob is out
  b.fake.dialogs.answers = {2};
  QTest::mouseClick(b.board->OutBtn(), Qt::LeftButton);
  ASSERT_EQ(b.fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(b.fake.dialogs.dialogs[0].message, "Change this person's entry?\r\nBob Carter (BOB)");
  EXPECT_FALSE(b.location(2).closed());

  b.select(b.list(), 5);  // Eva is in: the form opens for her entry
  b.fake.dialogs.answers = {1};
  QTest::mouseClick(b.board->OutBtn(), Qt::LeftButton);
  ASSERT_EQ(b.forms.size(), 1u);
  EXPECT_EQ(b.forms[0], std::make_pair('E', 5));

  b.ws.options.QuietBoard = true;
  b.select(b.list(), 2);
  QTest::mouseClick(b.board->OutBtn(), Qt::LeftButton);
  EXPECT_EQ(b.fake.dialogs.dialogs.size(), 2u) << "no question at a shared station";
  EXPECT_TRUE(b.location(2).closed()) << "Bob is back in";

  // Nothing starts while another command waits for a lock.
  b.select(b.list(), 3);
  {
    WaitScope waiting(b.ws);
    QTest::mouseClick(b.board->OutBtn(), Qt::LeftButton);
  }
  EXPECT_FALSE(b.location(3).closed());
}

TEST(BoardCommands, DoubleClickOnAStaleLineSignsItIn) {
  CommandBoard b;
  b.ws.options.QuietBoard = true;
  // Claire's entry is left from an earlier day: the morning run marked it.
  BoardIndexEntry e = b.location(3);
  e.Flags |= BoardIndexEntry::StaleBit;
  std::array<std::uint8_t, brd::IndexSize> bytes{};
  e.encode(bytes);
  RecordFile f;
  ASSERT_EQ(f.open(b.dir.str() + "/LOCATE.DAI", brd::IndexSize, RecordFile::Mode::ReadWrite, PosixFileOps()), io::Ok);
  f.write(3, bytes);
  f.close();
  b.board->FormShow();
  const int row = b.rowOf(b.list(), 3);
  ASSERT_GE(row, 0);
  ASSERT_TRUE(LineIsStale(toRecordText(b.list()->item(row)->text())));

  const QRect r = b.list()->visualItemRect(b.list()->item(row));
  QTest::mouseDClick(b.list()->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 20, r.center().y()));
  EXPECT_FALSE(b.location(3).stale());
  EXPECT_TRUE(b.location(3).closed());
  EXPECT_FALSE(LineIsStale(toRecordText(b.list()->item(b.rowOf(b.list(), 3))->text())));
}

TEST(BoardCommands, TheDeleteKeyClosesTheLineAndSelectsTheNext) {
  CommandBoard b(0);
  ASSERT_EQ(b.list()->count(), 2);
  const int first = RecordNumberOfLine(toRecordText(b.list()->item(0)->text()));
  const int second = RecordNumberOfLine(toRecordText(b.list()->item(1)->text()));
  b.select(b.list(), first);
  QTest::keyClick(b.list(), Qt::Key_Delete);
  ASSERT_EQ(b.list()->count(), 1);
  EXPECT_EQ(RecordNumberOfLine(toRecordText(b.list()->item(0)->text())), second);
  EXPECT_EQ(b.list()->currentRow(), 0);
  EXPECT_TRUE(b.list()->item(0)->isSelected());

  // Ctrl+Delete shows the tagged messages and back.
  const int lower = b.board->BBSoldList()->count();
  QTest::keyClick(b.list(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_TRUE(b.ws.board.TaggedView);
  EXPECT_EQ(b.list()->count(), 0);
  QTest::keyClick(b.list(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_FALSE(b.ws.board.TaggedView);
  EXPECT_EQ(b.list()->count(), 1);
  EXPECT_EQ(b.board->BBSoldList()->count(), lower);
}

TEST(BoardCommands, DragsOntoTheButtonsAndBetweenTheLists) {
  CommandBoard b;
  b.ws.options.QuietBoard = true;
  b.drop(b.board->OutBtn(), 6, false);  // Frank is out: back in
  EXPECT_TRUE(b.location(6).closed());
  b.drop(b.board->OutBtn(), 5, false);  // Eva is in: her form
  ASSERT_EQ(b.forms.size(), 1u);
  EXPECT_EQ(b.forms[0], std::make_pair('E', 5));
  EXPECT_EQ(b.ws.board.SelectedRecord, -1);

  b.board->SwitchClick();
  ASSERT_EQ(b.list()->count(), 2);
  const int unread = RecordNumberOfLine(toRecordText(b.list()->item(0)->text()));
  b.drop(b.board->BBSoldList()->viewport(), unread, false);  // read now
  EXPECT_EQ(b.list()->count(), 1);
  EXPECT_EQ(b.rowOf(b.board->BBSoldList(), unread) >= 0, true);
  b.drop(b.list()->viewport(), unread, true);  // unread again
  EXPECT_EQ(b.list()->count(), 2);
  b.drop(b.list()->viewport(), unread, false);  // onto its own list: nothing
  EXPECT_EQ(b.list()->count(), 2);

  // A message to several people is changed only by its sender.
  const int shared = RecordNumberOfLine(toRecordText(b.list()->item(1)->text()));
  const auto told = b.fake.dialogs.dialogs.size();
  b.drop(b.board->DelBtn(), shared, false);
  EXPECT_EQ(b.list()->count(), 2);
  EXPECT_EQ(b.fake.dialogs.dialogs.size(), told + 1);
  b.drop(b.board->DelBtn(), unread, false);
  EXPECT_EQ(b.list()->count(), 1) << "tagged for deletion by this user";
}

TEST(BoardCommands, TheEnlargedMemoCoversTheListAndExitFirstShrinksIt) {
  CommandBoard b;
  QPlainTextEdit* memo = b.board->Memo();
  EXPECT_FALSE(memo->toPlainText().isEmpty()) << "the invitation to write one";
  const QRect r = memo->viewport()->rect();
  QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_TRUE(b.ws.board.MemoEnlarged);
  EXPECT_GE(memo->geometry().bottom(), b.list()->geometry().bottom() - 10);
  EXPECT_FALSE(b.board->OutBtn()->isEnabled());

  b.board->OKbtnClick();
  EXPECT_FALSE(b.ws.board.MemoEnlarged);
  EXPECT_TRUE(b.board->isVisible()) << "the first Exit only shrinks the memo";
  EXPECT_TRUE(b.board->OutBtn()->isEnabled());
  EXPECT_LT(memo->geometry().bottom(), b.list()->geometry().top());

  // An edit saved through the menu is what the next board shows.
  memo->setFocus();
  memo->setPlainText("Office closes at 3 today");
  memo->document()->setModified(true);
  b.board->MemoExit();
  EXPECT_EQ(test::readFile(b.dir / "EGMEMO.TXT"), "Office closes at 3 today\r\n");
  EXPECT_FALSE(memo->document()->isModified());
}

// Keys act where they are pressed: Ctrl keys in the enlarged memo are the
// memo's, and a refresh keeps the line the user selected for Out.
TEST(BoardCommands, KeysActWhereTheyArePressed) {
  CommandBoard b;
  b.ws.notices.lines[611 - 1] = "Sign yourself in or out: Ctrl+S";
  b.ws.options.WorkClock = true;
  auto own = [&] {
    BulBrdRcrd r;
    RecordFile f;
    if (f.open(b.dir.str() + "/LOCATE.DAF", brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) == io::Ok) f.read(b.ws.UserSlot, r.bytes);
    return r;
  };
  const BulBrdRcrd before = own();
  QPlainTextEdit* memo = b.board->Memo();
  QTest::mouseDClick(memo->viewport(), Qt::LeftButton, {}, memo->viewport()->rect().center());
  ASSERT_TRUE(b.ws.board.MemoEnlarged);
  memo->setFocus();
  for (const Qt::Key k : {Qt::Key_S, Qt::Key_C}) QTest::keyClick(memo, k, Qt::ControlModifier);
  EXPECT_TRUE(b.forms.empty());
  EXPECT_TRUE(b.fake.dialogs.dialogs.empty()) << "no work clock question";
  EXPECT_EQ(own().bytes, before.bytes) << "neither signed in or out nor clocked";
  b.board->OKbtnClick();

  b.select(b.list(), 2);  // Bob is out
  BuildBoardList(b.ws);
  b.board->FillLists();  // as a refresh does
  b.fake.dialogs.answers = {2};
  QTest::mouseClick(b.board->OutBtn(), Qt::LeftButton);
  ASSERT_EQ(b.fake.dialogs.dialogs.size(), 1u);
  EXPECT_NE(b.fake.dialogs.dialogs[0].message.find("Bob Carter"), std::string::npos);
  EXPECT_TRUE(b.forms.empty());
}

// Entering the memo shows the announcement as it is on disk now; the same
// text again leaves the memo as a fresh load does.
TEST(BoardCommands, EnteringTheMemoShowsTheLatestAnnouncement) {
  CommandBoard b;
  QPlainTextEdit* memo = b.board->Memo();
  auto enter = [&] {
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(memo, &in);
  };
  test::writeFile(b.dir / "EGMEMO.TXT", "Fire drill at 10\r\n");
  enter();
  EXPECT_EQ(memo->toPlainText(), "Fire drill at 10");
  memo->moveCursor(QTextCursor::End);
  memo->insertPlainText("!");
  memo->undo();
  memo->document()->setModified(false);
  enter();
  EXPECT_EQ(memo->toPlainText(), "Fire drill at 10");
  EXPECT_EQ(memo->textCursor().position(), 0);
  EXPECT_FALSE(memo->document()->isUndoAvailable() || memo->document()->isRedoAvailable());
  EXPECT_FALSE(memo->document()->isModified());
}

TEST(BoardCommands, TheRestoreMenuListsTheBackupsThatExist) {
  CommandBoard b;
  std::filesystem::create_directories(b.dir / "BACKUP");
  test::writeFile(b.dir / "BACKUP/CFGMAIN.BA2", "x");
  b.board->FillRestoreMenu();
  const auto actions = b.board->RestoreMenu()->actions();
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0]->objectName(), "FileRestore2");
  int restored = -1;
  b.board->Hooks().restoreBackup = [&](int n) { restored = n; };
  actions[0]->trigger();
  EXPECT_EQ(restored, 2);
}

TEST(BoardCommands, PrintDetailOfHundredLinesMakesThreePagesWithHeadings) {
  if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
  CommandBoard b;
  b.ws.board.BBSlist.clear();
  for (int i = 1; i <= 100; ++i)
    b.ws.board.BBSlist.push_back({"Employee line " + std::to_string(i) + std::string(60, ' '), 0});
  const std::string pdf = (b.dir / "detail.pdf").string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  ASSERT_TRUE(b.board->PrintDetail(printer));

  QProcess p;
  p.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
  ASSERT_TRUE(p.waitForFinished(30000));
  const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), 3);
  const int expected[] = {47, 47, 6};
  for (int i = 0; i < 3; ++i) {
    const QString& page = pages[i];
    EXPECT_TRUE(page.contains("Page " + QString::number(i + 1))) << page.toStdString();
    EXPECT_TRUE(page.contains("In/Out Board"));
    EXPECT_TRUE(page.contains("Name"));
    EXPECT_EQ(page.count("Employee line"), expected[i]);
  }
  EXPECT_TRUE(pages[1].contains("Employee line 48 ") || pages[1].contains("Employee line 48\n"));
}

}  // namespace
}  // namespace egresso

namespace egresso {
namespace {

TEST(BoardCommands, RollCallPrintsEveryEmployeeOnOnePageWithTheTimeTaken) {
  if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
  CommandBoard b;
  ASSERT_NE(b.board->findChild<QAction*>("FileRollCall"), nullptr);
  const auto listed = b.ws.board.BBSlist.size();
  const std::string pdf = (b.dir / "roll-call.pdf").string();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  ASSERT_TRUE(b.board->PrintRollCallTo(printer));
  QProcess p;
  p.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
  ASSERT_TRUE(p.waitForFinished(30000));
  const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts);
  ASSERT_EQ(pages.size(), 1);
  for (const char* text : {"Roll call", "Page 1 of 1", "In the building: 2 of 7", "Ann Baker", "Eva Fischer",
                           "Gilles Hart", "Client visit"})
    EXPECT_TRUE(pages[0].contains(text)) << text << "\n" << pages[0].toStdString();
  EXPECT_EQ(b.ws.board.BBSlist.size(), listed) << "the board's own list is left as it was";
}

}  // namespace
}  // namespace egresso
