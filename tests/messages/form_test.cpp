// The sign out and message form's rules and its saving, on one data folder
// with several workstations.
#include "messages/form.h"

#include <gtest/gtest.h>

#include <functional>

#include "messages/form_rules.h"
#include "board/board_commands.h"
#include "board/refresh.h"
#include "messages/form_world.h"
#include "support/faulty_file_ops.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

using test::FormWorld;

int Day(int y, int m, int d) { return DayNumber(y, m, d); }

TEST(FormRules, DestinationAbbreviationsAroundNoonAndMidnight) {
  FormWorld w;
  w.fake.clock.set(2026, 12, 7, 11, 30);
  auto r = ApplyAbbreviation(w.ws, "Lunch<60>", w.ws.Today, true);
  EXPECT_TRUE(r.changed && r.setsReturn);
  EXPECT_EQ(r.firstLine, "Lunch ");
  EXPECT_EQ(r.returnDay, w.ws.Today);
  EXPECT_EQ(r.returnTime, "12:30P");
  EXPECT_EQ(r.stepMinutes, 60);

  w.fake.clock.set(2026, 12, 7, 23, 30);
  r = ApplyAbbreviation(w.ws, "Post office <45>", w.ws.Today, true);
  EXPECT_EQ(r.firstLine, "Post office ");
  EXPECT_EQ(r.returnDay, w.ws.Today + 1);
  EXPECT_EQ(r.returnTime, "12:15A");

  w.fake.clock.set(2026, 12, 7, 10, 0);
  r = ApplyAbbreviation(w.ws, "Meeting@0900!", w.ws.Today, true);
  EXPECT_EQ(r.returnDay, w.ws.Today + 1);
  EXPECT_EQ(r.returnTime, "9:00A");
  EXPECT_EQ(r.firstLine, "Meeting ");

  // A marker that does not count changes nothing when chosen, and is copied
  // whole as the default destination.
  EXPECT_FALSE(ApplyAbbreviation(w.ws, "Mail <>", w.ws.Today, true).changed);
  r = ApplyAbbreviation(w.ws, "Mail <>", w.ws.Today, false);
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.firstLine, "Mail <>");
  EXPECT_EQ(ApplyAbbreviation(w.ws, "Bank", w.ws.Today, true).firstLine, "Bank ");
  // A huge number of minutes neither hangs nor leaves the calendar.
  r = ApplyAbbreviation(w.ws, "Away<999999999>", w.ws.Today, true);
  EXPECT_LT(r.returnDay, kNoDateFrom);
}

TEST(FormRules, ReturnDatesRelativeLastAndInvalid) {
  FormWorld w;
  const int friday = Day(2026, 12, 11);
  auto r = LeaveReturnDate(w.ws, "+2W", "", friday);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.day, Day(2026, 12, 15));  // Tuesday
  EXPECT_EQ(LeaveReturnDate(w.ws, "+2", "", friday).day, Day(2026, 12, 13));  // Sunday
  r = LeaveReturnDate(w.ws, "24 dec 26", "", friday);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(LeaveReturnDate(w.ws, "s", "", friday).day, Day(2026, 12, 24));
  r = LeaveReturnDate(w.ws, "next blue moon", "7 Dec 26", friday);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.text, "7 Dec 26");
}

TEST(FormRules, AfternoonRuleAndReturnTimeLists) {
  FormWorld w;
  w.fake.clock.set(2026, 12, 7, 14, 0);
  w.ws.pcfg.setU8(pcfg::EuroFormat, 1);  // the 24-hour clock
  EXPECT_EQ(LeaveReturnTime(w.ws, "3", w.ws.Today), "15:00");
  EXPECT_EQ(LeaveReturnTime(w.ws, "3", w.ws.Today + 1), "03:00");
  w.ws.pcfg.setU8(pcfg::EuroFormat, 0);

  w.ws.pcfg.setI16(pcfg::PartitionMinutes, 90);
  w.ws.pcfg.setI16(pcfg::WorkDayBegin, 800);
  w.ws.pcfg.setI16(pcfg::WorkDayEnd, 1730);
  EXPECT_EQ(ReturnTimeList(w.ws, w.ws.Today),
            (std::vector<std::string>{"2:00P", "3:30P", "5:00P", "6:30P"}));
  EXPECT_EQ(ReturnTimeList(w.ws, w.ws.Today + 1).front(), "8:00A");
  test::writeFile(w.dir / "RETURNTM.DAF", "9:00\r\n3:00P\r\nnonsense\r\n16:45\r\n");
  EXPECT_EQ(ReturnTimeList(w.ws, w.ws.Today), (std::vector<std::string>{"3:00P", "4:45P"}));
}

TEST(FormRules, SubjectNumberingAndPickLists) {
  EXPECT_EQ(NumberSubject("Budget"), "Budget {1}");
  EXPECT_EQ(NumberSubject("Budget {2}"), "Budget {3}");
  EXPECT_EQ(NumberSubject("Budget {x}"), "Budget {x}");
  EXPECT_EQ(NumberSubject(std::string(70, 'a')), std::string(48, 'a') + " {1}");
  FormWorld w;
  const auto items = PickListItems(w.ws, true);
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[1], "BOB: Bob Carter");
  EXPECT_EQ(items[5], "SAL: BOB,CLA,OLD...");
  EXPECT_EQ(items[6], "ALL: everyone");
  EXPECT_EQ(PickRecipient("", items[1], w.ws), "BOB");
  EXPECT_EQ(PickRecipient("BOB", items[2], w.ws), "BOB,CLA");
  EXPECT_EQ(PickRecipient("BOB,CLA", items[2], w.ws), "CLA");
  std::vector<std::string> former;
  EXPECT_EQ(PickRecipient("DAN", items[5], w.ws, &former), "BOB,CLA");  // OLD has left
  EXPECT_EQ(former, std::vector<std::string>{"OLD"});
  EXPECT_EQ(PickSender(items[3]), "DAN");
}

