#include "board/board_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <map>

#include "config/startup_routine.h"
#include "board/board_lines.h"
#include "board/board_world.h"
#include "platform/codepage.h"
#include "storage/locks.h"
#include "support/faulty_file_ops.h"
#include "support/message_files.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::writeFile;

std::string Cols(const std::string& s, int from, int to) {
  if (s.size() < static_cast<std::size_t>(from)) return {};
  return s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
}

std::string Trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  s.erase(0, std::min(s.size(), s.find_first_not_of(' ')));
  return s;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(Trim(Cols(l, 1, 23)));
  return out;
}

std::vector<std::string> Subjects(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) out.push_back(Trim(Cols(l, 1, 53)));
  return out;
}

void Build(BoardWorld& w, int mode) {
  w.mode(mode);
  BuildBoardList(w.ws);
}

// ---------------------------------------------------------------- board mode

TEST(BoardList, EmployeesInNameOrderWithTheirReturn) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Client visit, Harbour Street 12", w.ws.Today, 1430);
  w.putLocation(4, "Trade fair in Lyon", w.ws.Today + 2, 900);
  Build(w, 1);
  const auto lines = w.lines();
  EXPECT_EQ(Names(lines), (std::vector<std::string>{"Ann Baker", "Bob Carter", "Claire Dumont", "Daniel Evans",
                                                    "Eva Fischer"}));
  const std::string& bob = lines[1];
  ASSERT_EQ(bob.size(), 89u);
  EXPECT_EQ(Cols(bob, 24, 59), PadText("Client visit, Harbour Street 12", 36));
  EXPECT_EQ(Cols(bob, 61, 66), PadText(BoardTimeText(w.ws, 1430), -6));
  EXPECT_EQ(Cols(bob, 67, 75), std::string(9, ' ')) << "no date when the return is today";
  EXPECT_EQ(Cols(bob, 84, 88), "00002");
  EXPECT_EQ(Cols(bob, 89, 89), " ");
  EXPECT_EQ(Cols(lines[3], 68, 75), BoardDateText(w.ws, w.ws.Today + 2));
  EXPECT_EQ(Cols(lines[0], 24, 83), std::string(60, ' ')) << "Ann is in";

  w.ws.board.ShowBlankEntries = false;
  BuildBoardList(w.ws);
  EXPECT_EQ(Names(w.lines()), (std::vector<std::string>{"Bob Carter", "Daniel Evans"}));
  w.ws.board.ShowEveryEntry = false;
  BuildBoardList(w.ws);
  EXPECT_EQ(Names(w.lines()), (std::vector<std::string>{"Bob Carter", "Daniel Evans"}));
}

TEST(BoardList, UnsortedBoardKeepsRecordOrder) {
  BoardWorld w;
  w.ws.mcfg.setEmpName(1, "Zoe Adams");
  w.allIn();
  w.ws.options.SortedBoard = false;
  Build(w, 1);
  EXPECT_EQ(Names(w.lines()).front(), "Zoe Adams");
  w.ws.options.SortedBoard = true;
  BuildBoardList(w.ws);
  EXPECT_EQ(Names(w.lines()).back(), "Zoe Adams");
}

TEST(BoardList, AnOpenEntryOfAnEarlierDayIsSignedInByAFullRebuild) {
  BoardWorld w;
  w.allIn();
  w.putLocation(3, "Seminar", w.ws.Today - 1, 1700);
  w.putLocation(4, "Sabbatical, no return day", 0);
  ReadBoardRecord(w.ws, 3, "T");
  w.ws.board.RecordBuffer.setClockStart(30000);
  w.ws.board.RecordBuffer.setClockDay(w.ws.Today - 1);
  w.ws.board.RecordBuffer.setClockEntry(12);
  WriteBoardRecord(w.ws, 3, "T");
  writeFile(w.path("BULLETIN/3.DA1"), "Seminar\r\n");

  // A timer refresh only reads.
  w.ws.board.ReadOnlyRefresh = true;
  Build(w, 1);
  EXPECT_EQ(Trim(Cols(w.lines()[2], 24, 59)), "Seminar");
  EXPECT_FALSE(w.index("LOCATE.DAI", 3).closed());
  EXPECT_FALSE(w.ws.board.ReadOnlyRefresh) << "cleared by every build";

  BuildBoardList(w.ws);
  const auto e = w.index("LOCATE.DAI", 3);
  EXPECT_TRUE(e.closed());
  EXPECT_EQ(e.Key, 0);
  const auto r = w.record("LOCATE.DAF", 3);
  EXPECT_EQ(r.closed(), 1);
  EXPECT_EQ(r.who(), "CLA");
  EXPECT_EQ(r.headline(), "");
  EXPECT_EQ(r.clockStart(), 30000) << "a running work clock survives";
  EXPECT_EQ(r.clockDay(), w.ws.Today - 1);
  EXPECT_EQ(r.clockEntry(), 12);
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/3.DA1")));
  EXPECT_EQ(Trim(Cols(w.lines()[2], 24, 59)), "");
  EXPECT_FALSE(w.index("LOCATE.DAI", 4).closed()) << "an entry without a return day never expires";
  EXPECT_EQ(Trim(Cols(w.lines()[3], 24, 59)), "Sabbatical, no return day");
}

TEST(BoardList, TheReadOnlyViewShowsExpiryWithoutWriting) {
  BoardWorld w;
  w.allIn();
  w.putLocation(3, "Seminar", w.ws.Today - 1, 1700);
  const std::string data = readFile(w.path("LOCATE.DAF"));
  const std::string index = readFile(w.path("LOCATE.DAI"));
  w.ws.board.ReadOnlyView = true;
  Build(w, 1);
  EXPECT_EQ(Trim(Cols(w.lines()[2], 24, 59)), "") << "shown as signed in";
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")), data);
  EXPECT_EQ(readFile(w.path("LOCATE.DAI")), index);
}

