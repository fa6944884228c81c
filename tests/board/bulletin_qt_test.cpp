#include "board/bulletin_qt.h"

#include <gtest/gtest.h>

#include <map>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolButton>

#include <functional>

#include "board/bulletin_parts_qt.h"
#include "board/demo.h"
#include "platform/codepage.h"
#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

struct DemoBoard {
  test::FakePlatform fake;
  test::TempDir dir;
  Workstation ws{fake.platform()};

  DemoBoard() {
    ws.notices.lines.resize(2100);
    ws.notices.lines[1388 - 1] = "Name                   Where";
    ws.notices.lines[1443 - 1] = "Messages sent or previously read by";
    std::string error;
    EXPECT_TRUE(CreateDemoFolder(ws, dir.str(), error)) << error;
    ws.paths.ProductTitle = "Egresso";
    ws.paths.ProgramFolder = dir.str();
  }
};

std::vector<std::string> Texts(QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
  return out;
}

TEST(BoardWindow, TheListShowsTheDemoLinesInColumns) {
  DemoBoard d;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();

  QListWidget* list = board.BBSlist();
  ASSERT_EQ(list->count(), static_cast<int>(d.ws.board.BBSlist.size()));
  ASSERT_EQ(list->count(), 7);
  for (int i = 0; i < list->count(); ++i)
    EXPECT_EQ(list->item(i)->text().toStdString(), cp1252ToUtf8(d.ws.board.BBSlist[static_cast<std::size_t>(i)].text));
  EXPECT_EQ(list->item(1)->text().left(23).trimmed(), "Bob Carter");
  EXPECT_EQ(list->item(1)->text().mid(23, 36).trimmed(), "Client visit, Harbour Street 12");
  EXPECT_EQ(list->item(1)->text().mid(83, 5), "00002");

  // A fixed-pitch font: every column starts at the same place on every line.
  const QFont font = board.listFont();
  EXPECT_TRUE(QFontInfo(font).fixedPitch());
  const QFontMetrics fm(font);
  const int locationColumn = fm.horizontalAdvance(QString(23, 'M'));
  for (const auto& text : Texts(list))
    EXPECT_EQ(fm.horizontalAdvance(QString::fromStdString(text).left(23)), locationColumn) << text;

  // The owner-drawn lines reach the screen.
  const QImage image = list->viewport()->grab().toImage();
  int dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
  EXPECT_GT(dark, 100);
  EXPECT_FALSE(board.BulBrdInfo()->pixmap().isNull());
  EXPECT_FALSE(board.BBSoldList()->isVisible());
}

// The compact window ("/PD"): only the named menus go, small fonts, the
// Exit glyph in the top-right corner, bounds that hold; F1 still helps.
TEST(BoardWindow, CompactLayout) {
  DemoBoard d;
  d.ws.options.CompactMode = true;
  d.ws.HostShown = true;
  TBulBrd board(d.ws);
  board.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&board));

  std::map<std::string, bool> menus;
  for (QAction* a : board.menuBar()->actions()) menus[a->text().remove('&').toStdString()] = a->isVisible();
  EXPECT_EQ(menus, (std::map<std::string, bool>{{"File", false}, {"Edit", false}, {"Print", false},
                                                {"Search", false}, {"Messages", false}, {"Tools", true},
                                                {"Help", false}}));
  EXPECT_TRUE(board.menuBar()->isVisible()) << "the Tools menu is still there";
  EXPECT_DOUBLE_EQ(board.headingFont().pointSizeF(), 7.0);
  EXPECT_DOUBLE_EQ(board.listFont().pointSizeF(), 8.0);
  EXPECT_DOUBLE_EQ(board.font().pointSizeF(), 7.0);

  QPushButton* exit = board.ExitButton();
  EXPECT_TRUE(exit->isVisible());
  EXPECT_EQ(exit->size(), QSize(20, 20));
  EXPECT_TRUE(exit->text().isEmpty());
  EXPECT_FALSE(exit->icon().isNull());
  EXPECT_EQ(exit->geometry().top(), 0);
  EXPECT_EQ(exit->geometry().right(), exit->parentWidget()->width() - 1);

  // Made larger by the user, the window is put back at the next tick.
  const QRect compact = board.geometry();
  EXPECT_LE(compact.width(), 200);
  board.setGeometry(compact.x() - 50, compact.y(), 500, compact.height());
  auto* timer2 = board.findChild<QTimer*>("Timer2");
  ASSERT_NE(timer2, nullptr);
  QMetaObject::invokeMethod(timer2, "timeout");
  EXPECT_EQ(board.geometry(), compact);

  board.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&board));
  QTest::keyClick(&board, Qt::Key_F1);
  ASSERT_EQ(d.fake.help.requests.size(), 1u);
  EXPECT_EQ(d.fake.help.requests[0].first, HelpCommand::Topic);
}