TEST(FormRules, RecipientsGroupsUnknownCodesAndManyCodes) {
  FormWorld w;
  BulBrdRcrd r;
  auto res = ResolveRecipients(w.ws, "bob, xyz", r);
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.badToken, "XYZ");

  res = ResolveRecipients(w.ws, "SAL", r);
  ASSERT_TRUE(res.ok);
  EXPECT_EQ(r.toList(1), "nul");
  EXPECT_EQ(r.toList(2), "BOB");
  EXPECT_EQ(r.toList(3), "CLA");
  EXPECT_EQ(RecipientText(r), "BOB,CLA");

  res = ResolveRecipients(w.ws, "ann,dan", r);
  EXPECT_EQ(r.toList(1), "ANN");
  EXPECT_EQ(r.toList(4), "DAN");
  EXPECT_TRUE(ResolveRecipients(w.ws, "all", r).everyone);

  std::string many;
  for (int i = 0; i < 60; ++i) many += std::string(i ? "," : "") + w.ws.mcfg.empInitials(1 + i % 5);
  res = ResolveRecipients(w.ws, many, r);
  EXPECT_TRUE(res.ok);
  EXPECT_EQ(RecipientText(r), "ANN,BOB,CLA,DAN,EVA");
  res = ResolveRecipients(w.ws, many + ",QQQ", r);
  EXPECT_FALSE(res.ok);
  EXPECT_EQ(res.badToken, "QQQ");
}

// What the user chose or typed is taken as meant.
TEST(FormRules, ChoicesAndTypedTextAreTakenAsMeant) {
  FormWorld w;
  EXPECT_EQ(PickRecipient(" all ", PickListItems(w.ws, true)[1], w.ws), "BOB");  // replaces ALL
  BulBrdRcrd r;
  EXPECT_TRUE(ResolveRecipients(w.ws, "BOB, bob.smith@example.com", r).ok);
  EXPECT_EQ(RecipientText(r), "BOB");
  EXPECT_FALSE(ResolveRecipients(w.ws, "ann@hall.example.com", r).everyone);
  EXPECT_EQ(r.toList(1), "nul");
  w.fake.clock.set(2026, 12, 7, 23, 0);  // midnight ends the day it is reached on
  const auto back = ApplyAbbreviation(w.ws, "Out<60>", w.ws.Today, true);
  EXPECT_EQ(back.returnDay, w.ws.Today);
  EXPECT_EQ(back.returnTime, "12:00A");
}

TEST(Form, SigningOutOneselfAndAnotherAndBackIn) {
  FormWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.ws.mcfg.setU8(mcfg::InOutLogShared, 1);
  auto form = FormWorld::show(w.ws, 1, 'N');
  EXPECT_TRUE(form->isNew());
  EXPECT_EQ(form->f.EmpOut, "ANN");
  EXPECT_EQ(form->f.focus, FormField::ReturnTime);
  form->f.ReturnTime = "4:30P";
  form->f.Location = "Dentist\r\nCall 555-1234 if urgent";
  form->OKbtnClick();
  ASSERT_TRUE(form->closed());
  BulBrdRcrd r = w.record("LOCATE.DAF", 1);
  EXPECT_EQ(r.who(), "ANN");
  EXPECT_EQ(r.headline(), "Dentist Call 555-1234 if urgent");
  EXPECT_EQ(r.returnDay(), w.ws.Today);
  EXPECT_EQ(r.returnAt(), 1630);
  EXPECT_EQ(r.closed(), 0);
  EXPECT_EQ(w.index("LOCATE.DAI", 1).Key, w.ws.Today);
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN" / "1.DA1"), "Dentist\r\nCall 555-1234 if urgent");

  // Another employee, chosen on the board.
  auto other = FormWorld::show(w.ws, 1, 'N', 0, 2);
  EXPECT_EQ(other->f.EmpOut, "BOB");
  other->f.ReturnTime = "5:00P";
  other->f.Location = "Client visit";
  other->OKbtnClick();
  r = w.record("LOCATE.DAF", 2);
  EXPECT_EQ(r.who(), "BOB");
  EXPECT_EQ(r.enteredBy(), "ANN");

  // Back in: the existing entry with its sign-in box ticked.
  auto back = FormWorld::show(w.ws, 1, 'E', 1);
  EXPECT_FALSE(back->isNew());
  EXPECT_TRUE(back->f.showDeleteBtn);
  EXPECT_EQ(back->f.Location, "Dentist\r\nCall 555-1234 if urgent");
  EXPECT_TRUE(back->f.showDial);
  EXPECT_EQ(back->dialNumber(), "5551234");
  back->f.DeleteBtn = true;
  back->OKbtnClick();
  r = w.record("LOCATE.DAF", 1);
  EXPECT_EQ(r.closed(), 1);
  EXPECT_EQ(r.returnDay(), 0);
  EXPECT_TRUE(w.index("LOCATE.DAI", 1).closed());

  const std::string journal = test::readFile(w.dir / "INOUT.DAF");
  EXPECT_NE(journal.find("  ANN    OUT    Back at: "), std::string::npos) << journal;
  EXPECT_NE(journal.find("    Dentist\r\n"), std::string::npos);
  EXPECT_NE(journal.find("  BOB    OUT"), std::string::npos);
  EXPECT_NE(journal.find("entered by ANN)"), std::string::npos);
  EXPECT_NE(journal.find("  ANN    IN\r\n"), std::string::npos) << journal;
}

// A destination over several lines is read whole on the board; its body
// file keeps the lines as typed.
TEST(Form, ADestinationTypedOverLinesHeadsTheEntryWhole) {
  const struct {
    const char* typed;
    const char* headline;
    const char* body;  // line ends as body files have them
  } cases[] = {
      {"Bank\nthen lunch", "Bank then lunch", "Bank\r\nthen lunch"},
      {"\nBank", "Bank", "\r\nBank"},
      {"Bank\r\n", "Bank", "Bank\r\n"},
      {"Bank\r\n\r\n  then lunch  \r\n", "Bank then lunch", "Bank\r\n\r\n  then lunch  \r\n"},
  };
  for (const auto& c : cases) {
    FormWorld w;
    auto form = FormWorld::show(w.ws, 1, 'N');
    form->f.ReturnTime = "4:30P";
    form->f.Location = c.typed;
    form->OKbtnClick();
    ASSERT_TRUE(form->closed()) << c.typed;
    EXPECT_EQ(w.record("LOCATE.DAF", 1).headline(), c.headline) << c.typed;
    EXPECT_EQ(test::readFile(w.dir / "BULLETIN" / "1.DA1"), c.body) << c.typed;
  }
}