TEST(BoardList, AnEntryOfSomeoneNoLongerEmployedIsClosed) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Holiday", w.ws.Today + 5);
  w.ws.mcfg.setEmpInitials(2, "BRT");
  w.ws.mcfg.setEmpName(2, "Bert Roth");
  w.saveConfig();  // Bob left the table on the disk too
  Build(w, 1);
  EXPECT_TRUE(w.index("LOCATE.DAI", 2).closed());
  EXPECT_EQ(w.record("LOCATE.DAF", 2).who(), "BRT");
  // Closed entries that already say so are not written again.
  const auto age = fileAgeNs(w.path("LOCATE.DAF"), PosixFileOps());
  SetFileTimeToClock(w.path("LOCATE.DAF"), w.fake.clock, -3600);
  const auto older = fileAgeNs(w.path("LOCATE.DAF"), PosixFileOps());
  ASSERT_NE(age, older);
  BuildBoardList(w.ws);
  EXPECT_EQ(fileAgeNs(w.path("LOCATE.DAF"), PosixFileOps()), older);
}

TEST(BoardList, AHeadlineOfTwoCountsAsEmpty) {
  BoardWorld w;
  w.allIn();
  w.putLocation(5, "2", w.ws.Today + 1);
  w.ws.board.ReadOnlyRefresh = true;
  Build(w, 1);
  EXPECT_EQ(Trim(Cols(w.lines()[4], 24, 59)), "");
  EXPECT_EQ(w.record("LOCATE.DAF", 5).headline(), "2") << "a timer refresh writes nothing";
  BuildBoardList(w.ws);
  EXPECT_EQ(w.record("LOCATE.DAF", 5).headline(), "");
  EXPECT_EQ(Trim(Cols(w.lines()[4], 24, 59)), "");
}

TEST(BoardList, StaleEntriesShowTheStaleTextAndMarker) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Trip", w.ws.Today + 2);
  SignAllOut(w.ws);  // marks every signed-in employee; Bob's trip is not due
  Build(w, 1);
  const auto lines = w.lines();
  EXPECT_EQ(Trim(Cols(lines[0], 24, 59)), "Not signed in yet");
  EXPECT_EQ(Cols(lines[0], 89, 89), "X");
  EXPECT_EQ(Trim(Cols(lines[1], 24, 59)), "Trip");
  EXPECT_EQ(Cols(lines[1], 89, 89), " ");

  w.ws.options.ReturnFirst = true;
  BuildBoardList(w.ws);
  EXPECT_EQ(Cols(w.lines()[0], 1, 17), "Not signed in yet");
  EXPECT_EQ(Trim(Cols(w.lines()[0], 18, 40)), "Ann Baker");
}

TEST(BoardList, TimeStampedLocations) {
  BoardWorld w;
  w.allIn();
  w.ws.options.TimeStamped = true;
  w.putLocation(2, "Lunch", w.ws.Today + 1, 1300);
  ReadBoardRecord(w.ws, 2, "T");
  w.ws.board.RecordBuffer.setMadeDay(w.ws.Today);
  w.ws.board.RecordBuffer.setMadeTime(1205);
  WriteBoardRecord(w.ws, 2, "T");
  w.putLocation(3, "Course", w.ws.Today + 1, 1300);
  ReadBoardRecord(w.ws, 3, "T");
  w.ws.board.RecordBuffer.setMadeDay(w.ws.Today - 2);
  w.ws.board.RecordBuffer.setMadeTime(830);
  WriteBoardRecord(w.ws, 3, "T");
  Build(w, 1);
  const std::string noon = TrimText(BoardTimeText(w.ws, 1205));
  EXPECT_EQ(Trim(Cols(w.lines()[1], 24, 59)), "(" + noon + ") Lunch");
  const std::string course = "(" + FormatDay(w.ws, w.ws.Today - 2).substr(0, 5) + "/" +
                             TrimText(BoardTimeText(w.ws, 830)) + ") ";
  EXPECT_EQ(Trim(Cols(w.lines()[2], 24, 59)), course + "Course");

  // An entry gone stale says when it was written too.
  w.putLocation(3, "Course", 0, 1300);
  ReadBoardRecord(w.ws, 3, "T");
  w.ws.board.RecordBuffer.setMadeDay(w.ws.Today - 2);
  w.ws.board.RecordBuffer.setMadeTime(830);
  WriteBoardRecord(w.ws, 3, "T");
  SignAllOut(w.ws);
  BuildBoardList(w.ws);
  EXPECT_EQ(Trim(Cols(w.lines()[2], 24, 59)), course + "Not signed in yet");
  w.ws.options.ReturnFirst = true;
  BuildBoardList(w.ws);
  EXPECT_EQ(Cols(w.lines()[2], 1, 17), "Not signed in yet");
}

TEST(BoardList, LineColours) {
  BoardWorld w;
  w.ws.pcfg.setI32(pcfg::Colors + 8, 0x112233);   // list text colour
  w.ws.pcfg.setI32(171 + 4, 0x445566);            // colour of the second person
  w.allIn();
  w.putLocation(2, "Out", w.ws.Today, 1500);
  Build(w, 1);
  EXPECT_EQ(w.ws.board.BBSlist[1].colour, 0x112233u);
  w.ws.pcfg.setU8(pcfg::PersonColors, 1);
  BuildBoardList(w.ws);
  EXPECT_EQ(w.ws.board.BBSlist[1].colour, 0x445566u);

  w.ws.options.OutColour = 12;
  EXPECT_EQ(LineDrawColour(w.ws, w.ws.board.BBSlist[1]), 0x0000FFu) << "a line with a return time";
  EXPECT_EQ(LineDrawColour(w.ws, w.ws.board.BBSlist[0]), w.ws.board.BBSlist[0].colour);
}