TEST(BoardWindow, SwitchingShowsBothMessageLists) {
  DemoBoard d;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  board.SwitchClick();
  EXPECT_EQ(d.ws.ListMode, 0);
  EXPECT_TRUE(board.BBSoldList()->isVisible());
  const auto upper = Texts(board.BBSlist());
  const auto lower = Texts(board.BBSoldList());
  ASSERT_EQ(upper.size(), 2u);
  ASSERT_EQ(lower.size(), 2u);
  for (std::size_t i = 0; i < upper.size(); ++i) EXPECT_EQ(upper[i], cp1252ToUtf8(d.ws.board.BBSlist[i].text));
  for (std::size_t i = 0; i < lower.size(); ++i) EXPECT_EQ(lower[i], cp1252ToUtf8(d.ws.board.BBSoldList[i].text));
  std::string subjects;
  for (const auto& l : upper) subjects += QString::fromStdString(l).left(53).trimmed().toStdString() + "|";
  EXPECT_NE(subjects.find("Call Mrs. Lindqvist back about the lease|"), std::string::npos);
  EXPECT_NE(subjects.find("Team meeting moved to Thursday 10:00|"), std::string::npos);
  board.SwitchClick();
  EXPECT_EQ(board.BBSlist()->count(), 7);
}

// A line drawn glyph by glyph gives the pixels of text drawing: every
// printable character of the code page, a soft hyphen, a character the face
// lacks, in the list's two sizes.
TEST(BoardWindow, FixedPitchLinesDrawAsText) {
  QString cp1252;
  for (int c = 0x20; c <= 0xFF; ++c)
    if (std::string_view("\x7F\x81\x8D\x8F\x90\x9D\xAD").find(static_cast<char>(c)) == std::string_view::npos)
      cp1252 += fromRecordText(std::string(1, static_cast<char>(c)));
  DemoBoard d;
  for (bool compact : {false, true}) {
    d.ws.options.CompactMode = compact;
    const QFont font = TBulBrd(d.ws).listFont();
    for (const QString& text :
         {cp1252, "Ann Baker " + QString(QChar(0x4E2D)), "co" + QString(QChar(0xAD)) + "op", QString()}) {
      auto draw = [&](bool glyphs) {
        QImage image(1900, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        glyphs ? bulletin::DrawFixedPitchLine(p, QPoint(3, 20), text) : p.drawText(QPoint(3, 20), text);
        p.end();
        return image;
      };
      EXPECT_EQ(draw(false), draw(true)) << compact << " " << text.toStdString();
    }
  }
}

// The first column of a list line's first row whose pixels differ from the
// list background, -1 when none; and whether any ink lies in [from, to).
int FirstInk(const QImage& image, const QColor& background, int rowHeight) {
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < rowHeight && y < image.height(); ++y)
      if (image.pixelColor(x, y) != background) return x;
  return -1;
}
bool InkBetween(const QImage& image, const QColor& background, int rowHeight, int from, int to) {
  for (int x = std::max(0, from); x < std::min(to, image.width()); ++x)
    for (int y = 0; y < rowHeight && y < image.height(); ++y)
      if (image.pixelColor(x, y) != background) return true;
  return false;
}

TEST(BoardWindow, BothMessageListsStandUnderTheHeadingsInTheListColours) {
  DemoBoard d;
  d.ws.pcfg.setI32(pcfg::Colors + 4, 0x800000);  // list colour: navy
  d.ws.pcfg.setI32(pcfg::Colors + 8, 0xFFFFFF);  // list text colour: white
  d.ws.ListMode = 0;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  ASSERT_EQ(board.BBSlist()->count(), 2);
  ASSERT_EQ(board.BBSoldList()->count(), 2);
  const QColor navy(0, 0, 0x80);
  const QImage upper = board.BBSlist()->viewport()->grab().toImage();
  const QImage lower = board.BBSoldList()->viewport()->grab().toImage();
  EXPECT_EQ(lower.pixelColor(lower.width() - 3, lower.height() - 3), navy) << "the lower list has the list colour too";
  const int row = board.BBSlist()->sizeHintForRow(0);
  ASSERT_GT(row, 0);
  const int upperStart = FirstInk(upper, navy, row);
  ASSERT_GE(upperStart, 0);
  // The first letters differ ("C", "P"): a pixel of their shapes apart.
  EXPECT_NEAR(FirstInk(lower, navy, row), upperStart, 1) << "the lines of both lists begin at the same place";
  // Between the sender (positions 73-75) and the record number (84 on)
  // both lines are blank: nothing is drawn there, no mark of a cut line.
  const int cw = QFontMetrics(board.listFont()).horizontalAdvance(QLatin1Char('M'));
  EXPECT_FALSE(InkBetween(upper, navy, row, upperStart + 76 * cw, upperStart + 83 * cw));
  EXPECT_FALSE(InkBetween(lower, navy, row, upperStart + 76 * cw, upperStart + 83 * cw));
}

