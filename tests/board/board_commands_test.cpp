#include "board/board_commands.h"

#include <gtest/gtest.h>

#include "board/board_lines.h"
#include "board/board_world.h"
#include "board/refresh.h"
#include "core/waiting.h"
#include "storage/locks.h"

namespace egresso {
namespace {

using test::BoardWorld;

// The forms the board opened: letter and record of each.
struct FormLog {
  std::vector<std::pair<char, int>> opened;
  int followUps = 0;  // how often the form asks to be opened again
  BoardHooks hooks() {
    BoardHooks h;
    h.openForm = [this](char letter, int record) {
      opened.emplace_back(letter, record);
      return followUps-- > 0;
    };
    return h;
  }
};

struct Board : BoardWorld {
  FormLog forms;
  Board() {
    notice(261, "New");
    notice(262, "Edit");
    notice(407, "Yes");
    notice(408, "No");
    notice(1457, "Change this person's entry?");
    notice(1458, "Sign this person out?");
    allIn();
    putLocation(2, "Bank", ws.Today, 1500);  // BOB is out
    mode(1);
  }
  BoardIndexEntry loc(int slot) const { return index("LOCATE.DAI", slot); }
  void markStale(int slot) {
    BoardIndexEntry e = loc(slot);
    e.Flags |= BoardIndexEntry::StaleBit;
    std::array<std::uint8_t, brd::IndexSize> b{};
    e.encode(b);
    RecordFile f;
    ASSERT_EQ(f.open(path("LOCATE.DAI"), brd::IndexSize, RecordFile::Mode::ReadWrite, PosixFileOps()), io::Ok);
    f.write(slot, b);
  }
};

TEST(OutCommand, AnotherEmployeesEntryIsConfirmedFirstUnlessTheStationIsShared) {
  Board b;
  b.fake.dialogs.answers = {2};
  EXPECT_EQ(OutCommand(b.ws, 2, 0, b.forms.hooks()), CommandResult::Cancelled);
  ASSERT_EQ(b.fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(b.fake.dialogs.dialogs[0].message, "Change this person's entry?\r\nBob Carter (BOB)")
      << "BOB is out: his key is today";
  EXPECT_EQ(b.fake.dialogs.dialogs[0].defaultButton, 2);
  EXPECT_FALSE(b.loc(2).closed()) << "the second button changes nothing";

  // Somebody who is in: the form opens for his record with the letter of an existing entry.
  b.fake.dialogs.answers = {1};
  EXPECT_EQ(OutCommand(b.ws, 3, 0, b.forms.hooks()), CommandResult::Done);
  EXPECT_EQ(b.fake.dialogs.dialogs.back().message, "Sign this person out?\r\nClaire Dumont (CLA)");
  ASSERT_EQ(b.forms.opened.size(), 1u);
  EXPECT_EQ(b.forms.opened[0], std::make_pair('E', 3));

  // One's own entry: no question, the letter of a new entry.
  const auto asked = b.fake.dialogs.dialogs.size();
  OutCommand(b.ws, -1, 0, b.forms.hooks());
  EXPECT_EQ(b.forms.opened.back(), std::make_pair('N', 1));
  EXPECT_EQ(b.fake.dialogs.dialogs.size(), asked);

  // A shared station never asks; somebody who is out is signed back in.
  b.ws.options.QuietBoard = true;
  EXPECT_EQ(OutCommand(b.ws, 2, 0, b.forms.hooks()), CommandResult::Done);
  EXPECT_EQ(b.fake.dialogs.dialogs.size(), asked);
  EXPECT_TRUE(b.loc(2).closed());
  EXPECT_EQ(b.forms.opened.size(), 2u);
}

TEST(OutCommand, AStaleLineIsSignedInWithoutTheForm) {
  Board b;
  b.markStale(2);
  b.ws.options.QuietBoard = true;
  BuildBoardList(b.ws);
  bool marked = false;
  for (const auto& l : b.lines()) marked = marked || (RecordNumberOfLine(l) == 2 && LineIsStale(l));
  ASSERT_TRUE(marked);

  EXPECT_EQ(OutCommand(b.ws, 2, 0, b.forms.hooks()), CommandResult::Done);
  EXPECT_TRUE(b.forms.opened.empty());
  EXPECT_TRUE(b.loc(2).closed());
  EXPECT_FALSE(b.loc(2).stale());
  EXPECT_TRUE(b.record("LOCATE.DAF", 2).headline().empty());

  // Opening a stale line signs it in, then opens it.
  b.markStale(4);
  EXPECT_EQ(OpenEntry(b.ws, 4, true, false, false, b.forms.hooks()), CommandResult::Done);
  EXPECT_FALSE(b.loc(4).stale());
  EXPECT_EQ(b.forms.opened.back(), std::make_pair('E', 4));
}

TEST(OutCommand, NothingStartsWhileAnotherCommandWaits) {
  Board b;
  WaitScope waiting(b.ws);
  EXPECT_EQ(OutCommand(b.ws, 2, 0, b.forms.hooks()), CommandResult::NotRun);
  EXPECT_EQ(OpenEntry(b.ws, 2, false, false, true, b.forms.hooks()), CommandResult::NotRun);
  EXPECT_FALSE(b.loc(2).closed());
}

TEST(OpenEntry, TheFormOpensAgainForEveryReplyAndTheDeleteKeyClosesTheLine) {
  Board b;
  b.mode(0);
  const int m1 = b.putMessage({"BOB", {"ANN"}, "First", b.ws.Today, 900, {}});
  const int m2 = b.putMessage({"CLA", {"ANN"}, "Second", b.ws.Today, 1000, {}});
  const int m3 = b.putMessage({"DAN", {"ANN"}, "Third", b.ws.Today, 1100, {}});
  BuildBoardList(b.ws);
  ASSERT_EQ(b.lines().size(), 3u);

  b.forms.followUps = 2;
  EXPECT_EQ(OpenEntry(b.ws, m1, false, false, false, b.forms.hooks()), CommandResult::Done);
  ASSERT_EQ(b.forms.opened.size(), 3u);
  EXPECT_EQ(b.forms.opened[0], std::make_pair('E', m1));
  EXPECT_EQ(b.forms.opened[2], std::make_pair('N', 0));
  EXPECT_TRUE(b.fake.dialogs.dialogs.empty()) << "messages are opened without a question";

  // The Delete key on the middle line (oldest first: First, Second, Third).
  int next = -1;
  EXPECT_EQ(OpenEntry(b.ws, m2, false, false, true, b.forms.hooks(), &next), CommandResult::Done);
  ASSERT_EQ(b.lines().size(), 2u);
  EXPECT_EQ(next, 1);
  EXPECT_EQ(RecordNumberOfLine(b.lines()[static_cast<std::size_t>(next)]), m3);
  EXPECT_EQ(b.record("MESSAGE.DAF", m2).readMark(1), 2) << "tagged for deletion by ANN";
  // The last line: the one before it is selected.
  OpenEntry(b.ws, m3, false, false, true, b.forms.hooks(), &next);
  EXPECT_EQ(next, 0);
}

TEST(OpenEntry, TheDeleteKeyOnTheBoardSignsInAndKeepsTheLineWhenEveryEntryIsShown) {
  Board b;
  b.ws.options.QuietBoard = true;
  BuildBoardList(b.ws);
  int next = -1;
  EXPECT_EQ(OpenEntry(b.ws, 2, false, false, true, b.forms.hooks(), &next), CommandResult::Done);
  EXPECT_TRUE(b.loc(2).closed());
  ASSERT_GE(next, 0);
  EXPECT_EQ(RecordNumberOfLine(b.lines()[static_cast<std::size_t>(next)]), 2);
  EXPECT_TRUE(b.forms.opened.empty());
}

TEST(DragDrop, OntoTheButtonsAndBetweenTheMessageLists) {
  Board b;
  // Out button: an employee who is out comes back in; one who is in gets the form.
  b.fake.dialogs.answers = {1, 1};
  b.ws.board.SelectedRecord = 2;
  EXPECT_EQ(OutBtnDragDrop(b.ws, 2, false, b.forms.hooks()), CommandResult::Done);
  EXPECT_TRUE(b.loc(2).closed());
  EXPECT_EQ(b.ws.board.SelectedRecord, -1);
  EXPECT_EQ(OutBtnDragDrop(b.ws, 3, false, b.forms.hooks()), CommandResult::Done);
  EXPECT_EQ(b.forms.opened.back(), std::make_pair('E', 3));
  b.fake.dialogs.answers = {2};
  EXPECT_EQ(OutBtnDragDrop(b.ws, 4, false, b.forms.hooks()), CommandResult::Cancelled);
  EXPECT_EQ(b.forms.opened.size(), 1u);

  b.mode(0);
  const int unread = b.putMessage({"BOB", {"ANN"}, "Unread", b.ws.Today, 900, {}});
  const int read = b.putMessage({"CLA", {"ANN"}, "Read", b.ws.Today, 1000, {{"ANN", 1}}});
  const int mine = b.putMessage({"ANN", {"BOB"}, "Mine", b.ws.Today, 1100, {}});
  BuildBoardList(b.ws);
  ASSERT_EQ(b.lines().size(), 1u);
  ASSERT_EQ(b.lines(true).size(), 2u);

  // New list onto the old list: read; and back: unread again.
  EXPECT_EQ(ListDragDrop(b.ws, unread, true), CommandResult::Done);
  EXPECT_EQ(b.lines().size(), 0u);
  EXPECT_EQ(b.lines(true).size(), 3u);
  EXPECT_EQ(ListDragDrop(b.ws, read, false), CommandResult::Done);
  EXPECT_EQ(ListDragDrop(b.ws, read, false), CommandResult::Done);
  EXPECT_EQ(b.record("MESSAGE.DAF", read).readMark(1), 0) << "an unread mark does not wrap round";
  EXPECT_EQ(b.lines().size(), 1u);
  EXPECT_EQ(ListDragDrop(b.ws, 999, true), CommandResult::Busy) << "a record the file does not hold";

  // Delete button: the sender's own message is closed (and goes to the tagged view).
  EXPECT_EQ(DelBtnDragDrop(b.ws, mine, BoardSource::OldList), CommandResult::Done);
  EXPECT_TRUE(b.index("MESSAGE.DAI", mine).closed());
  ToggleTaggedView(b.ws);
  ASSERT_EQ(b.lines(true).size(), 1u);
  EXPECT_EQ(RecordNumberOfLine(b.lines(true)[0]), mine);
  ToggleTaggedView(b.ws);
  ASSERT_EQ(b.lines(true).size(), 1u);
  EXPECT_EQ(RecordNumberOfLine(b.lines(true)[0]), unread);
}

TEST(Keys, WhatEachKeyDoesWhereItIsPressed) {
  Board b;
  b.notice(610, "New message: Ctrl+N");
  b.notice(611, "Sign yourself in or out: Ctrl+S");
  b.notice(720, "&Print Detail");
  auto act = [&](int code, bool ctrl, bool alt, KeyPlace place, int selected = 1) {
    return KeyDownAction(b.ws, KeyPress{code, ctrl, alt, place, selected});
  };
  EXPECT_EQ(act(key::Enter, false, false, KeyPlace::List), KeyAction::OpenLine);
  EXPECT_EQ(act(key::Enter, false, false, KeyPlace::List, 0), KeyAction::None);
  EXPECT_EQ(act(key::Enter, false, false, KeyPlace::WhoEdit), KeyAction::WhoNext);
  EXPECT_EQ(act(key::Delete, false, false, KeyPlace::List), KeyAction::DeleteLine);
  EXPECT_EQ(act(key::Delete, false, false, KeyPlace::Button), KeyAction::None);
  EXPECT_EQ(act('A', true, false, KeyPlace::List), KeyAction::ShowEveryEntry);
  EXPECT_EQ(act('A', false, true, KeyPlace::List), KeyAction::ShowBlankEntries);
  EXPECT_EQ(act('S', true, false, KeyPlace::Window), KeyAction::OwnEntry);
  EXPECT_EQ(act('P', true, false, KeyPlace::List), KeyAction::PrintDetail);
  EXPECT_EQ(act('W', true, false, KeyPlace::Window), KeyAction::None) << "work clock off";
  b.ws.options.WorkClock = true;
  EXPECT_EQ(act('T', true, false, KeyPlace::Window), KeyAction::WorkClock);
  EXPECT_EQ(act('N', false, false, KeyPlace::Button), KeyAction::Out);
  EXPECT_EQ(act('N', false, false, KeyPlace::List), KeyAction::None) << "typing in a list";
  EXPECT_EQ(act(key::Escape, false, false, KeyPlace::Window), KeyAction::None);
  b.ws.board.MemoEnlarged = true;
  EXPECT_EQ(act(key::Escape, false, false, KeyPlace::Memo), KeyAction::SaveMemo);
  // Ctrl keys typed into the memo or the Who edit are the text's own.
  EXPECT_EQ(act('S', true, false, KeyPlace::Memo), KeyAction::None) << "Ctrl+S in the memo";
  EXPECT_EQ(act('C', true, false, KeyPlace::Memo), KeyAction::None) << "Ctrl+C copies the memo's text";
  EXPECT_EQ(act('A', true, false, KeyPlace::WhoEdit), KeyAction::None) << "Ctrl+A selects the typed name";
  EXPECT_EQ(act('C', true, false, KeyPlace::List), KeyAction::WorkClock);

  // A shared station: letters and digits open the "Who are you?" box.
  b.ws.options.QuietBoard = true;
  EXPECT_EQ(act('B', false, false, KeyPlace::List), KeyAction::WhoBox);
  EXPECT_EQ(act('7', false, false, KeyPlace::Window), KeyAction::WhoBox);
  EXPECT_EQ(act('B', false, false, KeyPlace::WhoEdit), KeyAction::None);
  EXPECT_EQ(act('A', true, false, KeyPlace::List), KeyAction::ShowEveryEntry);

  b.mode(0);
  EXPECT_EQ(act(key::Delete, true, false, KeyPlace::OldList), KeyAction::TaggedView);
  EXPECT_EQ(act('N', true, false, KeyPlace::Button), KeyAction::Out);
  EXPECT_EQ(act('A', true, false, KeyPlace::List), KeyAction::None) << "archiving off";
  b.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  EXPECT_EQ(act('A', true, false, KeyPlace::List), KeyAction::ArchiveView);
  b.ws.ArchiveView = true;
  EXPECT_EQ(act(key::Delete, false, false, KeyPlace::List), KeyAction::None) << "nothing is deleted in the archive";
}

TEST(Keys, TheViewTogglesAndTheOwnEntry) {
  Board b;
  BuildBoardList(b.ws);
  const auto all = b.lines().size();
  ToggleShowEveryEntry(b.ws);
  EXPECT_EQ(b.lines().size(), 1u) << "only BOB is out";
  ToggleShowEveryEntry(b.ws);
  EXPECT_EQ(b.lines().size(), all);

  // ANN is in: Ctrl+S opens her form; out, it signs her in.
  EXPECT_EQ(ToggleOwnEntry(b.ws, b.forms.hooks()), CommandResult::Done);
  EXPECT_EQ(b.forms.opened.back(), std::make_pair('N', 1));
  b.putLocation(1, "Lunch", b.ws.Today);
  EXPECT_EQ(ToggleOwnEntry(b.ws, b.forms.hooks()), CommandResult::Done);
  EXPECT_TRUE(b.loc(1).closed());
  EXPECT_EQ(b.forms.opened.size(), 1u);

  b.mode(0);
  b.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  EXPECT_TRUE(ToggleArchiveView(b.ws));
  EXPECT_EQ(b.ws.paths.BoardDataPath, b.path("MESSARC.DAF"));
  // The archive is read-only: no new message there, no archived one closed.
  BulBrdRcrd& kept = b.ws.board.RecordBuffer;
  kept.clear();
  kept.setWho("ANN");
  kept.setHeadline("Old news");
  kept.setMadeDay(b.ws.Today);
  WriteBoardRecord(b.ws, 0, "TEST");
  const auto opened = b.forms.opened.size();
  EXPECT_EQ(OutCommand(b.ws, -1, 0, b.forms.hooks()), CommandResult::NotRun);
  EXPECT_EQ(b.forms.opened.size(), opened);
  EXPECT_EQ(CloseEntry(b.ws, 0, BoardSource::DeleteButton), CloseResult::Refused);
  EXPECT_EQ(b.record("MESSARC.DAF", 0).closed(), 0);
  EXPECT_TRUE(ToggleArchiveView(b.ws));
  EXPECT_EQ(b.ws.paths.BoardDataPath, b.path("MESSAGE.DAF"));
}

TEST(RestoreMenu, OnlyBackupsThatExistAndTodaysOnlyWhenFromToday) {
  Board b;
  b.notice(1747, "Backup of ");
  b.notice(1864, "Today's backup of ");
  EXPECT_TRUE(RestoreMenuItems(b.ws).empty());
  std::filesystem::create_directories(b.dir / "BACKUP");
  for (int n : {0, 1, 3}) test::writeFile(b.dir / "BACKUP" / ("CFGMAIN.BA" + std::to_string(n)), "x");
  test::SetFileTimeToClock(b.dir / "BACKUP/CFGMAIN.BA0", b.fake.clock, -86400);
  test::SetFileTimeToClock(b.dir / "BACKUP/CFGMAIN.BA1", b.fake.clock, -86400);
  test::SetFileTimeToClock(b.dir / "BACKUP/CFGMAIN.BA3", b.fake.clock, -3 * 86400);
  auto items = RestoreMenuItems(b.ws);
  ASSERT_EQ(items.size(), 2u) << "yesterday's backup 0 is not offered";
  EXPECT_EQ(items[0].generation, 1);
  EXPECT_EQ(items[0].caption, "Backup of " + FormatDay(b.ws, b.ws.Today - 1));
  EXPECT_EQ(items[1].generation, 3);

  test::SetFileTimeToClock(b.dir / "BACKUP/CFGMAIN.BA0", b.fake.clock, -60);
  items = RestoreMenuItems(b.ws);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].caption, "Today's backup of " + FormatDay(b.ws, b.ws.Today));

