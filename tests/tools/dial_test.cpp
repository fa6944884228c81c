#include "tools/dial.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

class ModemSearch : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  test::TempDir data;
  void SetUp() override {
    ws.paths.DataFolder = data.str();
    ws.paths.PersonalConfigPath = data.str() + "/CFG.DAF";
  }
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

TEST_F(ModemSearch, FoundPortIsStoredUnlessNormalDataStandsBesideTheAlternativeFolder) {
  fake.serial.portWithModem = 2;
  ws.paths.AltDataFolder = data.str() + "/ALT";
  ws.options.NormalDataPresent = true;
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_FALSE(std::filesystem::exists(data / "CFG.DAF"));

  ws.options.NormalDataPresent = false;  // the alternative folder is the one in use
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_EQ(test::readFile(data / "CFG.DAF").at(880), '2');
}

}  // namespace
}  // namespace egresso
