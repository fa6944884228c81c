// The sign out and message form driven through its real window, opened
// from the board's buttons and lines as a user does.
#include "messages/egresso_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <functional>
#include <vector>

#include "board/bulletin_qt.h"
#include "messages/form_rules.h"
#include "messages/form_world.h"
#include "tools/calc.h"
#include "tools/calc_qt.h"

namespace egresso {
namespace {

using test::FormWorld;
using FormStep = std::function<void(TEgressoBrd&)>;

// Plays one step on each form the board shows, in order: a step runs once
// its form is on screen and modal.
class FormScript : public QObject {
 public:
  explicit FormScript(std::deque<FormStep> steps) : steps_(std::move(steps)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this]() { poll(); });
    timer_.start();
  }
  bool done() const { return steps_.empty(); }
  int played = 0;

 private:
  void poll() {
    auto* form = qobject_cast<TEgressoBrd*>(QApplication::activeModalWidget());
    if (form == nullptr || steps_.empty() || form->property("played").toBool()) return;
    form->setProperty("played", true);
    form->activateWindow();
    // Keys go to the focused control whether or not the window manager activated it.
    (void)QTest::qWaitForWindowActive(form, 1000);
    FormStep step = std::move(steps_.front());
    steps_.pop_front();
    ++played;
    step(*form);
  }
  std::deque<FormStep> steps_;
  QTimer timer_;
};

template <class T>
T* Child(QObject& parent, const char* name) {
  T* c = parent.findChild<T*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

void Type(QWidget* w, const QString& text) {
  w->setFocus(Qt::TabFocusReason);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
  if (auto* c = qobject_cast<QComboBox*>(w)) c->lineEdit()->clear();
  QTest::keyClicks(w, text);
}

void Click(QObject& parent, const char* name) { QTest::mouseClick(Child<QAbstractButton>(parent, name), Qt::LeftButton); }

int LineOf(QListWidget* list, const QString& part) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().contains(part)) return i;
  return -1;
}

void DoubleClickLine(QListWidget* list, int row) {
  ASSERT_GE(row, 0);
  list->setCurrentRow(row);
  const QRect r = list->visualItemRect(list->item(row));
  const QPoint at = r.center() - QPoint(r.width() / 4, 0);
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

struct Board {
  explicit Board(Workstation& ws, int listMode) : window(ws) {
    ws.ListMode = listMode;
    window.show();
    QApplication::processEvents();
  }
  TBulBrd window;
};

TEST(EgressoWindow, SignOutOneselfAndAnotherEmployeeThenSignIn) {
  FormWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  Board b(w.ws, 1);
  FormScript own({[&](TEgressoBrd& f) {
    EXPECT_EQ(f.windowTitle(), "Sign Out");
    EXPECT_EQ(Child<QLineEdit>(f, "EmpOut")->text(), "ANN");
    EXPECT_FALSE(Child<QCheckBox>(f, "DeleteBtn")->isVisible());
    Type(Child<QComboBox>(f, "ReturnTime"), "4:30P");
    Type(Child<QPlainTextEdit>(f, "Location"), "Dentist");
    Click(f, "OKbtn");
  }});
  Click(b.window, "OutBtn");
  EXPECT_TRUE(own.done());
  EXPECT_EQ(w.record("LOCATE.DAF", 1).headline(), "Dentist");
  EXPECT_EQ(w.record("LOCATE.DAF", 1).returnAt(), 1630);
  const int annLine = LineOf(b.window.BBSlist(), "Ann Baker");
  ASSERT_GE(annLine, 0);
  EXPECT_TRUE(b.window.BBSlist()->item(annLine)->text().contains("Dentist"));

  // Bob's line: confirmed first, then his own form.
  w.fake.dialogs.answers = {1};
  FormScript bob({[&](TEgressoBrd& f) {
    EXPECT_EQ(Child<QLineEdit>(f, "EmpOut")->text(), "BOB");
    Type(Child<QComboBox>(f, "ReturnTime"), "5:00P");
    Type(Child<QPlainTextEdit>(f, "Location"), "Client visit");
    Click(f, "OKbtn");
  }});
  b.window.BBSlist()->setCurrentRow(LineOf(b.window.BBSlist(), "Bob Carter"));
  Click(b.window, "OutBtn");
  EXPECT_TRUE(bob.done());
  ASSERT_FALSE(w.fake.dialogs.dialogs.empty());
  EXPECT_EQ(w.fake.dialogs.dialogs.back().button1, "Yes");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).who(), "BOB");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).enteredBy(), "ANN");

  // Back in through her own line.
  FormScript in({[&](TEgressoBrd& f) {
    EXPECT_EQ(Child<QPlainTextEdit>(f, "Location")->toPlainText(), "Dentist");
    Child<QCheckBox>(f, "DeleteBtn")->setChecked(true);
    Click(f, "OKbtn");
  }});
  DoubleClickLine(b.window.BBSlist(), LineOf(b.window.BBSlist(), "Ann Baker"));
  EXPECT_TRUE(in.done());
  EXPECT_EQ(w.record("LOCATE.DAF", 1).closed(), 1);
  EXPECT_NE(test::readFile(w.dir / "INOUTANN.DAF").find("IN"), std::string::npos);
}