// The out colour goes to the lines that show a return time, wherever the
// layout puts it.
TEST(BoardList, OutColourFollowsTheReturnTimeInEveryLayout) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Out", w.ws.Today, 1500);
  w.putLocation(3, "Away", 0, 1400);
  SignAllOut(w.ws);  // Ann and Carl's open entry without a return day go stale
  w.ws.options.OutColour = 12;
  auto coloured = [&]() {
    BuildBoardList(w.ws);
    std::vector<bool> out;
    for (const auto& line : w.ws.board.BBSlist) out.push_back(LineDrawColour(w.ws, line) == 0x0000FFu);
    return out;
  };
  Build(w, 1);
  // Ann (stale, in), Bob (back at 15:00), Carl (stale, back at 14:00), two more who are in.
  EXPECT_EQ(coloured(), (std::vector<bool>{false, true, true, false, false}));
  w.ws.options.CompactMode = true;
  EXPECT_EQ(coloured(), (std::vector<bool>{false, true, true, false, false}))
      << "the compact line has its time after the location";
  w.ws.options.CompactMode = false;
  w.ws.options.ReturnFirst = true;
  EXPECT_EQ(coloured(), (std::vector<bool>{false, true, false, false, false})) << "a stale line shows no time here";

  // A line signed back in keeps no colour.
  w.ws.options.ReturnFirst = false;
  BuildBoardList(w.ws);
  w.mode(1);
  ASSERT_EQ(CloseEntry(w.ws, 2, BoardSource::List), CloseResult::Closed);
  EXPECT_FALSE(w.ws.board.BBSlist[1].showsReturnTime);
}

TEST(BoardList, OwnEntryOnly) {
  BoardWorld w("BOB");
  w.allIn();
  w.ws.options.OwnEntryOnly = true;
  Build(w, 1);
  EXPECT_EQ(Names(w.lines()), (std::vector<std::string>{"Bob Carter"}));
}

// ------------------------------------------------------------- message mode

TEST(MessageList, UnreadOldestFirstOthersNewestFirst) {
  BoardWorld w;
  const int t = w.ws.Today;
  // Times rise with the days, so the order holds by day and by time.
  w.putMessage({"BOB", {"ANN"}, "unread 2", t - 1, 1500, {}});
  w.putMessage({"BOB", {"ANN"}, "read 1", t - 3, 800, {{"ANN", 1}}});
  w.putMessage({"CLA", {"ANN", "DAN"}, "unread 3", t, 1600, {}});
  w.putMessage({"ANN", {"BOB"}, "own", t - 2, 1030, {}});
  w.putMessage({"DAN", {}, "unread 1 to everyone", t - 2, 1000, {}});
  w.putMessage({"BOB", {"ANN"}, "read 2", t - 1, 1530, {{"ANN", 1}}});
  w.putMessage({"BOB", {"CLA"}, "not for Ann", t - 1, 1540, {}});
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"unread 1 to everyone", "unread 2", "unread 3"}));
  EXPECT_EQ(Subjects(w.lines(true)), (std::vector<std::string>{"read 2", "own", "read 1"}));
  const std::string line = w.lines()[1];
  ASSERT_EQ(line.size(), 88u);
  EXPECT_EQ(Trim(Cols(line, 57, 64)), Trim(BoardDateText(w.ws, t - 1)));
  EXPECT_EQ(Cols(line, 57, 57), BoardDateText(w.ws, t - 1).substr(BoardDateText(w.ws, t - 1).find_first_not_of(' '), 1));
  EXPECT_EQ(Cols(line, 66, 71), PadText(BoardTimeText(w.ws, 1500), -6));
  EXPECT_EQ(Trim(Cols(line, 73, 83)), "BOB");
  EXPECT_EQ(Cols(line, 84, 88), "00000");
}

TEST(MessageList, SortColumnsTextAndSender) {
  BoardWorld w;
  const int t = w.ws.Today;
  w.putMessage({"CLA", {"ANN"}, "banana", t, 900, {}});
  w.putMessage({"BOB", {"ANN"}, "cherry", t, 901, {}});
  w.putMessage({"BOB", {"ANN"}, "apple", t, 902, {}});
  w.ws.board.ListSortColumn = 2;
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"apple", "banana", "cherry"}));
  w.ws.board.ListSortColumn = 3;
  BuildBoardList(w.ws);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"apple", "cherry", "banana"}));
}

TEST(MessageList, SortingFoldsCapitalsOnlyAndLooksPastTheLeadingCharacters) {
  BoardWorld w;
  const int t = w.ws.Today;
  // Capitals sort with their small letters; other characters by their code
  // ('_' before the letters, a code page letter after them); subjects alike
  // in their first 18 characters are told apart by the rest.
  for (const char* subject : {"Zebra crossing", "\xC4pfel", "apple", "_under", "Mango",
                              "Quarterly figures B", "Quarterly figures a", "[bracket", "ZEBRA"})
    w.putMessage({"BOB", {"ANN"}, subject, t, 900, {}});
  w.ws.board.ListSortColumn = 2;
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()),
            (std::vector<std::string>{"[bracket", "_under", "apple", "Mango", "Quarterly figures a", "Quarterly figures B",
                                      "ZEBRA", "Zebra crossing", "\xC4pfel"}));
}