// The arrival the program enters at start is the user's own: changed later
// in the form, its journal line names nobody else as its author.
TEST(Form, TheAutomaticArrivalIsEnteredByTheUser) {
  FormWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.ws.board.AutoSignInPending = true;
  ASSERT_TRUE(MorningSignIn(w.ws, 1));
  EXPECT_EQ(w.record("LOCATE.DAF", 1).enteredBy(), "ANN");
  auto form = FormWorld::show(w.ws, 1, 'E', 1);
  ASSERT_FALSE(form->isNew());
  form->f.ReturnTime = "5:00P";
  form->f.Location = "At the desk";
  form->OKbtnClick();
  ASSERT_TRUE(form->closed()) << w.fake.dialogs.allText();
  const std::string journal = test::readFile(w.dir / "INOUTANN.DAF");
  EXPECT_NE(journal.find("  ANN    OUT"), std::string::npos) << journal;
  EXPECT_EQ(journal.find("entered by"), std::string::npos) << journal;
}

TEST(Form, SigningOutChecksWhatWasTyped) {
  FormWorld w;
  auto form = FormWorld::show(w.ws, 1, 'N');
  form->f.ReturnTime = "";
  form->f.Location = "Out";
  form->OKbtnClick();
  EXPECT_FALSE(form->closed());
  EXPECT_EQ(form->f.focus, FormField::ReturnTime);
  form->f.ReturnTime = "3:00P";
  form->f.ReturnDate = FormatDay(w.ws, w.ws.Today - 1);
  form->OKbtnClick();
  EXPECT_EQ(form->f.focus, FormField::ReturnDate);
  form->f.ReturnDate = FormatDay(w.ws, w.ws.Today);
  form->f.EmpOut = "ZZ";
  form->OKbtnClick();
  EXPECT_EQ(form->f.focus, FormField::EmpOut);
  EXPECT_FALSE(form->closed());
  EXPECT_EQ(w.record("LOCATE.DAF", 1).closed(), 1);  // nothing written
  const std::string shown = w.fake.dialogs.allText();
  EXPECT_NE(shown.find("Please enter the return date and time."), std::string::npos);
  EXPECT_NE(shown.find("That return date is in the past."), std::string::npos);
  EXPECT_NE(shown.find("ZZ"), std::string::npos);
}

// A typed return date is a day to come: one without its year is the next
// such day, and a day gone by stops the save of a new entry and of an
// edited one alike (the next list pass would sign it in unseen).
TEST(Form, TypedReturnDatesAreDaysToComeAndAPastOneStopsTheSave) {
  struct Case {
    bool edit;
    const char* typed;
    int day;  // 0: stopped with "in the past"
    bool signingIn = false;
  };
  const Case cases[] = {
      {false, "12/5", Day(2027, 12, 5)},  {false, "12/8", Day(2026, 12, 8)},
      {false, "5 dec", Day(2027, 12, 5)}, {false, "5", Day(2027, 1, 5)},
      {false, "+2", Day(2026, 12, 9)},    {false, "12/31/26", Day(2026, 12, 31)},
      {false, "6 dec 26", 0},             {false, "-1", 0},
      {true, "12/5", Day(2027, 12, 5)},   {true, "6 dec 26", 0},
      {true, "12/06/26", 0},              {true, "6 dec 26", 0, true},
  };
  for (const Case& c : cases) {
    FormWorld w;
    w.fake.clock.set(2026, 12, 7, 10, 0);
    w.ws.Today = Day(2026, 12, 7);
    if (c.edit) w.putLocation(1, "Lunch", w.ws.Today + 1, 1300);
    auto form = FormWorld::show(w.ws, 1, c.edit ? 'E' : 'N', c.edit ? 1 : 0);
    ASSERT_EQ(form->isNew(), !c.edit);
    form->f.ReturnTime = "3:00P";
    form->f.Location = "Out";
    form->Enter(FormField::ReturnDate);
    form->f.ReturnDate = c.typed;
    form->f.DeleteBtn = c.signingIn;
    EXPECT_TRUE(form->Exit(FormField::ReturnDate)) << c.typed;
    form->OKbtnClick();
    const BulBrdRcrd r = w.record("LOCATE.DAF", 1);
    const std::string shown = w.fake.dialogs.allText();
    if (c.signingIn) {
      EXPECT_TRUE(form->closed()) << c.typed << ": coming back in needs no return date";
      EXPECT_EQ(r.closed(), 1);
    } else if (c.day != 0) {
      EXPECT_TRUE(form->closed()) << c.typed << "\n" << shown;
      EXPECT_EQ(r.returnDay(), c.day) << c.typed << " read as " << FormatDay(w.ws, r.returnDay());
    } else {
      EXPECT_FALSE(form->closed()) << c.typed << " saved as " << FormatDay(w.ws, r.returnDay());
      EXPECT_EQ(form->f.focus, FormField::ReturnDate) << c.typed;
      EXPECT_NE(shown.find("That return date is in the past."), std::string::npos) << c.typed;
      EXPECT_EQ(r.returnDay(), c.edit ? w.ws.Today + 1 : 0) << c.typed << ": nothing written";
    }
  }
}

TEST(Form, AnEntrySignedInStartsAfreshAndLosesItsOldText) {
  FormWorld w;
  w.putLocation(5, "Old trip", w.ws.Today + 3, 900, true);
  test::writeFile(w.dir / "BULLETIN" / "5.DA1", "Old trip");
  auto form = FormWorld::show(w.ws, 1, 'E', 5);
  EXPECT_TRUE(form->isNew());
  EXPECT_EQ(form->f.EmpOut, "EVA");
  EXPECT_EQ(form->f.ReturnDate, FormatDay(w.ws, w.ws.Today));
  EXPECT_EQ(form->f.Location, "");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "BULLETIN" / "5.DA1"));
}

