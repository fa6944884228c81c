#include "board/board_lines.h"

#include <gtest/gtest.h>

namespace egresso {
namespace {

// Characters from position from to position to, counting from 1.
std::string Cols(const std::string& s, int from, int to) {
  return s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
}

LocationLine Sample() {
  LocationLine l;
  l.name = "Bob Carter";
  l.location = "Client visit, Harbour Street 12";
  l.timeText = "2:30P";
  l.dateText = " 10DEC26";
  l.record = 2;
  return l;
}

TEST(BoardDateText, OnlyDatesLongerThanTheColumnLoseTheirBlanks) {
  EXPECT_EQ(FitDateText("10 DEC 26", 8), " 10DEC26");
  EXPECT_EQ(FitDateText("9 DEC 26", 8), "9 DEC 26") << "fits its column: keeps its blanks";
  EXPECT_EQ(FitDateText("1 JAN 27", 8), "1 JAN 27");
  EXPECT_EQ(FitDateText(" 9 DEC 26 ", 8), "9 DEC 26");
  EXPECT_EQ(FitDateText("1.1.27", 8), "  1.1.27");
  EXPECT_EQ(FitDateText("31.12.26", 8), "31.12.26") << "nothing to drop: it still fits the column";
  EXPECT_EQ(FitDateText("         ", 8), "        ");
  EXPECT_EQ(FitDateText("", 8), "        ");
  EXPECT_EQ(FitDateText("12 SEPTEMBER 2026", 8), "12SEPTEM");
}

TEST(BoardLines, DefaultLayoutPositions) {
  LocationLine l = Sample();
  l.stale = true;
  const std::string s = DefaultLocationText(l);
  ASSERT_EQ(s.size(), 89u);
  EXPECT_EQ(Cols(s, 1, 23), "Bob Carter             ");
  EXPECT_EQ(Cols(s, 24, 59), "Client visit, Harbour Street 12     ");
  EXPECT_EQ(Cols(s, 60, 60), " ");
  EXPECT_EQ(Cols(s, 61, 66), " 2:30P");
  // A blank keeps the date apart from the time, however full its column.
  EXPECT_EQ(Cols(s, 67, 67), " ");
  EXPECT_EQ(Cols(s, 68, 75), " 10DEC26");
  EXPECT_EQ(Cols(s, 76, 83), std::string(8, ' '));
  EXPECT_EQ(Cols(s, 84, 88), "00002");
  EXPECT_EQ(Cols(s, 89, 89), "X");

  l.name = "A name much longer than twenty-three";
  l.location = std::string(40, 'L');
  l.stale = false;
  const std::string t = DefaultLocationText(l);
  ASSERT_EQ(t.size(), 89u);
  EXPECT_EQ(Cols(t, 1, 23), "A name much longer than");
  EXPECT_EQ(Cols(t, 24, 59), std::string(36, 'L'));
  EXPECT_EQ(Cols(t, 89, 89), " ");
}

TEST(BoardLines, ReturnFirstLayoutPositions) {
  const std::string s = ReturnFirstLocationText(Sample(), "Not signed in yet");
  ASSERT_EQ(s.size(), 89u);
  EXPECT_EQ(Cols(s, 1, 6), " 2:30P");
  EXPECT_EQ(Cols(s, 7, 7), " ");
  EXPECT_EQ(Cols(s, 8, 15), " 10DEC26");
  EXPECT_EQ(Cols(s, 16, 17), "  ");
  EXPECT_EQ(Cols(s, 18, 40), "Bob Carter             ");
  EXPECT_EQ(Cols(s, 41, 76), "Client visit, Harbour Street 12     ");
  EXPECT_EQ(Cols(s, 77, 83), std::string(7, ' '));
  EXPECT_EQ(Cols(s, 84, 88), "00002");

  LocationLine stale = Sample();
  stale.location = "Not signed in yet";
  stale.stale = true;
  const std::string t = ReturnFirstLocationText(stale, "Not signed in yet");
  EXPECT_EQ(Cols(t, 1, 17), "Not signed in yet");
  EXPECT_EQ(Cols(t, 89, 89), "X");
}

TEST(BoardLines, CompactLayoutKeepsTheRecordColumn) {
  const std::string s = CompactLocationText(Sample());
  ASSERT_EQ(s.size(), 89u);
  EXPECT_EQ(s.substr(0, 45), "Bob Carter: Client visit, Harbour Street 12  ");
  EXPECT_EQ(Cols(s, 84, 88), "00002");

  LocationLine l = Sample();
  l.location = std::string(100, 'x');
  const std::string t = CompactLocationText(l);
  ASSERT_EQ(t.size(), 89u);
  EXPECT_EQ(Cols(t, 84, 88), "00002") << "a long line is cut before the record number";
}

TEST(BoardLines, MessageLayoutPositions) {
  MessageLine m{"Please sign the expense reports", true, " 10DEC26", "9:10A", "ANN", 12345};
  const std::string s = MessageLineText(m);
  ASSERT_EQ(s.size(), 88u);
  EXPECT_EQ(Cols(s, 1, 53), "Please sign the expense reports" + std::string(22, ' '));
  EXPECT_EQ(Cols(s, 54, 56), " * ");
  EXPECT_EQ(Cols(s, 57, 64), "10DEC26 ");
  EXPECT_EQ(Cols(s, 65, 65), " ");
  EXPECT_EQ(Cols(s, 66, 71), " 9:10A");
  EXPECT_EQ(Cols(s, 72, 72), " ");
  EXPECT_EQ(Cols(s, 73, 83), "ANN        ");
  EXPECT_EQ(Cols(s, 84, 88), "12345");
  m.closed = false;
  EXPECT_EQ(Cols(MessageLineText(m), 54, 56), "   ");
}

TEST(BoardLines, SortPrefixes) {
  EXPECT_EQ(BoardSortPrefix("Bob Carter-Smith"), "Bob Carter");
  EXPECT_EQ(BoardSortPrefix("Eva"), "Eva       ");
  // Newest first is the digit-wise complement of oldest first.
  const std::string oldest = MessageDatePrefix(15683, 905, true);
  const std::string newest = MessageDatePrefix(15683, 905, false);
  ASSERT_EQ(oldest.size(), 10u);
  ASSERT_EQ(newest.size(), 10u);
  EXPECT_EQ(std::stoi(oldest.substr(0, 2)) + std::stoi(newest.substr(0, 2)), 99);
  EXPECT_EQ(std::stoi(oldest.substr(2, 2)) + std::stoi(newest.substr(2, 2)), 12);
  EXPECT_EQ(std::stoi(oldest.substr(4, 2)) + std::stoi(newest.substr(4, 2)), 31);
  EXPECT_EQ(oldest.substr(6), "0905");
  EXPECT_EQ(newest.substr(6), "1454");
  EXPECT_EQ(MessageDatePrefix(15683, 2400, true).substr(6), "2359") << "times beyond the day are capped";
}

TEST(BoardLines, ColumnsReadBack) {
  const std::string s = DefaultLocationText(Sample());
  EXPECT_EQ(RecordNumberOfLine(s), 2);
  EXPECT_EQ(RecordNumberOfLine("short"), -1);
  EXPECT_EQ(RecordNumberOfLine(std::string(83, ' ') + "12a45"), -1);
  EXPECT_FALSE(LineIsStale(s));
  EXPECT_EQ(LineName(s, false), "Bob Carter");

  const std::string in = SignedInLineText(s, false);
  ASSERT_EQ(in.size(), 89u);
  EXPECT_EQ(Cols(in, 1, 23), "Bob Carter             ");
  EXPECT_EQ(Cols(in, 24, 83), std::string(60, ' '));
  EXPECT_EQ(RecordNumberOfLine(in), 2);

  const std::string rt = ReturnFirstLocationText(Sample(), "-");
  EXPECT_EQ(LineName(rt, true), "Bob Carter");
  const std::string rtIn = SignedInLineText(rt, true);
  ASSERT_EQ(rtIn.size(), 89u);
  EXPECT_EQ(LineName(rtIn, true), "Bob Carter");
}

// The compact line puts the return time after a name and a location of any
// length: long ones push it past the record number, where it is cut off.
TEST(BoardLines, CompactLineShowsItsReturnTimeOnlyWhenItFits) {
  constexpr auto C = LocationLayout::Compact;
  LocationLine l = Sample();
  l.location = std::string(60, 'x');  // "Bob Carter: " + 60 + " " + " 2:30P" ends at 79
  EXPECT_NE(LocationText(l, C, "-").find("2:30P"), std::string::npos);
  EXPECT_TRUE(LocationShowsReturnTime(l, C, "-"));
  l.name = std::string(23, 'n');
  EXPECT_EQ(LocationText(l, C, "-").find("2:30P"), std::string::npos);
  EXPECT_FALSE(LocationShowsReturnTime(l, C, "-"));
  EXPECT_TRUE(LocationShowsReturnTime(l, LocationLayout::Default, "-"));
}

TEST(BoardLines, OutColoursAndListOrder) {
  EXPECT_EQ(OutColourValue(1), 0xFFFF00u);
  EXPECT_EQ(OutColourValue(12), 0x0000FFu);
  EXPECT_EQ(OutColourValue(16), 0x008080u);
  EXPECT_EQ(OutColourValue(0), 0u);
  EXPECT_EQ(OutColourValue(17), 0u);
  EXPECT_TRUE(ListLess("anne", "Bob"));
  EXPECT_TRUE(ListLess("Bob", "bobby"));
  EXPECT_FALSE(ListLess("BOB", "bob"));
  EXPECT_FALSE(ListLess("bob", "BOB"));
}

}  // namespace
}  // namespace egresso