TEST(EgressoWindow, CalendarKeysAndRelativeDatesInTheReturnDate) {
  FormWorld w;
  Board b(w.ws, 1);
  FormScript script({[&](TEgressoBrd& f) {
    auto* date = Child<QLineEdit>(f, "ReturnDate");
    date->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(Child<QWidget>(f, "SmClndrBox")->isVisible());
    QTest::keyClick(date, Qt::Key_Right);
    EXPECT_EQ(date->text(), "8 DEC 26");
    Type(date, "+2w");
    Child<QComboBox>(f, "ReturnTime")->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(date->text(), "10 DEC 26");  // from Tuesday the 8th, two working days
    EXPECT_FALSE(Child<QWidget>(f, "SmClndrBox")->isVisible());
    Click(f, "CancelBtn");
  }});
  Click(b.window, "OutBtn");
  EXPECT_TRUE(script.done());
  EXPECT_EQ(w.record("LOCATE.DAF", 1).closed(), 1);  // cancelled: nothing saved
}

TEST(EgressoWindow, MessagesReadRepliedForwardedAndDeleted) {
  FormWorld w;
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  Board ann(w.ws, 0);
  auto write = [&](const QString& to, const QString& subject, const QString& text) {
    return [=](TEgressoBrd& f) {
      EXPECT_EQ(f.windowTitle(), "Message");
      if (!to.isEmpty()) Type(Child<QLineEdit>(f, "EmpIn"), to);
      Type(Child<QComboBox>(f, "ReturnTime"), subject);
      Type(Child<QPlainTextEdit>(f, "Location"), text);
      Click(f, "OKbtn");
    };
  };
  // One employee, a group picked from the list (its former member left out
  // with a note), everyone (typed: the field starts empty).
  FormScript one({write("BOB", "Budget", "Please check the figures.")});
  Click(ann.window, "MsgBtn");
  FormScript group({[&](TEgressoBrd& f) {
    auto* pick = Child<QComboBox>(f, "EmployeeIn");
    EXPECT_EQ(Child<QLineEdit>(f, "EmpIn")->text(), "");
    emit pick->activated(pick->findText("SAL", Qt::MatchStartsWith));
    EXPECT_EQ(Child<QLineEdit>(f, "EmpIn")->text(), "BOB,CLA");
    ASSERT_FALSE(w.fake.dialogs.dialogs.empty());
    EXPECT_EQ(w.fake.dialogs.dialogs.back().message, "Left out, no longer in the employee table: OLD.");
    write("", "Sales", "Room 4")(f);
  }});
  Click(ann.window, "MsgBtn");
  FormScript all({write("ALL", "Cake", "In the kitchen")});
  Click(ann.window, "MsgBtn");
  ASSERT_TRUE(one.done() && group.done() && all.done());
  EXPECT_EQ(RecipientText(w.record("MESSAGE.DAF", 0)), "BOB");
  EXPECT_EQ(RecipientText(w.record("MESSAGE.DAF", 1)), "BOB,CLA");
  EXPECT_EQ(w.record("MESSAGE.DAF", 2).toList(1), "");
  EXPECT_EQ(w.timer("BOB"), std::to_string(w.ws.Today) + "M");
  EXPECT_EQ(w.timer("DAN"), std::to_string(w.ws.Today) + "M");
  EXPECT_EQ(ann.window.BBSoldList()->count(), 3);

  // Bob reads the budget message on his workstation.
  auto bobWs = w.other("BOB");
  w.fake.clock.set(2026, 12, 7, 10, 15);
  Board bob(*bobWs, 0);
  EXPECT_EQ(bob.window.BBSlist()->count(), 3);
  FormScript read({[&](TEgressoBrd& f) {
    EXPECT_TRUE(Child<QCheckBox>(f, "ReadBtn")->isChecked());
    EXPECT_TRUE(Child<QPlainTextEdit>(f, "Location")->isReadOnly());
    Click(f, "CancelBtn");
  }});
  DoubleClickLine(bob.window.BBSlist(), LineOf(bob.window.BBSlist(), "Budget"));
  ASSERT_TRUE(read.done());
  EXPECT_EQ(w.record("MESSAGE.DAF", 0).readTime(), 1015);
  EXPECT_EQ(bob.window.BBSlist()->count(), 2);
  EXPECT_GE(LineOf(bob.window.BBSoldList(), "Budget"), 0);

  // Reply from the menu, with the subject numbered; then forward, quoted.
  FormScript reply({[&](TEgressoBrd& f) { f.findChild<QAction*>("MenuRply")->trigger(); },
                    [&](TEgressoBrd& f) {
                      EXPECT_EQ(f.windowTitle(), "Reply");
                      EXPECT_EQ(Child<QLineEdit>(f, "EmpIn")->text(), "ANN");
                      EXPECT_EQ(Child<QComboBox>(f, "ReturnTime")->currentText(), "Budget {1}");
                      Type(Child<QPlainTextEdit>(f, "Location"), "Checked, all fine.");
                      Click(f, "OKbtn");
                    }});
  DoubleClickLine(bob.window.BBSoldList(), LineOf(bob.window.BBSoldList(), "Budget"));
  ASSERT_TRUE(reply.done());
  EXPECT_EQ(w.record("MESSAGE.DAF", 3).headline(), "Budget {1}");
  EXPECT_EQ(w.record("MESSAGE.DAF", 3).toList(1), "ANN");

  FormScript forward({[&](TEgressoBrd& f) { Click(f, "FwdBtn"); },
                      [&](TEgressoBrd& f) {
                        EXPECT_EQ(f.windowTitle(), "Forward");
                        Type(Child<QLineEdit>(f, "EmpIn"), "CLA");
                        Click(f, "OKbtn");
                      }});
  DoubleClickLine(bob.window.BBSoldList(), LineOf(bob.window.BBSoldList(), "Budget      "));
  ASSERT_TRUE(forward.done());
  const std::string fwdBody = test::readFile(w.dir / "BULLETIN" / "4.DA0");
  EXPECT_NE(fwdBody.find("Ann Baker wrote to BOB: \r\n\r\n<<\r\nPlease check the figures.\r\n>>"), std::string::npos)
      << ::testing::PrintToString(fwdBody);

  // Deleting: Bob only tags the group message; Ann's delete archives hers.
  FormScript tag({[&](TEgressoBrd& f) {
    Child<QCheckBox>(f, "DeleteBtn")->setChecked(true);
    Click(f, "OKbtn");
  }});
  DoubleClickLine(bob.window.BBSlist(), LineOf(bob.window.BBSlist(), "Sales"));
  ASSERT_TRUE(tag.done());
  EXPECT_EQ(w.record("MESSAGE.DAF", 1).readMark(2), 3);
  EXPECT_EQ(LineOf(bob.window.BBSlist(), "Sales"), -1);

  ann.window.FormShow();
  FormScript del({[&](TEgressoBrd& f) {
    Child<QCheckBox>(f, "DeleteBtn")->setChecked(true);
    Click(f, "OKbtn");
  }});
  DoubleClickLine(ann.window.BBSoldList(), LineOf(ann.window.BBSoldList(), "Cake"));
  ASSERT_TRUE(del.done());
  EXPECT_TRUE(w.index("MESSAGE.DAI", 2).closed());
  EXPECT_EQ(w.record("MESSARC.DAF", 0).headline(), "Cake");
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN" / "0.DA2"), "In the kitchen");
}