TEST(Form, MessagesToOneAGroupAndEveryoneNotifyEachRecipientOnce) {
  FormWorld w;
  const int n = FormWorld::send(w.ws, "bob", "Budget", "Please check the figures.");
  ASSERT_EQ(n, 0);
  BulBrdRcrd r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.who(), "ANN");
  EXPECT_EQ(r.toList(1), "nul");
  EXPECT_EQ(r.toList(2), "BOB");
  EXPECT_EQ(r.headline(), "Budget");
  EXPECT_EQ(r.madeDay(), w.ws.Today);
  EXPECT_EQ(r.madeTime(), 900);
  EXPECT_EQ(w.timer("BOB"), std::to_string(w.ws.Today) + "M");
  EXPECT_EQ(w.timer("CLA"), "");
  EXPECT_EQ(FormWorld::send(w.ws, "BOB", "Again", "Second"), 1);
  EXPECT_EQ(w.timer("BOB"), std::to_string(w.ws.Today) + "M");  // exactly once

  const int g = FormWorld::send(w.ws, "SAL", "Sales meeting", "Room 4");
  r = w.record("MESSAGE.DAF", g);
  EXPECT_EQ(RecipientText(r), "BOB,CLA");
  EXPECT_EQ(w.timer("CLA"), std::to_string(w.ws.Today) + "M");
  EXPECT_EQ(w.timer("DAN"), "");

  const int all = FormWorld::send(w.ws, "ALL", "", "Cake in the kitchen");
  r = w.record("MESSAGE.DAF", all);
  EXPECT_EQ(r.toList(1), "");
  EXPECT_EQ(r.headline(), "Cake in the kitchen");
  EXPECT_EQ(w.timer("EVA"), std::to_string(w.ws.Today) + "M");
  EXPECT_EQ(w.timer("ANN"), "");
  EXPECT_EQ(FormWorld::show(w.ws, 0, 'E', all)->f.EmpIn, "ALL") << "an open message shows whom it went to";

  // No recipient: the save stops and asks for one; it never means everyone.
  EXPECT_EQ(FormWorld::send(w.ws, "", "Nobody", "x"), -1);
  EXPECT_EQ(w.fake.dialogs.dialogs.back().message, "No recipient was given. ");
}

TEST(Form, AnUnknownRecipientStopsTheSaveWithItsCode) {
  FormWorld w;
  auto form = FormWorld::show(w.ws, 0, 'N');
  form->f.EmpIn = "BOB, XYZ";
  form->f.Location = "Hello";
  form->OKbtnClick();
  EXPECT_FALSE(form->closed());
  EXPECT_EQ(form->f.focus, FormField::EmpIn);
  ASSERT_FALSE(w.fake.dialogs.dialogs.empty());
  EXPECT_EQ(w.fake.dialogs.dialogs.back().message, "There is no employee or group with the initials XYZ");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "MESSAGE.DAF"));
  EXPECT_EQ(w.timer("BOB"), "");
}

TEST(Form, ReadingOnAnotherWorkstationStampsAndMovesTheMessage) {
  FormWorld w;
  const int n = FormWorld::send(w.ws, "BOB", "Budget", "Please check.");
  auto bob = w.other("BOB");
  FormWorld::mode(*bob, 0);
  BuildBoardList(*bob);
  ASSERT_EQ(bob->board.BBSlist.size(), 1u);

  w.fake.clock.set(2026, 12, 7, 10, 15);
  auto form = FormWorld::show(*bob, 0, 'E', n);
  EXPECT_TRUE(form->f.ReadBtn);
  EXPECT_TRUE(form->f.showReadBtn);
  EXPECT_TRUE(form->f.locationReadOnly);
  EXPECT_EQ(form->f.EmpIn, "BOB");
  EXPECT_EQ(form->f.focus, FormField::CancelBtn);
  form->CancelBtnClick();  // addressed to him: saving records the reading
  ASSERT_TRUE(form->closed());
  const BulBrdRcrd r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.readTime(), 1015);
  EXPECT_EQ(r.readDay(), w.ws.Today);
  EXPECT_EQ(r.readMark(2), 1);
  BuildBoardList(*bob);
  EXPECT_TRUE(bob->board.BBSlist.empty());
  ASSERT_EQ(bob->board.BBSoldList.size(), 1u);

  // The sender sees when it was read.
  auto mine = FormWorld::show(w.ws, 0, 'E', n);
  EXPECT_TRUE(mine->f.showLabel2);
  EXPECT_EQ(mine->f.label2, "Read on 7 DEC 26 at 10:15A");
}