// Many messages alike in their leading characters, days and times, in
// every sort column: each list stands in the order of its sort prefix and
// line compared as ListLess compares them, equal ones in record order; so
// too when it is built again over the list shown, after new messages, and
// in another column.
TEST(MessageList, EveryColumnSortsAsItsPrefixAndLineCompare) {
  const char* const pieces[] = {"a", "A", "b", "Z", "0", "9", " ", "_", "\xC4", "ab", "AB "};
  const char* const senders[] = {"BOB", "CLA", "bo", "D"};
  for (const int column : {1, 2, 3}) {
    SCOPED_TRACE(column);
    BoardWorld w;
    const int t = w.ws.Today;
    std::map<int, std::pair<int, int>> made;  // record: day, time
    std::uint32_t seed = 7u + static_cast<std::uint32_t>(column);
    auto next = [&seed](std::uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
    auto put = [&](int count) {
      for (int k = 0; k < count; ++k) {
        std::string subject;
        for (std::uint32_t len = next(9); len > 0; --len) subject += pieces[next(std::size(pieces))];
        const int day = t - static_cast<int>(next(3));
        const int time = std::array{0, 900, 959, 1000, 2359, 2900}[next(6)];
        const int r = w.putMessage({senders[next(4)], {"ANN"}, subject, day, time, {{"ANN", next(3) == 0 ? 1 : 0}}});
        made[r] = {day, time};
      }
    };
    auto check = [&](int sortColumn) {
      w.ws.board.ListSortColumn = sortColumn;
      Build(w, 0);
      for (const bool old : {false, true}) {
        const std::vector<std::string> lines = w.lines(old);
        auto prefixed = [&](const std::string& line) {
          const auto [day, time] = made.at(RecordNumberOfLine(line));
          if (sortColumn == 2) return line.substr(0, 10) + line;
          if (sortColumn == 3) return line.substr(72, 3) + line.substr(0, 7) + line;
          return MessageDatePrefix(day, time, !old) + line;
        };
        std::vector<std::string> expected = lines;
        std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
          return RecordNumberOfLine(a) < RecordNumberOfLine(b);
        });
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const std::string& a, const std::string& b) { return ListLess(prefixed(a), prefixed(b)); });
        EXPECT_GT(lines.size(), 20u);
        EXPECT_EQ(lines, expected) << (old ? "sent or read" : "unread") << " in column " << sortColumn;
      }
    };
    put(160);
    check(column);
    check(column);
    put(3);
    check(column);
    check(column % 3 + 1);
  }
}

TEST(MessageList, TaggedAndClosedMessagesAreHidden) {
  BoardWorld w;
  const int t = w.ws.Today;
  w.putMessage({"BOB", {"ANN"}, "tagged unread", t, 900, {{"ANN", 2}}});
  w.putMessage({"BOB", {"ANN"}, "tagged read", t, 901, {{"ANN", 3}}});
  const int closed = w.putMessage({"BOB", {"ANN"}, "deleted", t, 902, {}});
  w.putMessage({"BOB", {"ANN"}, "visible", t, 903, {}});
  ReadBoardRecord(w.ws, closed, "T");
  w.ws.board.RecordBuffer.setClosed(1);
  WriteBoardRecord(w.ws, closed, "T");
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"visible"}));
  EXPECT_TRUE(w.lines(true).empty());
  w.ws.board.TaggedView = true;
  BuildBoardList(w.ws);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"deleted"}));
  EXPECT_EQ(Cols(w.lines()[0], 54, 56), " * ");
}

TEST(MessageList, MessagesOlderThanTheKeepingPeriodAreClosedAndArchived) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  w.ws.options.KeepDays = 20;
  const int t = w.ws.Today;
  const int old = w.putMessage({"BOB", {"ANN"}, "too old", t - 21, 900, {}});
  w.putMessage({"BOB", {"ANN"}, "just kept", t - 20, 900, {}});
  writeFile(w.path("BULLETIN/" + std::to_string(old) + ".DA0"), "old text");

  w.ws.board.ReadOnlyRefresh = true;
  Build(w, 0);
  EXPECT_EQ(w.lines().size(), 2u) << "a timer refresh does not expire";

  BuildBoardList(w.ws);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"just kept"}));
  EXPECT_TRUE(w.index("MESSAGE.DAI", old).closed());
  EXPECT_EQ(w.record("MESSAGE.DAF", old).closed(), 1);
  EXPECT_EQ(w.record("MESSARC.DAF", 0).headline(), "too old");
  EXPECT_EQ(readFile(w.path("BULLETIN/0.DA2")), "old text");

  // The archive itself is never expired.
  w.mode(0, true);
  BuildBoardList(w.ws);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"too old"}));
}

TEST(MessageList, ANegativeKeepingPeriodKeepsTodaysMessages) {
  BoardWorld w;
  const int t = w.ws.Today;
  w.putMessage({"BOB", {"ANN"}, "today", t, 900, {}});
  w.putMessage({"BOB", {"ANN"}, "tomorrow", t + 1, 900, {}});
  w.putMessage({"BOB", {"ANN"}, "yesterday", t - 1, 900, {}});
  for (int keep : {-30, std::numeric_limits<int>::min()}) {
    w.ws.options.KeepDays = keep;
    Build(w, 0);
    EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"today", "tomorrow"})) << keep;
  }
  w.ws.options.KeepDays = std::numeric_limits<int>::max();
  w.putMessage({"BOB", {"ANN"}, "long ago", t - 3000, 900, {}});
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"long ago", "today", "tomorrow"}));
}

TEST(MessageList, SearchTextInSubjectOrBody) {
  BoardWorld w;
  const int t = w.ws.Today;
  w.putMessage({"BOB", {"ANN"}, "Invoice 17", t, 900, {}});
  const int b = w.putMessage({"BOB", {"ANN"}, "Call back", t, 901, {}});
  w.putMessage({"BOB", {"ANN"}, "Lunch", t, 902, {}});
  writeFile(w.path("BULLETIN/" + std::to_string(b) + ".DA0"), "About the INVOICE of May\r\n");
  w.ws.board.SearchText = "invoice";
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"Invoice 17", "Call back"}));
}

