#include "messages/board_files.h"

#include <gtest/gtest.h>

#include "board/board_list.h"
#include "board/board_world.h"
#include "core/workstation.h"

namespace egresso {
namespace {

using test::BoardWorld;
using test::readFile;
using test::writeFile;

TEST(BoardFiles, WriteAndReadARecordWithItsIndexEntry) {
  BoardWorld w;
  w.putLocation(2, "Dentist", w.ws.Today + 1, 1100);
  const auto e = w.index("LOCATE.DAI", 2);
  EXPECT_EQ(e.Key, w.ws.Today + 1) << "locations are keyed by their return day";
  EXPECT_EQ(e.Flags, 0);

  w.ws.board.RecordBuffer.clear();
  EXPECT_EQ(ReadBoardRecord(w.ws, 2, "T"), 0);
  EXPECT_EQ(w.ws.board.RecordBuffer.headline(), "Dentist");
  EXPECT_EQ(w.ws.board.RecordBuffer.who(), "BOB");

  const int n = w.putMessage({"BOB", {"ANN"}, "Hello", w.ws.Today - 1, 930, {}});
  const auto m = w.index("MESSAGE.DAI", n);
  EXPECT_EQ(m.Key, w.ws.Today - 1) << "messages are keyed by the day they were made";
  EXPECT_EQ(m.Flags, 0);
}

TEST(BoardFiles, ReadingBeyondTheEndLeavesTheBuffer) {
  BoardWorld w;
  for (int j = 0; j < 5; ++j) w.putLocation(j, "x", 0);
  w.ws.board.RecordBuffer.setHeadline("kept");
  EXPECT_EQ(ReadBoardRecord(w.ws, 10, "T"), 0) << "no error either";
  EXPECT_EQ(w.ws.board.RecordBuffer.headline(), "kept");
}

TEST(BoardFiles, WritingPastAMissingFileKeepsTheRecordNumber) {
  BoardWorld w;
  w.putLocation(7, "Lunch", w.ws.Today);
  RecordFile f;
  ASSERT_EQ(f.open(w.path("LOCATE.DAF"), brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()), 0);
  EXPECT_EQ(f.recordCount(), 8);
  EXPECT_EQ(w.record("LOCATE.DAF", 7).headline(), "Lunch");
  for (int j = 0; j < 7; ++j) {
    EXPECT_EQ(w.record("LOCATE.DAF", j).closed(), 1) << "slot " << j << " is an empty signed-in record";
    EXPECT_TRUE(w.index("LOCATE.DAI", j).closed());
  }
}

TEST(BoardFiles, AMissingIndexIsRebuiltFromTheRecords) {
  BoardWorld w;
  w.putLocation(1, "Away", w.ws.Today + 2);
  w.putLocation(2, "", 0, 0, true);
  std::filesystem::remove(w.path("LOCATE.DAI"));
  w.putLocation(3, "Bank", w.ws.Today);
  EXPECT_EQ(w.index("LOCATE.DAI", 1).Key, w.ws.Today + 2);
  EXPECT_FALSE(w.index("LOCATE.DAI", 1).closed());
  EXPECT_TRUE(w.index("LOCATE.DAI", 2).closed());
  EXPECT_EQ(w.index("LOCATE.DAI", 3).Key, w.ws.Today);
}

TEST(BoardFiles, KeepIndexFlagsWritesTheFlagsGiven) {
  BoardWorld w;
  w.putLocation(2, "Out", w.ws.Today);
  w.ws.board.KeepIndexFlags = 3;
  w.ws.board.RecordBuffer.setClosed(0);
  WriteBoardRecord(w.ws, 2, "WCBC");
  EXPECT_EQ(w.index("LOCATE.DAI", 2).Flags, 3);
  w.ws.board.KeepIndexFlags = -1;
  WriteBoardRecord(w.ws, 2, "WCBC");
  EXPECT_EQ(w.index("LOCATE.DAI", 2).Flags, 0) << "normally the flags follow Closed";
}

TEST(BoardFiles, ADataFileThatCannotBeOpenedIsRetriedThenGivenUp) {
  BoardWorld w;
  w.notice(1901, "Cannot write ");
  w.notice(1902, "\" now.");
  w.notice(1903, " Closing.");
  w.mode(1);
  std::filesystem::create_directory(w.path("LOCATE.DAF"));  // there, but no record file
  EXPECT_NE(WriteBoardRecord(w.ws, 3, "T"), 0);
  EXPECT_EQ(w.fake.dialogs.beeps, 10);
  EXPECT_EQ(w.fake.events.slept, 10 * 1000);
  ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u);
  const std::string& m = w.fake.dialogs.dialogs[0].message;
  EXPECT_EQ(m.rfind("Cannot write \"" + w.path("LOCATE.DAF") + "\" now. (", 0), 0u) << m;
  EXPECT_TRUE(m.ends_with(" Closing.")) << m;
  EXPECT_EQ(w.fake.dialogs.dialogs[0].button3, "OK");
  EXPECT_TRUE(w.ws.QuitRequested);
  EXPECT_FALSE(std::filesystem::exists(w.path("LOCATE.DAI"))) << "nothing written";
}

TEST(BoardFiles, ArchivingAppendsACleanCopyWithItsBody) {
  BoardWorld w;
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  const int a = w.putMessage({"BOB", {"ANN", "CLA"}, "First", w.ws.Today, 900, {{"ANN", 1}}});
  const int b = w.putMessage({"CLA", {"ANN"}, "Second", w.ws.Today - 3, 1000, {{"ANN", 3}}});
  writeFile(w.path("BULLETIN/" + std::to_string(b) + ".DA0"), "Body of the second\r\n");
  writeFile(w.path("BULLETIN/0.DA2"), "left over from an older archive");

  ReadBoardRecord(w.ws, a, "T");
  ArchiveMessage(w.ws, a);
  ReadBoardRecord(w.ws, b, "T");
  w.ws.board.RecordBuffer.setClosed(1);
  ArchiveMessage(w.ws, b);

  const auto first = w.record("MESSARC.DAF", 0);
  EXPECT_EQ(first.headline(), "First");
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/0.DA2"))) << "a stale body is not attached to it";
  const auto second = w.record("MESSARC.DAF", 1);
  EXPECT_EQ(second.headline(), "Second");
  EXPECT_EQ(second.closed(), 0);
  for (int s = 1; s <= 50; ++s) EXPECT_EQ(second.readMark(s), 0);
  EXPECT_EQ(w.index("MESSARC.DAI", 1).Key, w.ws.Today - 3);
  EXPECT_EQ(w.index("MESSARC.DAI", 1).Flags, 0);
  EXPECT_EQ(readFile(w.path("BULLETIN/1.DA2")), "Body of the second\r\n");
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/" + std::to_string(b) + ".DA0")));
}

TEST(BoardFiles, WithoutArchivingTheBodyIsRemovedAndNothingAppended) {
  BoardWorld w;
  const int a = w.putMessage({"BOB", {"ANN"}, "Gone", w.ws.Today, 900, {}});
  writeFile(w.path("BULLETIN/" + std::to_string(a) + ".DA0"), "text");
  ReadBoardRecord(w.ws, a, "T");
  ArchiveMessage(w.ws, a);
  EXPECT_FALSE(std::filesystem::exists(w.path("MESSARC.DAF")));
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/" + std::to_string(a) + ".DA0")));
}

// A board file ending in part of a record (a write cut short, a damaged
// copy) keeps those bytes for repair: no board writer covers or absorbs
// them, and the records before them can still be written.
TEST(BoardFiles, NoWriterCoversADamagedPartialRecordAtTheEnd) {
  BoardWorld w;
  w.allIn();
  const std::string tail = "pa";  // shorter than an index entry too
  auto damage = [&](const std::string& name) {
    writeFile(w.path(name), readFile(w.path(name)) + tail);
    return readFile(w.path(name));
  };
  auto errorsBefore = w.fake.dialogs.boxes.size() + w.fake.dialogs.dialogs.size();

  // WriteBoardRecord: past the end of the data file, then of the index.
  std::string data = damage("LOCATE.DAF");
  w.putLocation(51, "Far away", w.ws.Today);
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")), data);
  w.putLocation(2, "Lunch", w.ws.Today, 1300);
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Lunch") << "records before the tail are written";
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")).substr(readFile(w.path("LOCATE.DAF")).size() - tail.size()), tail);
  std::filesystem::resize_file(w.path("LOCATE.DAF"), 51 * brd::Size);
  const std::string index = damage("LOCATE.DAI");
  w.putLocation(51, "Far away", w.ws.Today);
  EXPECT_EQ(readFile(w.path("LOCATE.DAI")), index);
  EXPECT_GT(w.fake.dialogs.boxes.size() + w.fake.dialogs.dialogs.size(), errorsBefore) << "each refusal is reported";

  // ArchiveMessage: the archive is not extended and the body stays.
  w.ws.mcfg.setU8(mcfg::ArchiveMessages, 1);
  const int a = w.putMessage({"BOB", {"ANN"}, "First", w.ws.Today, 900, {}});
  ReadBoardRecord(w.ws, a, "T");
  ArchiveMessage(w.ws, a);
  const int b = w.putMessage({"BOB", {"ANN"}, "Second", w.ws.Today, 900, {}});
  writeFile(w.path("BULLETIN/" + std::to_string(b) + ".DA0"), "body");
  const std::string archive = damage("MESSARC.DAF");
  ReadBoardRecord(w.ws, b, "T");
  ArchiveMessage(w.ws, b);
  EXPECT_EQ(readFile(w.path("MESSARC.DAF")), archive);
  EXPECT_EQ(w.index("MESSARC.DAI", 0).Key, w.ws.Today);
  EXPECT_TRUE(std::filesystem::exists(w.path("BULLETIN/" + std::to_string(b) + ".DA0")));

  // The list pass: an entry due to be signed in whose record lies in the
  // damaged part is shown, not written.
  w.mode(1);
  std::filesystem::resize_file(w.path("LOCATE.DAI"), 52 * brd::IndexSize);
  std::filesystem::resize_file(w.path("LOCATE.DAF"), 4 * brd::Size);
  BoardIndexEntry old{static_cast<std::int16_t>(w.ws.Today - 1), 0};
  std::array<std::uint8_t, brd::IndexSize> e{};
  old.encode(e);
  {
    RecordFile f;
    ASSERT_EQ(f.open(w.path("LOCATE.DAI"), brd::IndexSize, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
    ASSERT_EQ(f.write(7, e), 0);
  }
  data = damage("LOCATE.DAF");
  BuildBoardList(w.ws);
  EXPECT_EQ(readFile(w.path("LOCATE.DAF")), data);
}

TEST(BoardFiles, NextMessageNumberReusesADeletedSlot) {
  BoardWorld w;
  for (int i = 0; i < 5; ++i) w.putMessage({"BOB", {}, "m" + std::to_string(i), w.ws.Today, 900, {}});
  EXPECT_EQ(NextMessageNumber(w.ws), 5) << "no deleted slot: append";
  ReadBoardRecord(w.ws, 3, "T");
  w.ws.board.RecordBuffer.setClosed(1);
  WriteBoardRecord(w.ws, 3, "T");
  writeFile(w.path("BULLETIN/3.DA0"), "old body");
  EXPECT_EQ(NextMessageNumber(w.ws), 3);
  EXPECT_FALSE(std::filesystem::exists(w.path("BULLETIN/3.DA0"))) << "the old body goes with the slot";

  w.mode(1);
  EXPECT_EQ(NextMessageNumber(w.ws), w.ws.UserSlot) << "a location record is the employee's slot";

  w.mode(0);
  std::filesystem::remove(w.path("MESSAGE.DAI"));
  EXPECT_EQ(NextMessageNumber(w.ws), 5) << "without an index: the record count";
  std::filesystem::remove(w.path("MESSAGE.DAF"));
  EXPECT_EQ(NextMessageNumber(w.ws), 0);
}

TEST(BoardFiles, SignAllOutMarksEveryEntryOfAnEarlierDay) {
  BoardWorld w;
  w.allIn();                                      // Key 0 everywhere
  w.putLocation(2, "Trip", w.ws.Today + 3);       // not due
  w.putLocation(3, "Yesterday", w.ws.Today - 1);  // due
  w.putLocation(4, "Today", w.ws.Today);          // not due
  // An entry marked before keeps its mark, not a doubled one.
  RecordFile idx;
  ASSERT_EQ(idx.open(w.path("LOCATE.DAI"), 3, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
  std::array<std::uint8_t, 3> e{0, 0, 3};
  idx.write(5, e);
  idx.close();

  SignAllOut(w.ws);
  EXPECT_EQ(w.index("LOCATE.DAI", 0).Flags, 1) << "record 0 is never marked";
  EXPECT_EQ(w.index("LOCATE.DAI", 1).Flags, 1 | 2) << "an employee who is in (Key 0) is marked too";
  EXPECT_EQ(w.index("LOCATE.DAI", 2).Flags, 0);
  EXPECT_EQ(w.index("LOCATE.DAI", 3).Flags, 2);
  EXPECT_EQ(w.index("LOCATE.DAI", 4).Flags, 0);
  EXPECT_EQ(w.index("LOCATE.DAI", 5).Flags, 3);

  // The next write of a record clears the mark again.
  w.putLocation(3, "Back tomorrow", w.ws.Today + 1);
  EXPECT_EQ(w.index("LOCATE.DAI", 3).Flags, 0);
}

TEST(BoardFiles, BodyTextsAreWrittenWithCrLf) {
  BoardWorld w;
  const auto p = BodyFilePath(w.ws, BoardSet::Messages, 17);
  EXPECT_EQ(p.filename(), "17.DA0");
  EXPECT_EQ(BodyFilePath(w.ws, BoardSet::Locations, 3).filename(), "3.DA1");
  EXPECT_EQ(BodyFilePath(w.ws, BoardSet::Archive, 0).filename(), "0.DA2");
  EXPECT_EQ(WriteBodyText(p, "one\ntwo\r\nthree\rfour", PosixFileOps()), 0);
  EXPECT_EQ(readFile(p), "one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(ReadBodyText(p, PosixFileOps()), "one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(ReadBodyText(w.dir / "BULLETIN/99.DA0", PosixFileOps()), "");
}

TEST(BoardFiles, KnownEmployeesAreThoseOfTheTable) {
  BoardWorld w;
  BulBrdRcrd r;
  r.setWho("CLA");
  EXPECT_TRUE(IsKnownEmployee(w.ws, r));
  r.setWho("XYZ");
  EXPECT_FALSE(IsKnownEmployee(w.ws, r));
}

}  // namespace
}  // namespace egresso
