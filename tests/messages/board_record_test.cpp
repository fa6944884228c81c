#include "messages/board_record.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "messages/board_files.h"

namespace egresso {
namespace {

// A record built byte by byte at the offsets of the layout.
std::array<std::uint8_t, 512> HandBuiltRecord() {
  std::array<std::uint8_t, 512> b{};
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(0xA0 + i % 7);  // junk everywhere
  auto str = [&](std::size_t off, const char* s) {
    b[off] = static_cast<std::uint8_t>(std::strlen(s));
    std::memcpy(&b[off + 1], s, std::strlen(s));
  };
  str(0, "BOB");
  for (int slot = 1; slot <= 50; ++slot) b[4 * slot] = 0;  // empty recipients
  str(4, "nul");                                           // entry 1
  str(12, "CLA");                                          // entry 3
  str(200, "EVA");                                         // entry 50
  str(213, "Call back");
  b[274] = 0x34; b[275] = 0x12;  // MadeDay 0x1234
  b[276] = 0xFE; b[277] = 0xFF;  // ReturnDay -2
  b[278] = 0x84; b[279] = 0x03;  // MadeTime 900
  b[280] = 0x54; b[281] = 0x0B;  // ReturnAt 2900
  b[282] = 1;                    // Closed
  for (int slot = 1; slot <= 50; ++slot) b[283 + slot] = 0;
  b[286] = 3;                    // mark of slot 3
  str(334, "ANN");
  b[338] = 0x10; b[339] = 0x04;  // ReadTime 1040
  b[340] = 0x35; b[341] = 0x12;  // ReadDay 0x1235
  b[342] = 0x01; b[343] = 0x02; b[344] = 0x03; b[345] = 0x04;  // ClockStart
  b[346] = 0xFF; b[347] = 0xFF; b[348] = 0xFF; b[349] = 0xFF;  // ClockDay -1
  b[350] = 0x07; b[351] = 0; b[352] = 0; b[353] = 0;           // ClockEntry 7
  return b;
}

TEST(BoardRecord, FieldsAreReadAtTheirOffsets) {
  BulBrdRcrd r;
  r.bytes = HandBuiltRecord();
  EXPECT_EQ(r.who(), "BOB");
  EXPECT_EQ(r.toList(1), "nul");
  EXPECT_EQ(r.toList(2), "");
  EXPECT_EQ(r.toList(3), "CLA");
  EXPECT_EQ(r.toList(50), "EVA");
  EXPECT_EQ(r.headline(), "Call back");
  EXPECT_EQ(r.madeDay(), 0x1234);
  EXPECT_EQ(r.returnDay(), -2);
  EXPECT_EQ(r.madeTime(), 900);
  EXPECT_EQ(r.returnAt(), 2900);
  EXPECT_EQ(r.closed(), 1);
  EXPECT_EQ(r.readMark(3), 3);
  EXPECT_EQ(r.readMark(2), 0);
  EXPECT_EQ(r.readMark(0), 0) << "slot 0 has no mark";
  EXPECT_EQ(r.readMark(51), 0);
  EXPECT_EQ(r.enteredBy(), "ANN");
  EXPECT_EQ(r.readTime(), 1040);
  EXPECT_EQ(r.readDay(), 0x1235);
  EXPECT_EQ(r.clockStart(), 0x04030201);
  EXPECT_EQ(r.clockDay(), -1);
  EXPECT_EQ(r.clockEntry(), 7);
  EXPECT_EQ(r.view().recipientCount(), 2) << "the nul marker is no recipient";
}

TEST(BoardRecord, WritingAFieldTouchesOnlyItsBytes) {
  BulBrdRcrd r;
  r.bytes = HandBuiltRecord();
  const auto before = r.bytes;
  r.setWho("AB");
  r.setHeadline("Lunch");
  r.setMadeDay(-300);
  r.setReturnAt(1715);
  r.setClosed(0);
  r.setReadMark(50, 2);
  r.setReadMark(51, 9);  // no such slot: ignored
  r.setToList(2, "DAN");
  r.setClockEntry(0x01020304);
  std::array<std::uint8_t, 512> expect = before;
  expect[0] = 2; expect[1] = 'A'; expect[2] = 'B';  // byte 3 keeps its old character
  expect[8] = 3; expect[9] = 'D'; expect[10] = 'A'; expect[11] = 'N';
  expect[213] = 5; std::memcpy(&expect[214], "Lunch", 5);
  expect[274] = 0xD4; expect[275] = 0xFE;
  expect[280] = 0xB3; expect[281] = 0x06;
  expect[282] = 0;
  expect[333] = 2;
  expect[350] = 0x04; expect[351] = 0x03; expect[352] = 0x02; expect[353] = 0x01;
  EXPECT_EQ(r.bytes, expect);
}

TEST(BoardRecord, DamagedLengthBytesAreClamped) {
  BulBrdRcrd r;
  r.bytes[0] = 200;  // Who claims 200 characters
  std::memcpy(&r.bytes[1], "XYZW", 4);
  r.bytes[213] = 255;
  EXPECT_EQ(r.who(), "XYZ");
  EXPECT_EQ(r.headline().size(), 60u);
}

TEST(BoardRecord, SigningInKeepsOnlyTheWorkClock) {
  BulBrdRcrd r;
  r.bytes = HandBuiltRecord();
  r.clearKeepingClock();
  EXPECT_EQ(r.clockStart(), 0x04030201);
  EXPECT_EQ(r.clockDay(), -1);
  EXPECT_EQ(r.clockEntry(), 7);
  BulBrdRcrd cleared;
  cleared.setClockStart(0x04030201);
  cleared.setClockDay(-1);
  cleared.setClockEntry(7);
  EXPECT_EQ(r.bytes, cleared.bytes);
}

TEST(BoardIndexEntry, ThreeBytesKeyThenFlags) {
  const std::array<std::uint8_t, 6> b{0x34, 0x12, 0x03, 0xFF, 0xFF, 0x00};
  auto e = BoardIndexEntry::decode(b);
  EXPECT_EQ(e.Key, 0x1234);
  EXPECT_EQ(e.Flags, 3);
  EXPECT_TRUE(e.closed());
  EXPECT_TRUE(e.stale());
  auto f = BoardIndexEntry::decode(b, 3);
  EXPECT_EQ(f.Key, -1);
  EXPECT_FALSE(f.closed());
  std::array<std::uint8_t, 6> out{};
  e.encode(out);
  f.encode(out, 3);
  EXPECT_EQ(out, b);
}

TEST(BoardRecord, AddressedToEveryoneOrToTheListedInitials) {
  BulBrdRcrd everyone;
  EXPECT_TRUE(IsAddressedTo(everyone, "ANN"));
  EXPECT_TRUE(IsAddressedTo(everyone, "ZZZ"));
  EXPECT_TRUE(IsAddressedTo(everyone, ""));

  BulBrdRcrd some;
  some.bytes = HandBuiltRecord();  // nul, CLA, EVA
  EXPECT_TRUE(IsAddressedTo(some, "CLA"));
  EXPECT_TRUE(IsAddressedTo(some, "EVA"));
  EXPECT_FALSE(IsAddressedTo(some, "ANN"));
  EXPECT_FALSE(IsAddressedTo(some, "CL"));
  EXPECT_FALSE(IsAddressedTo(some, "")) << "no initials never match an empty recipient slot";
}

TEST(BoardRecord, InitialsThatCannotStandInAFieldMatchNoField) {
  BulBrdRcrd r;
  r.setWho("ANN");
  const InitialsMatch tooLong("ANNA");
  EXPECT_FALSE(tooLong.valid());
  EXPECT_FALSE(tooLong(r.bytes.data() + brd::Who));
  r.setWho("");
  EXPECT_FALSE(tooLong(r.bytes.data() + brd::Who));
  const InitialsMatch none("", false);
  EXPECT_FALSE(none(r.bytes.data() + brd::Who)) << "an empty field is not matched when no initials may match it";
  const InitialsMatch empty("");
  EXPECT_TRUE(empty(r.bytes.data() + brd::Who));
}

}  // namespace
}  // namespace egresso