TEST(MessageList, AFileWithAPartialRecordIsReadToItsLastWholeRecord) {
  BoardWorld w;
  const int t = w.ws.Today;
  w.putMessage({"BOB", {"ANN"}, "one", t, 900, {}});
  w.putMessage({"BOB", {"ANN"}, "two", t, 901, {}});
  {
    std::ofstream f(w.path("MESSAGE.DAF"), std::ios::binary | std::ios::app);
    f << "xyz";
  }
  // An index entry without a record behind it lists nothing.
  {
    std::ofstream f(w.path("MESSAGE.DAI"), std::ios::binary | std::ios::app);
    f.write("\0\0\0", 3);
  }
  Build(w, 0);
  EXPECT_EQ(Subjects(w.lines()), (std::vector<std::string>{"one", "two"}));
}

// An index and a data file of different lengths (one restored from a
// backup, or cut short): entries without a real record behind them are no
// messages, and the next message written makes the two files agree.
TEST(MessageList, EntriesWithoutARealRecordAreNoMessagesAndTheNextWriteClosesThem) {
  struct Case {
    const char* what;
    int records, entries;
    int closedEntry;       // -1: none
    int fillers;           // closed empty records added under open entries
    std::vector<std::string> before;
    bool entriesMatchRecords;  // after the write
  };
  const std::vector<std::string> three{"m0", "m1", "m2"};
  const Case cases[] = {
      {"index longer by one", 3, 4, -1, 0, three, true},
      {"index longer by several, the last closed", 3, 6, 5, 0, three, true},
      {"data longer than index", 3, 2, -1, 0, {"m0", "m1"}, true},
      {"fillers under open entries", 3, 5, -1, 2, three, false},
  };
  for (const Case& c : cases) {
    BoardWorld w;
    for (int i = 0; i < 3; ++i) w.putMessage({"BOB", {"ANN"}, "m" + std::to_string(i), w.ws.Today, 900 + i, {}});
    test::SizeMessageFiles(w.dir.path(), c.records, c.entries, w.ws.Today);
    if (c.closedEntry >= 0) test::CloseMessageEntry(w.dir.path(), c.closedEntry);
    std::string filler(brd::Size, '\0');
    filler[brd::Closed] = 1;
    for (int i = 0; i < c.fillers; ++i) writeFile(w.path("MESSAGE.DAF"), readFile(w.path("MESSAGE.DAF")) + filler);
    Build(w, 0);
    EXPECT_EQ(Subjects(w.lines()), c.before) << c.what;

    const int n = w.putMessage({"BOB", {"ANN"}, "new", w.ws.Today, 1000, {}});
    Build(w, 0);
    std::vector<std::string> after{"m0", "m1", "m2", "new"};
    if (c.fillers == 0) {
      EXPECT_EQ(n, 3) << c.what << ": the first number without a record";
    }
    EXPECT_EQ(Subjects(w.lines()), after) << c.what;
    const auto records = std::filesystem::file_size(w.path("MESSAGE.DAF")) / brd::Size;
    EXPECT_EQ(std::filesystem::file_size(w.path("MESSAGE.DAI")) / brd::IndexSize, records) << c.what;
    if (!c.entriesMatchRecords) continue;
    for (std::uintmax_t j = 0; j < records; ++j)
      EXPECT_EQ(w.index("MESSAGE.DAI", static_cast<int>(j)).closed(),
                w.record("MESSAGE.DAF", static_cast<int>(j)).closed() != 0)
          << c.what << ": entry " << j;
  }
}

TEST(MessageList, InvalidBytesInTextsAndBodiesAreShownWithoutHarm) {
  BoardWorld w;
  const int t = w.ws.Today;
  const int n = w.putMessage({"BOB", {"ANN"}, std::string("Bad \x81\x8D\xFF\x00 bytes", 14), t, 900, {}});
  writeFile(w.path("BULLETIN/" + std::to_string(n) + ".DA0"), std::string("\x00\xFF\x81\r\n\x8F needle", 13));
  w.ws.board.SearchText = "needle";
  Build(w, 0);
  ASSERT_EQ(w.lines().size(), 1u);
  EXPECT_EQ(w.lines()[0].size(), 88u);
  EXPECT_FALSE(cp1252ToUtf8(w.lines()[0]).empty());
}

// --------------------------------------------------------------- bad files

// An event pump that runs an action when the board waits.
class ScriptedEvents : public test::FakeEvents {
 public:
  using test::FakeEvents::FakeEvents;
  std::function<void(int)> onSleep;
  int sleeps = 0;
  void sleepMs(int ms) override {
    test::FakeEvents::sleepMs(ms);
    ++sleeps;
    if (onSleep) onSleep(sleeps);
  }
};

TEST(BoardList, ALocationIndexThatCannotBeOpenedIsRetriedTenRoundsThenRebuilt) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Out", w.ws.Today, 1500);
  std::filesystem::remove(w.path("LOCATE.DAI"));
  std::filesystem::create_directory(w.path("LOCATE.DAI"));
  Build(w, 1);
  EXPECT_EQ(w.fake.dialogs.beeps, 10) << "one beep per failed round";
  EXPECT_EQ(w.fake.events.slept, 9 * 500) << "half a second between rounds";
  // The rebuild wrote one signed-in record per slot.
  RecordFile f;
  ASSERT_EQ(f.open(w.path("LOCATE.DAF"), brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()), 0);
  EXPECT_EQ(f.recordCount(), 51);
  for (int j : {1, 2, 5, 50}) {
    const auto r = w.record("LOCATE.DAF", j);
    EXPECT_EQ(r.closed(), 1);
    EXPECT_EQ(r.who(), w.ws.mcfg.empInitials(j));
    EXPECT_EQ(r.headline(), "");
  }
  EXPECT_TRUE(w.lines().empty());
}