// A body that is there and cannot be read is a reported failure naming the
// file, never an empty text: the form shows none, writes none over it and
// does not count the message read; a body that is not there is no text.
TEST(Form, ABodyThatCannotBeReadIsAFailureNotAnEmptyText) {
  FormWorld w;
  struct Row {
    const char* what;
    bool missing;
    int err;  // of opening the body (0: opens)
    bool unreadable;
  };
  const Row rows[] = {{"refused", false, EACCES, true}, {"failing", false, EIO, true}, {"missing", true, 0, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const int n = FormWorld::send(w.ws, "BOB", "Budget", "Please check.");
    const auto body = BodyFilePath(w.ws, BoardSet::Messages, n);
    if (r.missing) std::filesystem::remove(body);
    const std::string before = r.missing ? std::string() : test::readFile(body);
    auto bob = w.other("BOB");
    test::RefusingFileOps refusing(body.filename().string(), r.err);
    if (r.err != 0) bob->files = &refusing;
    w.fake.dialogs.dialogs.clear();
    auto form = FormWorld::show(*bob, 0, 'E', n);
    EXPECT_EQ(form->bodyUnreadable(), r.unreadable);
    EXPECT_EQ(form->f.Location, "");
    EXPECT_TRUE(form->f.locationReadOnly);
    EXPECT_EQ(w.fake.dialogs.allText().find(body.string()) != std::string::npos, r.unreadable)
        << w.fake.dialogs.allText();
    form->CancelBtnClick();
    EXPECT_TRUE(form->closed());
    EXPECT_EQ(w.record("MESSAGE.DAF", n).readMark(2), r.unreadable ? 0 : 1) << "read only when its text was shown";
    EXPECT_EQ(std::filesystem::exists(body), !r.missing);
    if (!r.missing) EXPECT_EQ(test::readFile(body), before);
  }
}

// Two recipients open one message at once; each save keeps what the other
// stored meanwhile (his read mark, the first reading's time), leaves the
// sender's text as it is in its file, and does not reopen a message its
// sender closed.
TEST(Form, RecipientsReadingAtOnceKeepEachOthersMarks) {
  FormWorld w;
  const int n = FormWorld::send(w.ws, "SAL", "Budget", "Please check.");
  const auto body = BodyFilePath(w.ws, BoardSet::Messages, n);
  test::writeFile(body, "");
  auto bob = w.other("BOB");
  auto cla = w.other("CLA");
  w.fake.clock.set(2026, 12, 7, 10, 15);
  auto bobs = FormWorld::show(*bob, 0, 'E', n);
  auto clas = FormWorld::show(*cla, 0, 'E', n);
  test::writeFile(body, "Please check.");
  bobs->OKbtnClick();
  EXPECT_EQ(test::readFile(body), "Please check.");
  w.fake.clock.set(2026, 12, 7, 10, 20);
  clas->OKbtnClick();
  BulBrdRcrd r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.readMark(2), 1);
  EXPECT_EQ(r.readMark(3), 1);
  EXPECT_EQ(r.readTime(), 1015);

  auto again = FormWorld::show(*bob, 0, 'E', n);
  FormWorld::mode(w.ws, 0);
  BuildBoardList(w.ws);
  ASSERT_EQ(CloseEntry(w.ws, n, BoardSource::List), CloseResult::Closed);
  again->OKbtnClick();
  EXPECT_NE(w.record("MESSAGE.DAF", n).closed(), 0);
}

