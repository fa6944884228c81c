#include "config/records.h"

#include <gtest/gtest.h>

namespace egresso {
namespace {

TEST(MainConfigRecord, EmployeeAndGroupFieldsSitAtTheirOffsets) {
  MainConfig m;
  m.setEmpInitials(1, "ABC");
  m.setEmpInitials(50, "XYZ");
  m.setEmpName(50, "Zoe Last");
  EXPECT_EQ(m.bytes[6], 3);
  EXPECT_EQ(m.bytes[6 + 4 * 49], 3);
  EXPECT_EQ(m.bytes[6 + 4 * 49 + 1], 'X');
  EXPECT_EQ(m.bytes[206 + 21 * 49], 8);
  EXPECT_EQ(m.bytes[206 + 21 * 49 + 1], 'Z');
  m.bytes[3256 + 4 * 19] = 2;
  m.bytes[3256 + 4 * 19 + 1] = 'G';
  m.bytes[3256 + 4 * 19 + 2] = 'R';
  EXPECT_EQ(m.groupName(20), "GR");
  m.bytes[3336 + 60 * 19 + 4 * 14] = 1;
  m.bytes[3336 + 60 * 19 + 4 * 14 + 1] = 'Q';
  EXPECT_EQ(m.groupMember(20, 15), "Q");
}

TEST(MainConfigRecord, NumbersOutsideTheTablesNameNobody) {
  MainConfig m;
  m.bytes.fill(3);  // every length byte says "three characters"
  const auto before = m.bytes;
  for (int slot : {0, -1, 51, 1000, 1 << 30}) {
    EXPECT_EQ(m.empInitials(slot), "") << slot;
    EXPECT_EQ(m.empName(slot), "") << slot;
    m.setEmpInitials(slot, "BAD");
    m.setEmpName(slot, "Nobody");
  }
  EXPECT_EQ(m.bytes, before);
  EXPECT_EQ(m.groupName(0), "");
  EXPECT_EQ(m.groupName(21), "");
  EXPECT_EQ(m.groupMember(1, 16), "");
  EXPECT_EQ(m.groupMember(21, 1), "");
  EXPECT_EQ(m.groupMember(1, 0), "");
  EXPECT_EQ(m.groupMember(1, 15).size(), 3u);
}

TEST(PersonalConfigRecord, IndexesOutsideAFieldReadAsZero) {
  PersonalConfig p;
  p.bytes.fill(0x11);
  EXPECT_EQ(p.color(9), 0x11111111);
  EXPECT_EQ(p.color(10), 0);
  EXPECT_EQ(p.color(-1), 0);
  EXPECT_EQ(p.panelArea(3), 0x1111);
  EXPECT_EQ(p.panelArea(4), 0);
  EXPECT_EQ(p.homePlacement(-1), 0);
}

}  // namespace
}  // namespace egresso