TEST(BoardList, AMissingLocationIndexIsMadeAgainFromTheRecords) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Out", w.ws.Today, 1500);
  std::filesystem::remove(w.path("LOCATE.DAI"));
  Build(w, 1);
  EXPECT_EQ(w.fake.dialogs.beeps, 10) << "the rounds are waited out as for any unopenable file";
  EXPECT_EQ(Trim(Cols(w.lines()[1], 24, 59)), "Out") << "the entry survives the lost index";
  RecordFile f;
  ASSERT_EQ(f.open(w.path("LOCATE.DAI"), brd::IndexSize, RecordFile::Mode::ReadOnly, PosixFileOps()), 0);
  EXPECT_EQ(f.recordCount(), 51);
}

TEST(BoardList, ALocationFileThatComesBackIsReadWithoutRebuild) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Out", w.ws.Today, 1500);
  const std::string index = readFile(w.path("LOCATE.DAI"));
  std::filesystem::remove(w.path("LOCATE.DAI"));
  std::filesystem::create_directory(w.path("LOCATE.DAI"));
  ScriptedEvents events(&w.fake.clock);
  events.onSleep = [&](int n) {
    if (n == 3) {
      std::filesystem::remove(w.path("LOCATE.DAI"));
      writeFile(w.path("LOCATE.DAI"), index);
    }
  };
  w.ws.platform.events = &events;
  Build(w, 1);
  EXPECT_EQ(events.sleeps, 3);
  EXPECT_EQ(Trim(Cols(w.lines()[1], 24, 59)), "Out") << "the entries were kept";
}

TEST(BoardList, AnEntryChangedWhileWaitingForTheLockIsNotSignedIn) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Holiday", w.ws.Today - 1);
  writeFile(w.path("LOCATELK.LOK"), "BOB EGOK1           OTHER-STATION\r\n");
  auto bob = w.station("BOB");
  ScriptedEvents events(&w.fake.clock);
  events.onSleep = [&](int n) {
    if (n != 1) return;
    // Bob saves his new return and lets go of the lock.
    BoardWorld::mode(*bob, 1);
    ReadBoardRecord(*bob, 2, "EGOK1");
    bob->board.RecordBuffer.setHeadline("Back from holiday");
    bob->board.RecordBuffer.setReturnDay(static_cast<std::int16_t>(bob->Today + 1));
    WriteBoardRecord(*bob, 2, "EGOK1");
    std::filesystem::remove(w.path("LOCATELK.LOK"));
  };
  w.ws.platform.events = &events;
  Build(w, 1);
  EXPECT_GE(events.sleeps, 1);
  EXPECT_FALSE(w.index("LOCATE.DAI", 2).closed());
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Back from holiday");
  EXPECT_EQ(Trim(Cols(w.lines()[1], 24, 59)), "Back from holiday");
}

TEST(BoardList, MissingLocationFilesAreMadeAfterTheRounds) {
  BoardWorld w;
  Build(w, 1);
  EXPECT_EQ(w.fake.events.slept, 9 * 500) << "files being replaced by another workstation get their time";
  EXPECT_EQ(Names(w.lines()), (std::vector<std::string>{"Ann Baker", "Bob Carter", "Claire Dumont", "Daniel Evans",
                                                        "Eva Fischer"}));
  for (int j = 1; j <= 5; ++j) EXPECT_TRUE(w.index("LOCATE.DAI", j).closed());
}

TEST(MessageList, MissingMessageFilesGiveEmptyLists) {
  BoardWorld w;
  Build(w, 0);
  EXPECT_TRUE(w.lines().empty());
  EXPECT_EQ(w.fake.dialogs.beeps, 0);
  EXPECT_FALSE(std::filesystem::exists(w.path("MESSAGE.DAF"))) << "message files are never made by the list";
}

// ------------------------------------------------------------- closing

TEST(CloseEntry, RefusesAMessageOfSomeoneElseToSeveralPeople) {
  BoardWorld w;
  const int n = w.putMessage({"BOB", {"ANN", "CLA"}, "To two", w.ws.Today, 900, {}});
  Build(w, 0);
  EXPECT_EQ(CloseEntry(w.ws, n, BoardSource::List), CloseResult::Refused);
  ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u);
  EXPECT_EQ(w.fake.dialogs.dialogs[0].message, "BOB sent this message to several people.");
  EXPECT_EQ(w.fake.dialogs.dialogs[0].button3, "OK");
  EXPECT_EQ(w.record("MESSAGE.DAF", n).readMark(1), 0);
  EXPECT_EQ(w.lines().size(), 1u);
}

TEST(CloseEntry, ARecipientTagsTheMessageForHimself) {
  BoardWorld w;
  const int n = w.putMessage({"BOB", {"ANN"}, "To Ann", w.ws.Today, 900, {{"ANN", 1}}});
  Build(w, 0);
  EXPECT_EQ(CloseEntry(w.ws, n, BoardSource::OldList), CloseResult::Closed);
  const auto r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.readMark(1), 3);
  EXPECT_EQ(r.closed(), 0) << "the message stays for the others";
  EXPECT_FALSE(w.index("MESSAGE.DAI", n).closed());
  EXPECT_TRUE(w.lines(true).empty()) << "the line left the list it came from";
  BuildBoardList(w.ws);
  EXPECT_TRUE(w.lines().empty());
  EXPECT_TRUE(w.lines(true).empty());
}

TEST(CloseEntry, TheSenderDeletesAndArchives) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  const int n = w.putMessage({"ANN", {"BOB", "CLA"}, "Mine", w.ws.Today, 900, {{"BOB", 1}}});
  writeFile(w.path("BULLETIN/" + std::to_string(n) + ".DA0"), "my text");
  Build(w, 0);
  EXPECT_EQ(CloseEntry(w.ws, n, BoardSource::OldList), CloseResult::Closed);
  const auto r = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(r.closed(), 1);
  EXPECT_EQ(r.returnDay(), 0);
  EXPECT_TRUE(w.index("MESSAGE.DAI", n).closed());
  EXPECT_EQ(w.record("MESSARC.DAF", 0).headline(), "Mine");
  EXPECT_EQ(readFile(w.path("BULLETIN/0.DA2")), "my text");
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/" + std::to_string(n) + ".DA0")));
}

