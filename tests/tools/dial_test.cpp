#include "tools/dial.h"

#include <gtest/gtest.h>

#include "startup/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

class ModemSearch : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
};

TEST_F(ModemSearch, AllPortsInTurnUntilOneAnswers) {
  fake.serial.portWithModem = 3;
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ws.pcfg.u8(pcfg::ModemPort), '3');
}

TEST_F(ModemSearch, OnlyTheGivenPort) {
  fake.serial.portWithModem = 3;
  EXPECT_FALSE(FindModemPort(ws, 2));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{2}));
  EXPECT_EQ(ws.pcfg.u8(pcfg::ModemPort), 0);
}

TEST_F(ModemSearch, NoModemAnywhere) {
  EXPECT_FALSE(FindModemPort(ws, 7));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 2, 3, 4}));
  ws.platform.serial = nullptr;
  EXPECT_FALSE(FindModemPort(ws, 0));
}

}  // namespace
}  // namespace egresso