// The named controls are shown, lie within the area (form coordinates) and
// do not cover one another.
void ExpectTiled(TEgressoBrd& form, const QRect& area, const std::vector<const char*>& names) {
  std::vector<std::pair<const char*, QRect>> placed;
  for (const char* name : names) {
    auto* c = Child<QWidget>(form, name);
    if (c == nullptr) continue;
    EXPECT_TRUE(c->isVisible()) << name;
    const QRect r(c->mapTo(&form, QPoint(0, 0)), c->size());
    EXPECT_TRUE(area.contains(r)) << name;
    for (const auto& [other, o] : placed) EXPECT_FALSE(r.intersects(o)) << name << " covers " << other;
    placed.emplace_back(name, r);
  }
}

TEST(EgressoWindow, CompactFacesAreSmallerWithEveryControlInsideOverTheBoard) {
  FormWorld w;
  w.fake.clock.set(2026, 12, 7, 8, 30);
  w.ws.options.TimeStamped = true;
  test::writeFile(w.dir / "PLACE.DAF", "Lunch<60>\r\n");
  // Records that show every control of their face: typed by someone else,
  // stamped, with a telephone number in the text.
  auto out = FormWorld::show(w.ws, 1, 'E', 2);
  out->f.ReturnTime = "4:30P";
  out->f.Location = "Client visit, call 555-123-4567";
  out->OKbtnClick();
  ASSERT_TRUE(out->closed());
  auto msg = FormWorld::show(w.ws, 0, 'N');
  msg->f.EmpOut = "BOB";
  msg->f.EmpIn = "ANN";
  msg->f.ReturnTime = "Budget";
  msg->f.Location = "Please call 555-123-4567";
  msg->OKbtnClick();
  ASSERT_TRUE(msg->closed());

  struct Face {
    int listMode, record;
    std::vector<const char*> controls;
    std::vector<std::pair<const char*, std::vector<const char*>>> boxes;
  };
  const std::vector<Face> faces = {
      {1, 2, {"EmpOutBox", "ReturnDateBox", "ReturnTimeBox", "LocAbbBox", "LocationBox", "DeleteBtn", "dialBtn", "Label1", "label2", "OKbtn", "CancelBtn"},
       {{"EmpOutBox", {"EmpOut", "EmployeeOut"}}, {"ReturnDateBox", {"ReturnDate"}}, {"ReturnTimeBox", {"ReturnTime"}},
        {"LocAbbBox", {"LocAbb"}}, {"LocationBox", {"Location"}}}},
      {0, msg->recordNumber(), {"EmpOutBox", "EmpInBox", "ReturnTimeBox", "LocationBox", "DeleteBtn", "ReadBtn", "RplyBtn", "FwdBtn", "dialBtn", "Label1", "OKbtn", "CancelBtn"},
       {{"EmpOutBox", {"EmpOut", "EmployeeOut"}}, {"EmpInBox", {"EmpIn", "EmployeeIn"}}, {"ReturnTimeBox", {"ReturnTime"}},
        {"LocationBox", {"Location"}}}},
  };
  for (const Face& face : faces) {
    SCOPED_TRACE(face.listMode);
    w.ws.options.CompactMode = false;
    FormWorld::request(w.ws, face.listMode, 'E', face.record);
    QSize normalSize;
    int normalText = 0;
    {
      TEgressoBrd normal(w.ws);
      normal.show();
      QApplication::processEvents();
      normalSize = normal.size();
      normalText = Child<QPlainTextEdit>(normal, "Location")->font().pointSize();
    }
    w.ws.options.CompactMode = true;
    Board b(w.ws, face.listMode);
    FormWorld::request(w.ws, face.listMode, 'E', face.record);
    TEgressoBrd form(w.ws, &b.window);
    form.show();
    QApplication::processEvents();
    EXPECT_LT(form.width(), normalSize.width());
    EXPECT_LT(form.height(), normalSize.height());
    EXPECT_LT(Child<QPlainTextEdit>(form, "Location")->font().pointSize(), normalText);
    EXPECT_EQ(form.frameGeometry().topLeft(), b.window.frameGeometry().topLeft());
    ExpectTiled(form, form.rect(), face.controls);
    for (const auto& [boxName, inside] : face.boxes) {
      auto* box = Child<QGroupBox>(form, boxName);
      if (box == nullptr) continue;
      // Below the box's caption.
      const int caption = box->fontMetrics().height();
      ExpectTiled(form, QRect(box->mapTo(&form, QPoint(0, caption)), box->size() - QSize(0, caption)), inside);
    }
  }
}