TEST(CloseEntry, AnEmployeeComesBackIn) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.allIn();
  w.putLocation(2, "Lunch", w.ws.Today, 1330);
  Build(w, 1);
  EXPECT_EQ(CloseEntry(w.ws, 2, BoardSource::List), CloseResult::Closed);
  const auto e = w.index("LOCATE.DAI", 2);
  EXPECT_TRUE(e.closed());
  EXPECT_EQ(e.Key, 0);
  EXPECT_EQ(w.record("LOCATE.DAF", 2).closed(), 1);
  EXPECT_EQ(w.record("LOCATE.DAF", 2).returnDay(), 0);
  const std::string line = w.lines()[1];
  EXPECT_EQ(Trim(Cols(line, 1, 23)), "Bob Carter");
  EXPECT_EQ(Cols(line, 24, 83), std::string(60, ' '));
  EXPECT_EQ(Cols(line, 84, 88), "00002");
  EXPECT_NE(readFile(w.path("INOUTBOB.DAF")).find("came in"), std::string::npos);
  EXPECT_EQ(w.ws.board.OutButtonHint, "Sign out");

  w.putLocation(3, "Bank", w.ws.Today, 1400);
  w.ws.board.ShowEveryEntry = false;
  BuildBoardList(w.ws);
  ASSERT_EQ(Names(w.lines()), (std::vector<std::string>{"Claire Dumont"}));
  CloseEntry(w.ws, 3, BoardSource::OutButton);
  EXPECT_TRUE(w.lines().empty());
  EXPECT_NE(readFile(w.path("INOUTCLA.DAF")).find("came in"), std::string::npos)
      << "the journal has the arrival whatever the board shows";
}

TEST(CloseEntry, ARecordTheDataFileDoesNotHoldIsNeverFilledFromTheBuffer) {
  BoardWorld w;
  w.allIn();
  w.putLocation(2, "Lunch", w.ws.Today, 1330);
  std::filesystem::resize_file(w.path("LOCATE.DAF"), 2 * brd::Size);  // records 0 and 1 left
  Build(w, 1);
  // The buffer still holds what was read last: Ann's entry.
  ReadBoardRecord(w.ws, 1, "T");
  w.ws.board.RecordBuffer.setHeadline("Dentist");
  EXPECT_EQ(CloseEntry(w.ws, 2, BoardSource::List), CloseResult::Closed);
  const auto r = w.record("LOCATE.DAF", 2);
  EXPECT_EQ(r.who(), "BOB") << "the slot's own employee, not a copy of Ann's record";
  EXPECT_EQ(r.headline(), "");
  EXPECT_EQ(r.closed(), 1);

  EXPECT_EQ(CloseEntry(w.ws, 99999, BoardSource::List), CloseResult::Refused);
  EXPECT_EQ(std::filesystem::file_size(w.path("LOCATE.DAF")), 3 * brd::Size) << "no record made for no employee";

  const int a = w.putMessage({"ANN", {"BOB"}, "Mine", w.ws.Today, 900, {}});
  w.putMessage({"ANN", {"BOB"}, "Also mine", w.ws.Today, 901, {}});
  Build(w, 0);
  ReadBoardRecord(w.ws, a, "T");
  EXPECT_EQ(CloseEntry(w.ws, a + 2, BoardSource::OldList), CloseResult::Refused) << "a line of a message gone meanwhile";
  EXPECT_EQ(std::filesystem::file_size(w.path("MESSAGE.DAF")), 2 * brd::Size);
  EXPECT_FALSE(w.index("MESSAGE.DAI", a).closed());
}

// ------------------------------------------------------------- journal

TEST(Journal, OneLinePerArrivalAndDeparture) {
  BoardWorld w;
  w.ws.board.RecordBuffer.clear();
  w.ws.board.RecordBuffer.setWho("BOB");
  WriteJournal(w.ws, 'I');
  EXPECT_FALSE(std::filesystem::exists(w.path("INOUTBOB.DAF"))) << "journaling is off";

  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  WriteJournal(w.ws, 'I');
  WriteJournal(w.ws, 'O');
  const std::string stamp = PadText(FormatDay(w.ws, w.ws.Today), -9) +
                            PadText(traceTime(w.ws), -7) + "  BOB    ";
  EXPECT_EQ(readFile(w.path("INOUTBOB.DAF")), stamp + "came in (entered by ANN)\r\n" + stamp +
                                                  "went out (entered by ANN)\r\n");

  w.ws.mcfg.setU8(mcfg::InOutLog, 0);
  w.ws.mcfg.setU8(mcfg::InOutLogShared, 1);
  w.ws.board.RecordBuffer.setWho("ANN");
  WriteJournal(w.ws, 'I');
  const std::string own = PadText(FormatDay(w.ws, w.ws.Today), -9) +
                          PadText(traceTime(w.ws), -7) + "  ANN    came in\r\n";
  EXPECT_EQ(readFile(w.path("INOUT.DAF")), own) << "the shared journal, and no note for one's own entry";
}

// ------------------------------------------------------------- tables