  b.mode(0);
  int restored = -1;
  BoardHooks h;
  h.restoreBackup = [&](int n) {
    restored = n;
    b.ws.ListMode = 1;  // the restore may show the board
  };
  RestoreClick(b.ws, 3, h);
  EXPECT_EQ(restored, 3);
  EXPECT_EQ(b.ws.ListMode, 0) << "the list mode is kept";
}

TEST(DeleteTagged, OnlyTheMainUserAndItsDialogAsksWithNoLockHeld) {
  Board b;
  bool eitherHeld = true;
  char letter = 0;
  BoardHooks h;
  h.maintenance = [&](char l) {
    letter = l;
    eitherHeld = std::filesystem::exists(LockFilePath(b.ws, "MEMOLK")) ||
                 std::filesystem::exists(LockFilePath(b.ws, "LOCATELK"));
  };
  EXPECT_EQ(DeleteTaggedMessages(b.ws, h), CommandResult::Done);
  EXPECT_FALSE(eitherHeld);
  EXPECT_EQ(letter, 'O');
  EXPECT_FALSE(std::filesystem::exists(LockFilePath(b.ws, "MEMOLK")));
  EXPECT_FALSE(std::filesystem::exists(LockFilePath(b.ws, "LOCATELK")));

  auto bob = b.station("BOB");
  letter = 0;
  EXPECT_EQ(DeleteTaggedMessages(*bob, h), CommandResult::NotRun);
  EXPECT_EQ(letter, 0);
  EXPECT_NE(b.fake.dialogs.allText().find("ANN"), std::string::npos);
}

TEST(Find, TheListShowsTheMatchingMessagesOnce) {
  Board b;
  b.mode(0);
  b.putMessage({"BOB", {"ANN"}, "Invoice 42", b.ws.Today, 900, {}});
  b.putMessage({"CLA", {"ANN"}, "Lunch", b.ws.Today, 1000, {}});
  b.fake.password.type("invoice");
  EXPECT_TRUE(FindClick(b.ws));
  ASSERT_EQ(b.lines().size(), 1u);
  EXPECT_EQ(SearchHeadingText(b.ws), "Search: \"INVOICE\"");
  b.ws.board.SearchText.clear();
  BuildBoardList(b.ws);
  EXPECT_EQ(b.lines().size(), 2u);
  b.fake.password.cancel();
  EXPECT_FALSE(FindClick(b.ws));
}

}  // namespace
}  // namespace egresso
