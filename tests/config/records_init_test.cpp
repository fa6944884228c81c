#include "config/records_init.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

using ByteVec = std::vector<std::uint8_t>;

// Written out by hand, independent of the record codecs.
void put(std::vector<std::uint8_t>& b, std::size_t off, std::initializer_list<int> values) {
  for (int v : values) b[off++] = static_cast<std::uint8_t>(v);
}
void putText(std::vector<std::uint8_t>& b, std::size_t off, const std::string& s) {
  b[off] = static_cast<std::uint8_t>(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) b[off + 1 + i] = static_cast<std::uint8_t>(s[i]);
}

class NewRecords : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  void SetUp() override {
    ws.notices.lines.assign(900, "");
    ws.notices.lines[137 - 1] = "Client";
    ws.notices.lines[127 - 1] = "Project";
    ws.notices.lines[129 - 1] = "Account code";
    ws.notices.lines[128 - 1] = "A term much longer than fifteen";
    ws.notices.lines[136 - 1] = "Task";
    for (int n = 831; n <= 838; ++n) ws.notices.lines[n - 1] = "1 Term" + std::to_string(n);
    ws.notices.lines[835 - 1] = "5";  // too short to have a third character
    ws.Today = 0x3A21;
  }
};

TEST_F(NewRecords, MainConfigBytes) {
  ws.mcfg.bytes.fill(0xEE);  // whatever was in memory goes, except the trace flag
  ws.mcfg.setU8(mcfg::TraceLog, 1);
  InitMainConfig(ws);

  ByteVec want(6144, 0);
  put(want, 0, {0x21, 0x3A});
  put(want, 4603, {1, 1});
  put(want, 4608, {1});
  putText(want, 4628, "Client");
  putText(want, 4644, "Project");
  putText(want, 4660, "Account code");
  putText(want, 4676, "A term much lon");
  putText(want, 4692, "Task");
  put(want, 4720, {0x87, 0, 0, 0, 0, 0xC6});  // -99 as a 6-byte real
  for (int i = 0; i < 8; ++i)
    if (i != 4) putText(want, 4830 + 16 * i, "Term" + std::to_string(831 + i));
  put(want, 4966, {1});
  put(want, 5043, {4});

  EXPECT_EQ(ByteVec(ws.mcfg.bytes.begin(), ws.mcfg.bytes.end()), want);
  EXPECT_EQ(ws.mcfg.u8(mcfg::BoardTimerSeconds), 4);
  EXPECT_TRUE(ws.mcfg.flag(mcfg::OneUserDate));
  for (int slot = 1; slot <= 50; ++slot) EXPECT_EQ(ws.mcfg.empInitials(slot), "");
  EXPECT_EQ(ws.mcfg.groupName(1), "");
}

TEST_F(NewRecords, MainConfigTraceFlagStaysOffWhenOff) {
  ws.mcfg.bytes.fill(0);
  InitMainConfig(ws);
  EXPECT_EQ(ws.mcfg.u8(mcfg::TraceLog), 0);
}

ByteVec personalBytes(int homeLeft, int homeTop, int homeWidth, int homeHeight) {
  ByteVec want(1024, 0);
  put(want, 0,
      {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0xD4, 0xD0, 0xC8, 0, 0, 0, 0, 0,
       0xFF, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0x80, 0, 0});
  put(want, 40, {0x20, 0x03, 0xC2, 0x06, 127, 0, 0, 0});
  put(want, 93, {2, 2, 0});
  put(want, 110, {1, 0, 1, 0, 1});
  put(want, 120, {1});
  put(want, 125, {1, 1, 0, 1, 1, 1, 1});
  put(want, 137, {1, 1, 0, 1});
  put(want, 155, {1});
  put(want, 160, {homeLeft & 0xFF, homeLeft >> 8, homeTop & 0xFF, homeTop >> 8, homeWidth & 0xFF, homeWidth >> 8,
                  homeHeight & 0xFF, homeHeight >> 8});
  put(want, 171, {128, 0, 0, 0, 128, 128, 0, 0, 128, 128, 0, 0, 0, 0, 128, 0, 128, 0, 0, 0, 128, 128, 0, 0,
                  0, 128, 128, 0, 0, 0, 0, 0, 0, 0, 128, 0, 255, 0, 0, 0, 0, 128, 0, 0, 0, 0, 0, 0,
                  0, 0, 0, 0, 128, 128, 128, 0, 0, 0, 0, 0, 192, 192, 192, 0, 0, 0, 0, 0});
  put(want, 251, {1});
  put(want, 872, {1, 0, 0, 0, 1, 0, 1, 'T', 0});
  putText(want, 901, "alarm.wav");
  put(want, 942, {1});
  return want;
}

TEST_F(NewRecords, PersonalConfigBytesOnALargeScreen) {
  ws.options.Display = {1280, 1024, 0x00C8D0D4};
  ws.pcfg.bytes.fill(0x55);
  InitPersonalConfig(ws);
  EXPECT_EQ(ByteVec(ws.pcfg.bytes.begin(), ws.pcfg.bytes.end()), personalBytes(2, 2, 1276, 1020));
  EXPECT_EQ(ws.pcfg.i16(pcfg::WorkDayBegin), 800);
  EXPECT_EQ(ws.pcfg.i16(pcfg::WorkDayEnd), 1730);
  EXPECT_EQ(ws.pcfg.u8(pcfg::DialMode), 'T');
  EXPECT_EQ(ws.pcfg.str(pcfg::AlarmSound, 40), "alarm.wav");
}

TEST_F(NewRecords, PersonalConfigPlacementNeverBelowTheSmallestWindow) {
  ws.options.Display = {640, 480, 0x00C8D0D4};
  InitPersonalConfig(ws);
  EXPECT_EQ(ByteVec(ws.pcfg.bytes.begin(), ws.pcfg.bytes.end()), personalBytes(1, 1, 640, 480));
  ws.options.Display = {300, 200, 0x00C8D0D4};
  InitPersonalConfig(ws);
  EXPECT_EQ(ByteVec(ws.pcfg.bytes.begin(), ws.pcfg.bytes.end()), personalBytes(1, 1, 640, 480));
}

}  // namespace
}  // namespace egresso