// An entry is the whole record (and the text) its user was shown: another
// workstation's change between the look and the save, even one that keeps
// sender, day and minute, is refused and said; another reader's mark or the
// employee's work clock is no change of the entry.
TEST(Form, TheSameEntryIsTheWholeRecordAsShown) {
  struct Case {
    const char* name;
    bool location;  // Ann edits Bob's sign-out; else Bob reads Ann's message
    bool fromLine;  // acted on from the board's line instead of an open form
    std::function<void(FormWorld&, Workstation& cla, int n)> meanwhile;
    bool refused;
  };
  auto resend = [](const char* subject, const char* text) {
    return [=](FormWorld& w, Workstation&, int n) {
      auto del = FormWorld::show(w.ws, 0, 'E', n);
      del->f.DeleteBtn = true;
      del->OKbtnClick();
      ASSERT_EQ(FormWorld::send(w.ws, "SAL", subject, text), n);  // the slot again, the same minute
    };
  };
  auto claSaves = [](const char* time, const char* text) {
    return [=](FormWorld&, Workstation& cla, int n) {
      auto form = FormWorld::show(cla, 1, 'E', n);
      if (*time) form->f.ReturnTime = time;
      if (*text) form->f.Location = text;
      form->OKbtnClick();
      ASSERT_TRUE(form->saved());
    };
  };
  auto claReads = [](FormWorld&, Workstation& cla, int n) { FormWorld::show(cla, 0, 'E', n)->CancelBtnClick(); };
  auto clockStarts = [](FormWorld&, Workstation& cla, int n) {
    FormWorld::mode(cla, 1);
    ReadBoardRecord(cla, n, "TEST");
    cla.board.RecordBuffer.setClockStart(36000);
    cla.board.KeepIndexFlags = 0;
    WriteBoardRecord(cla, n, "TEST");
    cla.board.KeepIndexFlags = -1;
  };
  const Case cases[] = {
      {"message sent again, new subject", false, false, resend("Budget (corrected)", "v2"), true},
      {"message sent again, new text only", false, false, resend("Budget", "v2"), true},
      {"message sent again, seen on a line", false, true, resend("Budget (corrected)", "v2"), true},
      {"another recipient read it", false, false, claReads, false},
      {"another recipient read it, seen on a line", false, true, claReads, false},
      {"sign-out moved to 12:00", true, false, claSaves("12:00P", ""), true},
      {"sign-out's second line changed", true, false, claSaves("", "Meeting\r\nRoom 9"), true},
      {"sign-out moved, seen on a line", true, true, claSaves("12:00P", ""), true},
      {"the work clock started", true, false, clockStarts, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FormWorld w;
    w.fake.clock.set(2026, 12, 7, 10, 15);
    auto bob = w.other("BOB");
    auto cla = w.other("CLA");
    int n = 2;
    if (c.location) {
      w.putLocation(2, "Meeting", w.ws.Today, 1100);
      test::writeFile(BodyFilePath(w.ws, BoardSet::Locations, 2), "Meeting\r\nRoom 4");
    } else {
      n = FormWorld::send(w.ws, "SAL", "Budget", "v1");
    }
    Workstation& opener = c.location ? w.ws : *bob;
    std::unique_ptr<EgressoForm> form;
    if (c.fromLine) {
      FormWorld::mode(opener, c.location ? 1 : 0);
      BuildBoardList(opener);
    } else {
      form = FormWorld::show(opener, c.location ? 1 : 0, 'E', n);
    }
    c.meanwhile(w, *cla, n);
    w.fake.dialogs.dialogs.clear();
    bool done;
    if (c.fromLine && c.location) {
      done = CloseEntry(opener, n, BoardSource::OutButton, ListedEntry(opener, n)) == CloseResult::Closed;
    } else if (c.fromLine) {
      done = ListDragDrop(opener, n, true) == CommandResult::Done;
    } else {
      // Bob's Cancel records his reading; Ann's OK her change.
      if (c.location) {
        form->f.Location = "Lunch";
        form->OKbtnClick();
      } else {
        form->CancelBtnClick();
      }
      done = form->saved();
    }
    EXPECT_EQ(done, !c.refused);
    EXPECT_EQ(w.fake.dialogs.allText().find("changed or removed") != std::string::npos, c.refused);
    if (c.location) {
      EXPECT_EQ(w.record("LOCATE.DAF", 2).headline() == "Lunch" || w.record("LOCATE.DAF", 2).closed(), !c.refused);
    } else {
      EXPECT_EQ(w.record("MESSAGE.DAF", n).readMark(2) != 0, !c.refused);
    }
  }
}

TEST(Form, ReplyNumbersTheSubjectAndForwardQuotesTheText) {
  FormWorld w;
  const int n = FormWorld::send(w.ws, "BOB", "Budget {2}", "Line one\r\nLine two");
  auto bob = w.other("BOB");
  auto form = FormWorld::show(*bob, 0, 'E', n);
  form->FwdRplyBtnClick(ReplyKind::ReplyMenu, "Line two");
  ASSERT_TRUE(form->closed());
  EXPECT_TRUE(bob->form.ReplyPending);

  auto reply = FormWorld::show(*bob, 0, 'N');
  EXPECT_EQ(reply->f.caption, "Reply");
  EXPECT_EQ(reply->f.EmpOut, "BOB");
  EXPECT_EQ(reply->f.EmpIn, "ANN");
  EXPECT_EQ(reply->f.ReturnTime, "Budget {3}");
  EXPECT_EQ(reply->f.Location, "On 7 DEC 26 at 9:00A, you wrote: \r\n\r\n<<\r\nLine two\r\n>>\r\n\r\n");
  EXPECT_EQ(reply->f.focus, FormField::Location);
  EXPECT_FALSE(bob->form.ReplyPending);
  reply->f.Location = "Done.\r\n" + reply->f.Location;
  reply->OKbtnClick();
  ASSERT_TRUE(reply->closed());
  EXPECT_EQ(w.record("MESSAGE.DAF", reply->recordNumber()).toList(1), "ANN");
  EXPECT_EQ(w.timer("ANN"), std::to_string(w.ws.Today) + "M");

  // The speed button keeps the subject; without a selection nothing is quoted.
  auto again = FormWorld::show(*bob, 0, 'E', n);
  again->FwdRplyBtnClick(ReplyKind::ReplyButton, "");
  EXPECT_EQ(bob->form.CarrySubject, "Budget {2}");
  EXPECT_EQ(bob->form.CarryHeader, "");
  bob->form.ReplyPending = false;  // the board would open the reply now

  auto fwd = FormWorld::show(*bob, 0, 'E', n);
  fwd->FwdRplyBtnClick(ReplyKind::Forward, "");
  auto forward = FormWorld::show(*bob, 0, 'N');
  EXPECT_EQ(forward->f.caption, "Forward");
  EXPECT_EQ(forward->f.focus, FormField::EmpIn);
  EXPECT_EQ(forward->f.Location,
            "On 7 DEC 26 at 9:00A, Ann Baker wrote to BOB: \r\n\r\n<<\r\nLine one\r\nLine two\r\n>>\r\n\r\n");
  // Saved at once, a forward reaches nobody: it waits for a recipient.
  EXPECT_EQ(forward->f.EmpIn, "");
  const int written = static_cast<int>(std::filesystem::file_size(w.dir / "MESSAGE.DAF") / brd::Size);
  forward->OKbtnClick();
  EXPECT_FALSE(forward->closed());
  EXPECT_EQ(forward->f.focus, FormField::EmpIn);
  EXPECT_EQ(std::filesystem::file_size(w.dir / "MESSAGE.DAF") / brd::Size, static_cast<std::uintmax_t>(written));
  EXPECT_EQ(FormWorld::show(w.ws, 0, 'N')->f.EmpIn, "") << "a new message too";
}

TEST(Form, DeletingAsSenderArchivesAndAsRecipientTags) {
  FormWorld w;
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  const int n = FormWorld::send(w.ws, "BOB,CLA", "Old news", "Gone soon");
  auto bob = w.other("BOB");
  auto tag = FormWorld::show(*bob, 0, 'E', n);
  tag->f.DeleteBtn = true;
  tag->OKbtnClick();
  BulBrdRcrd r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.readMark(2), 3);
  EXPECT_EQ(r.closed(), 0);

  auto del = FormWorld::show(w.ws, 0, 'E', n);
  EXPECT_TRUE(del->f.showDeleteBtn);
  del->f.DeleteBtn = true;
  del->OKbtnClick();
  EXPECT_TRUE(w.index("MESSAGE.DAI", n).closed());
  const BulBrdRcrd a = w.record("MESSARC.DAF", 0);
  EXPECT_EQ(a.headline(), "Old news");
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN" / "0.DA2"), "Gone soon");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "BULLETIN" / "0.DA0"));

  // The archive is read-only, also for a recipient who cancels.
  const std::string before = test::readFile(w.dir / "MESSARC.DAF");
  FormWorld::request(*bob, 0, 'E', 0);
  FormWorld::mode(*bob, 0, true);
  EgressoForm old(*bob);
  old.FormShow();
  EXPECT_EQ(old.f.Location, "Gone soon");
  EXPECT_FALSE(old.f.showDeleteBtn);
  old.CancelBtnClick();
  EXPECT_TRUE(old.closed());
  EXPECT_EQ(test::readFile(w.dir / "MESSARC.DAF"), before);
}