TEST(BoardWindow, ShownAgainInTheModeSetMeanwhile) {
  DemoBoard d;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  board.close();
  EXPECT_FALSE(d.ws.BoardOpen);
  d.ws.ListMode = 0;  // a new message opens the board on the message list
  board.show();
  QApplication::processEvents();
  EXPECT_TRUE(d.ws.BoardOpen);
  EXPECT_TRUE(board.BBSoldList()->isVisible());
  EXPECT_EQ(board.BBSlist()->count(), 2);
}

TEST(BoardWindow, WhoAreYouSelectsTheEmployeesLine) {
  DemoBoard d;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  int chosen = -1;
  QObject::connect(&board, &TBulBrd::outCommand, [&](int record) { chosen = record; });
  board.ShowWhoBox("c");
  auto* who = board.findChild<QLineEdit*>("Who");
  ASSERT_NE(who, nullptr);
  QTest::keyClicks(who, "la");
  board.WhoExit();
  EXPECT_EQ(chosen, 3);
  EXPECT_EQ(board.BBSlist()->currentRow(), 2);

  board.ShowWhoBox("X");
  board.WhoExit();
  EXPECT_EQ(d.fake.dialogs.beeps, 1) << "unknown initials";
  EXPECT_EQ(chosen, 3);
}

}  // namespace
}  // namespace egresso

namespace egresso {
namespace {

// Runs `user` on the modal window `open` shows (as soon as it is up), then
// makes sure it is gone.
void OnModal(const std::function<void(QWidget*)>& user, const std::function<void()>& open) {
  bool seen = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || seen) return;
    seen = true;
    poll.stop();
    user(w);
    if (w->isVisible()) QTest::keyClick(w, Qt::Key_Escape);
  });
  poll.start();
  open();
  for (int i = 0; i < 100 && !seen; ++i) QTest::qWait(10);
  EXPECT_TRUE(seen);
}

TEST(BoardWindow, ALineWithANumberDialsAndTheMemoGlyphOpensTheMemo) {
  DemoBoard d;
  d.ws.locks.TraceFolder = d.dir.str();
  d.ws.pcfg.setU8(pcfg::ModemPort, '1');
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  QListWidget* list = board.BBSlist();
  auto* dial = board.findChild<QToolButton*>("dialBtn");
  ASSERT_NE(dial, nullptr);
  int gilles = -1;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().startsWith("Gilles")) gilles = i;
  ASSERT_GE(gilles, 0);
  list->setCurrentRow(gilles == 0 ? 1 : 0);
  EXPECT_FALSE(dial->isVisible());
  const QRect line = list->visualItemRect(list->item(gilles));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line.center());
  ASSERT_TRUE(dial->isVisible());
  EXPECT_TRUE(dial->toolTip().endsWith("5550142"));
  OnModal([](QWidget* w) { EXPECT_TRUE(w->windowTitle().contains("5550142")); }, [&] { dial->click(); });
  EXPECT_EQ(d.fake.serial.commands, (std::vector<std::string>{"open:1", "ATDT,5550142", "ATH", "close"}));

  OnModal([](QWidget* w) { EXPECT_TRUE(w->windowTitle().startsWith("Gilles Hart")); },
          [&] {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(list->viewport()->width() - 5, line.center().y()));
            QApplication::processEvents();
          });
  EXPECT_EQ(d.ws.accessories.Editor.Mode, 0);
}

// The caption names the user, Edit > Copy works, the dial button is disabled
// while the announcement is enlarged, "Who are you?" stands in the middle.
TEST(BoardWindow, TheWindowNamesItsUserAndOffersOnlyWhatWorks) {
  DemoBoard d;
  TBulBrd board(d.ws);
  board.show();
  QApplication::processEvents();
  EXPECT_TRUE(board.windowTitle().contains(QString::fromStdString(d.ws.ThisUser)));
  board.BBSlist()->setCurrentRow(board.BBSlist()->count() - 1);  // Gilles, with a telephone number
  board.EditCopyClick();  // the line as shown, without its record number
  EXPECT_EQ(d.fake.clipboard.content, "Gilles Hart            Working from home, call 555-0142      5:30P");
  QTest::mouseDClick(board.findChild<QPlainTextEdit*>("Memo")->viewport(), Qt::LeftButton);
  EXPECT_FALSE(board.findChild<QToolButton*>("dialBtn")->isEnabled());
  board.resize(900, 620);
  board.ShowWhoBox("B");
  auto* who = board.findChild<QFrame*>("WhoBox");
  EXPECT_LE((who->geometry().center() - who->parentWidget()->rect().center()).manhattanLength(), 2);
}

}  // namespace
}  // namespace egresso