TEST(EgressoWindow, PrintsTheRecordToAPdfFile) {
  FormWorld w;
  FormWorld::send(w.ws, "BOB", "Budget", std::string(30, 'x') + "\r\n" + std::string(200, 'y'));
  FormWorld::request(w.ws, 0, 'E', 0);
  TEgressoBrd form(w.ws);
  form.show();
  QApplication::processEvents();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const std::string pdf = (w.dir / "message.pdf").string();
  printer.setOutputFileName(QString::fromStdString(pdf));
  EXPECT_TRUE(form.printTo(printer));
  EXPECT_GT(std::filesystem::file_size(pdf), 500u);
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty());
}

// Cancel and Esc reach a sign-out whose return time is being typed: an
// unreadable time is not checked on the way to Cancel, and Esc in the time
// with nothing to restore closes the form.
TEST(EgressoWindow, CancelAndEscLeaveAReturnTimeBeingTyped) {
  FormWorld w;
  for (const bool byEsc : {false, true}) {
    SCOPED_TRACE(byEsc ? "Esc" : "Cancel");
    w.fake.dialogs.dialogs.clear();
    FormWorld::request(w.ws, 1, 'N');
    TEgressoBrd form(w.ws);
    form.show();
    form.activateWindow();
    (void)QTest::qWaitForWindowActive(&form, 1000);
    auto* time = Child<QComboBox>(form, "ReturnTime");
    time->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    if (byEsc) {
      QTest::keyClick(time->lineEdit(), Qt::Key_Escape);
    } else {
      Type(time, "xyz");
      Click(form, "CancelBtn");  // asked whether to drop the typing: yes
    }
    QApplication::processEvents();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(w.fake.dialogs.allText().find("is not a time"), std::string::npos);
  }
  EXPECT_EQ(w.record("LOCATE.DAF", 1).closed(), 1);
}