TEST(Form, BadInputIsCleanedOrRefusedNeverHalfWritten) {
  FormWorld w;
  // Over-long subject, control characters, a 10,000-line body.
  std::string body;
  for (int i = 0; i < 10000; ++i) body += "Line " + std::to_string(i) + "\r\n";
  const int n = FormWorld::send(w.ws, "BOB", std::string("Bad\x01\x1b subject ") + std::string(200, 'x'),
                                std::string("Bell\x07 and nul") + std::string(1, '\0') + "\r\n" + body);
  ASSERT_GE(n, 0);
  const BulBrdRcrd r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.headline().size(), 60u);
  EXPECT_EQ(r.headline().substr(0, 14), "Bad   subject ");
  const std::string stored = test::readFile(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"));
  EXPECT_EQ(stored, "Bell and nul\r\n" + body);
  for (const auto& e : std::filesystem::directory_iterator(w.dir / "BULLETIN"))
    EXPECT_EQ(e.path().extension(), ".DA0") << e.path();  // no temporary file left

  // A body file that is not text: shown without the bytes that cannot be, with a word.
  test::writeFile(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"), std::string("ok\0\x01\xff\xfe tail", 11));
  w.fake.dialogs.dialogs.clear();
  auto form = FormWorld::show(w.ws, 0, 'E', n);
  EXPECT_EQ(form->f.Location, "ok\xff\xfe tail");
  EXPECT_EQ(w.fake.dialogs.dialogs.size(), 1u);

  // A body too long to show: its beginning, read-only, and the file is
  // never shortened by saving.
  const std::string huge(5u << 20, 'z');
  test::writeFile(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0"), huge);
  auto bob = w.other("BOB");
  auto big = FormWorld::show(*bob, 0, 'E', n);
  EXPECT_TRUE(big->f.locationReadOnly);
  EXPECT_LT(big->f.Location.size(), huge.size());
  big->CancelBtnClick();  // addressed to Bob: saved to record the reading
  EXPECT_TRUE(big->closed());
  EXPECT_NE(w.record("MESSAGE.DAF", n).readTime(), 0);
  EXPECT_EQ(std::filesystem::file_size(w.dir / "BULLETIN" / (std::to_string(n) + ".DA0")), huge.size());
}

TEST(Form, AWorkClockAndAnEmployeeListChangedMeanwhile) {
  FormWorld w;
  // Ann's record carries a running work clock while she is in.
  FormWorld::mode(w.ws, 1);
  BulBrdRcrd& buf = w.ws.board.RecordBuffer;
  buf.clear();
  buf.setWho("ANN");
  buf.setClosed(1);
  buf.setClockStart(30000);
  buf.setClockDay(w.ws.Today);
  buf.setClockEntry(7);
  WriteBoardRecord(w.ws, 1, "TEST");
  auto form = FormWorld::show(w.ws, 1, 'N');
  form->f.ReturnTime = "3:00P";
  form->f.Location = "Bank";
  form->OKbtnClick();
  BulBrdRcrd r = w.record("LOCATE.DAF", 1);
  EXPECT_EQ(r.headline(), "Bank");
  EXPECT_EQ(r.clockStart(), 30000);
  EXPECT_EQ(r.clockEntry(), 7);

  // The board re-read the employee table while Bob's form was open: the
  // slots may have moved, so nothing is written and the user is told.
  auto bob = FormWorld::show(w.ws, 1, 'N', 0, 2);
  bob->f.ReturnTime = "4:00P";
  bob->f.Location = "Dentist";
  w.ws.board.EmployeeTablesReloaded = true;
  bob->OKbtnClick();
  EXPECT_TRUE(bob->closed());
  EXPECT_EQ(w.record("LOCATE.DAF", 2).closed(), 1);
  EXPECT_NE(w.fake.dialogs.allText().find("changed the employee list"), std::string::npos);
}

// A save changes its own entry and what it stands for: a work clock stays
// in its employee's entry, an unreadable time is said, an answer marks read.
TEST(Form, ASaveLeavesOtherEntriesTheirOwn) {
  FormWorld w;
  FormWorld::mode(w.ws, 1);
  for (int slot : {1, 2}) {
    w.ws.board.RecordBuffer.clear();
    w.ws.board.RecordBuffer.setWho(w.ws.mcfg.empInitials(slot));
    w.ws.board.RecordBuffer.setClockDay(w.ws.Today);
    w.ws.board.RecordBuffer.setClockStart(slot * 10000);
    WriteBoardRecord(w.ws, slot, "TEST");
  }
  auto form = FormWorld::show(w.ws, 1, 'N');  // Ann's own, turned to Bob
  form->Enter(FormField::ReturnTime);
  form->f.ReturnTime = "xyz";
  EXPECT_FALSE(form->Exit(FormField::ReturnTime));
  EXPECT_NE(w.fake.dialogs.allText().find("\"xyz\" is not a time."), std::string::npos);
  form->f.EmpOut = "BOB";
  form->f.ReturnTime = "3:00P";
  form->f.Location = "Bank";
  form->OKbtnClick();
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Bank");
  for (int slot : {1, 2}) EXPECT_EQ(w.record("LOCATE.DAF", slot).clockStart(), slot * 10000) << slot;

  const int n = FormWorld::send(w.ws, "BOB", "Lunch?", "Lunch at one? Call 555-12");
  auto bob = w.other("BOB");
  auto opened = FormWorld::show(*bob, 0, 'E', n);
  EXPECT_TRUE(opened->f.showDial && opened->NumberToDial().empty());  // too short: shown, refused
  opened->FwdRplyBtnClick(ReplyKind::Forward, "");
  auto answer = FormWorld::show(*bob, 0, 'N');
  answer->f.EmpIn = "ANN";
  answer->OKbtnClick();
  EXPECT_EQ(w.record("MESSAGE.DAF", n).readMark(2) & 1, 1);
}

// The form's requests are fixed codes: however the texts of the new and the
// open command are translated, a new message never opens an old one.
TEST(Form, TranslatedCommandTextsNeverTurnANewMessageIntoAnOldOne) {
  for (const auto& [newText, openText] : {std::pair{"Neu", "Neu"}, std::pair{"Edit", "New"}, std::pair{"", ""}}) {
    FormWorld w;
    w.ws.notices.lines[261 - 1] = newText;
    w.ws.notices.lines[262 - 1] = openText;
    ASSERT_EQ(FormWorld::send(w.ws, "BOB", "First", "one"), 0) << newText << "/" << openText;
    ASSERT_EQ(FormWorld::send(w.ws, "BOB", "Second", "two"), 1) << newText << "/" << openText;
    EXPECT_EQ(test::readFile(w.dir / "BULLETIN/0.DA0"), "one");
    EXPECT_EQ(NewEntryLetter(w.ws), kNewRecordCommand);
    EXPECT_EQ(ExistingEntryLetter(w.ws), kOpenRecordCommand);
  }
}

TEST(Form, CancellingAskedOnlyForChanges) {
  FormWorld w;
  auto plain = FormWorld::show(w.ws, 0, 'N');
  plain->CancelBtnClick();
  EXPECT_TRUE(plain->closed());
  EXPECT_EQ(w.ws.form.FormCommand, 26);
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty());

  // Picked a recipient but typed nothing: asked; "No" keeps the form open
  // with what was picked.
  auto picked = FormWorld::show(w.ws, 0, 'N');
  picked->EmployeeInClick(1);
  w.fake.dialogs.answers = {2};
  picked->CancelBtnClick();
  EXPECT_FALSE(picked->closed());
  EXPECT_FALSE(picked->f.EmpIn.empty());
  EXPECT_EQ(w.ws.form.FormCommand, 'N');
  ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(w.fake.dialogs.dialogs[0].message, "Close without saving your changes?");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "MESSAGE.DAF"));

  // Esc in a modified text box offers the text it had when entered.
  auto typed = FormWorld::show(w.ws, 0, 'N');
  typed->f.Location = "First draft";
  typed->Enter(FormField::Location);
  typed->f.Location = "Something else";
  w.fake.dialogs.answers = {1};
  EXPECT_TRUE(typed->Escape(FormField::Location, true));
  EXPECT_EQ(typed->f.Location, "First draft");
  EXPECT_FALSE(typed->closed());
}