TEST(BoardList, ChangedEmployeeTablesAreReadAgain) {
  BoardWorld w;
  w.allIn();
  Build(w, 1);
  // Another workstation moved Ann to slot 3 and left the flag file.
  w.ws.mcfg.setEmpInitials(3, "ANN");
  w.ws.mcfg.setEmpInitials(1, "CLA");
  w.saveConfig();
  writeFile(w.path("EMPANN"), "1");
  w.ws.options.ArchiveOff = true;  // "/DA", applied at start-up
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  w.saveConfig();
  ApplyMainConfigSwitches(w.ws);
  CheckEmployeeTables(w.ws);
  EXPECT_FALSE(std::filesystem::exists(w.path("EMPANN")));
  EXPECT_EQ(w.ws.UserSlot, 3);
  EXPECT_TRUE(w.ws.board.EmployeeTablesReloaded);
  EXPECT_EQ(w.ws.mcfg.u8(mcfg::ArchiveMessages), 0) << "the switch outlives the re-read";

  // A read that fails leaves the flag for the next time.
  writeFile(w.path("EMPANN"), "1");
  std::filesystem::remove(w.path("CFGMAIN.DAF"));
  std::filesystem::create_directory(w.path("CFGMAIN.DAF"));
  w.ws.board.EmployeeTablesReloaded = false;
  CheckEmployeeTables(w.ws);
  EXPECT_TRUE(std::filesystem::exists(w.path("EMPANN")));
}

TEST(BoardHeading, ColumnsAndSortChoice) {
  BoardWorld w;
  w.mode(1);
  EXPECT_EQ(HeadingNotice(w.ws), 1388);
  w.ws.options.ReturnFirst = true;
  EXPECT_EQ(HeadingNotice(w.ws), 1787);
  w.mode(0);
  EXPECT_EQ(HeadingNotice(w.ws), 1383);
  EXPECT_EQ(SearchHeadingText(w.ws), "");
  w.ws.board.SearchText = "lease";
  EXPECT_EQ(SearchHeadingText(w.ws), "Search: \"lease\"");

  EXPECT_EQ(SortColumnForClick(10, 90, 1), 2);
  EXPECT_EQ(SortColumnForClick(74, 81, 1), 2);
  EXPECT_EQ(SortColumnForClick(75, 90, 3), 3) << "the subject's middle chooses nothing";
  EXPECT_EQ(SortColumnForClick(455, 90, 2), 2);
  EXPECT_EQ(SortColumnForClick(456, 99, 2), 1);
  EXPECT_EQ(SortColumnForClick(565, 90, 2), 1);
  EXPECT_EQ(SortColumnForClick(566, 90, 1), 3);
  EXPECT_EQ(SortColumnForClick(10, 80, 1), 1) << "outside the band";
  EXPECT_EQ(SortColumnForClick(10, 100, 1), 1);
}

TEST(BoardList, WhoAreYouFindsTheEmployeesOwnLine) {
  BoardWorld w;
  w.ws.mcfg.setEmpName(4, "Bob Carter");  // two employees of one name
  w.allIn();
  Build(w, 1);
  int slot = 0;
  const int line = FindWhoLine(w.ws, " bob", slot);
  EXPECT_EQ(slot, 2);
  ASSERT_GE(line, 0);
  EXPECT_EQ(RecordNumberOfLine(w.ws.board.BBSlist[static_cast<std::size_t>(line)].text), 2)
      << "Bob's line, not the other Bob Carter's";
  EXPECT_EQ(FindWhoLine(w.ws, "XYZ", slot), -1);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(FindWhoLine(w.ws, "", slot), -1);
}

// The kiosk signs in whoever's initials were typed, whatever names the
// other lines' destinations carry.
TEST(BoardList, WhoAreYouMatchesTheEmployeeNotTheTextOfOtherLines) {
  struct Row {
    const char* input;
    bool returnFirst;
    int slot;    // 0: unknown initials
    int record;  // the record of the line found; -1: no line
  };
  const Row rows[] = {
      {"eva", false, 5, 5},       // her name stands in Frank's destination, a line below hers
      {"eva", true, 5, 5},        // the same with the return column first
      {" bob ", false, 2, 2},     // Bob Carter is named in Claire's destination
      {"fra", false, 6, 6},
      {"Fischer", false, 0, -1},  // a name is not initials
      {"Claire", false, 0, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.input) + (row.returnFirst ? " (return first)" : ""));
    BoardWorld w;
    w.ws.mcfg.setEmpInitials(6, "FRA");
    w.ws.mcfg.setEmpName(6, "Frank Gruber");
    w.saveConfig();
    w.allIn();
    w.putLocation(3, "Call Bob Carter", w.ws.Today, 1500);
    w.putLocation(6, "Lunch with Eva Fischer", w.ws.Today, 1330);
    w.ws.options.ReturnFirst = row.returnFirst;
    Build(w, 1);
    int slot = -1;
    const int line = FindWhoLine(w.ws, row.input, slot);
    EXPECT_EQ(slot, row.slot);
    const int record = line < 0 ? -1 : RecordNumberOfLine(w.ws.board.BBSlist[static_cast<std::size_t>(line)].text);
    EXPECT_EQ(record, row.record);
  }
}

TEST(BoardList, MemoHintAtTheRightMargin) {
  BoardWorld w;
  w.allIn();
  Build(w, 1);
  // Five lines of 17 pixels fit into 300: the margin is 21 pixels.
  auto none = MemoHintFor(w.ws, 600, 20, 1, 100, 630, 300, 17);
  EXPECT_EQ(none.width, 0);
  auto h = MemoHintFor(w.ws, 620, 20, 1, 100, 630, 300, 17);
  EXPECT_EQ(h.text, "Memo of Bob Carter");
  EXPECT_EQ(h.width, static_cast<int>(7.3 * 18));
  EXPECT_EQ(h.top, std::min(100 + 300 - 18, 20 + 100 + 23));
  EXPECT_EQ(h.left, std::min(630, 620) - h.width + 15);
  // With more lines than fit the margin grows to 38 pixels.
  auto wide = MemoHintFor(w.ws, 600, 20, 1, 100, 630, 60, 17);
  EXPECT_GT(wide.width, 0);
  EXPECT_EQ(MemoHintFor(w.ws, 620, 20, 9, 100, 630, 300, 17).width, 0) << "no line under the pointer";
}

}  // namespace
}  // namespace egresso