TEST(EgressoWindow, KeysInTheTextBox) {
  FormWorld w;
  w.fake.clock.set(2026, 12, 7, 8, 30);
  test::writeFile(w.dir / "tool.txt", "#!/bin/sh\necho\n");
  FormWorld::request(w.ws, 0, 'N');
  TEgressoBrd form(w.ws);
  form.show();
  form.activateWindow();
  (void)QTest::qWaitForWindowActive(&form, 1000);
  auto* text = Child<QPlainTextEdit>(form, "Location");
  Type(Child<QLineEdit>(form, "EmpIn"), "BOB");
  Type(text, "Note ");
  QTest::keyClick(text, Qt::Key_F5);
  EXPECT_EQ(text->toPlainText(), "Note 7 DEC 26, 8:30A: \n");

  // Esc offers to undo the changes made since the box got the focus.
  w.fake.dialogs.answers = {1};
  QTest::keyClick(text, Qt::Key_Escape);
  EXPECT_EQ(text->toPlainText(), "");
  EXPECT_EQ(w.fake.dialogs.dialogs.back().message, "Undo your changes to the message text?");

  // Ctrl and the calculator's first letter: its total lands at the caret.
  text->setPlainText("Sum  EUR");
  QTextCursor c = text->textCursor();
  c.setPosition(4);
  text->setTextCursor(c);
  // The calculator is modal: it is worked from a timer while the key waits.
  // Its exit keys are window shortcuts, so it is worked once active.
  bool worked = false;
  int ticks = 0;
  QTimer drive;
  drive.setInterval(5);
  QObject::connect(&drive, &QTimer::timeout, [&]() {
    auto* calc = qobject_cast<TCalculator*>(QApplication::activeModalWidget());
    if (calc == nullptr || worked) return;
    if (QApplication::activeWindow() != calc && ++ticks < 200) {
      calc->activateWindow();
      return;
    }
    worked = true;
    QTest::keyClicks(calc->calcGrid, "12+8=");
    QTest::keyClick(calc->calcGrid, Qt::Key_T, Qt::ControlModifier);
    if (calc->isVisible()) calc->reject();  // never leave the test waiting
  });
  drive.start();
  QTest::keyClick(text, Qt::Key_T, Qt::ControlModifier);
  drive.stop();
  ASSERT_TRUE(worked);
  EXPECT_EQ(w.fake.clipboard.content, "20.00");
  EXPECT_EQ(text->toPlainText(), "Sum 20.00 EUR");

  // Ctrl+R on a script named in the text: refused, nothing started.
  text->setPlainText(QString::fromStdString("See " + (w.dir / "tool.txt").string() + " -rf"));
  c = text->textCursor();
  c.setPosition(6);
  text->setTextCursor(c);
  QTest::keyClick(text, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(w.fake.shell.opened.empty());
  EXPECT_NE(w.fake.dialogs.dialogs.back().message.find("tool.txt"), std::string::npos);
  // ... while a web address opens.
  text->setPlainText("Details on www.example.com/q4 today");
  c.setPosition(15);
  text->setTextCursor(c);
  QTest::keyClick(text, Qt::Key_R, Qt::ControlModifier);
  ASSERT_EQ(w.fake.shell.opened.size(), 1u);
  EXPECT_EQ(w.fake.shell.opened[0], "http://www.example.com/q4");

  // Ctrl+S saves.
  QTest::keyClick(text, Qt::Key_S, Qt::ControlModifier);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN" / "0.DA0"), "Details on www.example.com/q4 today");
}

}  // namespace
}  // namespace egresso