// Cancel saves nothing the user typed: of a message to the user it records
// the reading alone, typed text goes only when the user says so, and a save
// that failed leaves the form open with its text.
TEST(Form, CancelIsNoSaveAndTypedTextIsKept) {
  FormWorld w;
  const int n = FormWorld::send(w.ws, "ALL", "Budget", "v1");
  for (const char* who : {"BOB", "CLA"}) std::filesystem::remove(w.dir / (std::string("TIMER.") + who));
  struct Case {
    const char* name;
    const char* subject;  // typed over the subject ("" none)
    std::vector<int> answers;
    bool closed;
  };
  const Case cases[] = {
      {"opened and cancelled", "", {}, true},
      {"edited, kept on No", "Budget (new)", {2}, false},
      {"edited, discarded on Yes", "Budget (new)", {1}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.fake.dialogs.dialogs.clear();
    w.fake.dialogs.answers = {c.answers.begin(), c.answers.end()};
    auto own = FormWorld::show(w.ws, 0, 'E', n);
    EXPECT_FALSE(own->f.empInEnabled);  // the recipients are those it went to
    if (*c.subject) {
      own->f.ReturnTime = c.subject;
      own->f.Location = "v2";
      own->Typed();
    }
    own->CancelBtnClick();
    EXPECT_EQ(own->closed(), c.closed);
    EXPECT_EQ(w.fake.dialogs.dialogs.size(), c.answers.size());
    if (!c.closed) EXPECT_EQ(own->f.ReturnTime, c.subject);
    EXPECT_EQ(w.record("MESSAGE.DAF", n).headline(), "Budget");
    EXPECT_EQ(test::readFile(BodyFilePath(w.ws, BoardSet::Messages, n)), "v1");
    EXPECT_EQ(w.timer("BOB") + w.timer("CLA"), "");  // nobody told again
  }

  // A save the folder refused (the text alone, or everything, as on a
  // read-only share) keeps the form and its text; the next one goes to the
  // same message.
  for (const unsigned refused : {unsigned{test::FaultyFileOps::Rename}, unsigned{test::FaultyFileOps::Changes}}) {
    SCOPED_TRACE(refused);
    test::FaultyFileOps faulty;
    faulty.arm(1, EACCES, refused, true);
    auto fresh = FormWorld::show(w.ws, 0, 'N');
    fresh->f.EmpIn = "BOB";
    fresh->f.Location = "Typed with care";
    w.ws.files = &faulty;
    fresh->OKbtnClick();
    w.ws.files = &PosixFileOps();
    EXPECT_GT(faulty.faults, 0);
    ASSERT_FALSE(fresh->closed());
    EXPECT_EQ(fresh->f.Location, "Typed with care");
    fresh->OKbtnClick();
    ASSERT_TRUE(fresh->closed());
    EXPECT_EQ(test::readFile(BodyFilePath(w.ws, BoardSet::Messages, fresh->recordNumber())), "Typed with care");
    EXPECT_EQ(NextMessageNumber(w.ws), fresh->recordNumber() + 1);
  }

  // Esc in the return time: what was typed comes back; with nothing to
  // restore, the form cancels.
  auto out = FormWorld::show(w.ws, 1, 'N');
  out->Enter(FormField::ReturnTime);
  const std::string shown = out->f.ReturnTime;
  out->f.ReturnTime = "5:00P";
  EXPECT_TRUE(out->Escape(FormField::ReturnTime, false));
  EXPECT_EQ(out->f.ReturnTime, shown);
  EXPECT_FALSE(out->Escape(FormField::ReturnTime, false));
  EXPECT_TRUE(out->closed());
}

TEST(Form, NotifyAllPutsALetterForEveryoneElse) {
  FormWorld w;
  w.ws.options.NotifyAll = true;
  auto form = FormWorld::show(w.ws, 1, 'N');
  form->f.ReturnTime = "3:00P";
  form->f.Location = "Bank";
  form->OKbtnClick();
  for (const char* who : {"BOB", "CLA", "DAN", "EVA"}) EXPECT_EQ(w.timer(who), std::to_string(w.ws.Today) + "A");
  EXPECT_EQ(w.timer("ANN"), "");
  // A full notification record keeps its letters: the day number gives way.
  test::writeFile(w.dir / "TIMER.BOB", std::string("\x0a" "1234567ABC"));
  EXPECT_EQ(PostNotification(w.ws, "BOB", 'M'), 0);
  EXPECT_EQ(w.timer("BOB"), "234567ABCM");
}

}  // namespace
}  // namespace egresso
