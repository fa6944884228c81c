// Two workstations in two processes on one data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "board/board_world.h"
#include "board/refresh.h"
#include "support/share_folder.h"

namespace egresso {
namespace {

using test::BoardWorld;

int RunWriter(const BoardWorld& w, const std::string& user, int slot, int returnDay, const std::string& headline) {
  const std::string cmd = std::string("'") + EGRESSO_TEST_BIN_DIR + "/egresso_board_writer_child' '" + w.dir.str() +
                          "' " + user + " " + std::to_string(slot) + " " + std::to_string(returnDay) + " '" +
                          headline + "'";
  return std::system(cmd.c_str());
}

void ASignOutInOneProcessReachesTheBoardOfTheOther(const std::string& base) {
  BoardWorld w("BOB", base);
  w.allIn();
  FormShow(w.ws);
  EXPECT_FALSE(Timer1Timer(w.ws).listRebuilt);

  ASSERT_EQ(RunWriter(w, "CLA", 3, w.ws.Today, "Meeting at the bank"), 0);
  // The other process wrote with the real clock; the board compares with its
  // own (fake) clock, so the files get a time a few seconds before it.
  test::SetFileTimeToClock(w.path("LOCATE.DAF"), w.fake.clock, -3);
  test::SetFileTimeToClock(w.path("LOCATE.DAI"), w.fake.clock, -3);
  EXPECT_TRUE(Timer1Timer(w.ws).listRebuilt);
  bool found = false;
  for (const auto& l : w.ws.board.BBSlist)
    found = found || (l.text.rfind("Claire Dumont", 0) == 0 && l.text.find("Meeting at the bank") == 23);
  EXPECT_TRUE(found);
  EXPECT_FALSE(Timer1Timer(w.ws).listRebuilt);
  for (const auto& entry : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_NE(entry.path().extension(), ".LOK") << entry.path();
}

TEST(TwoProcesses, ASignOutInOneProcessReachesTheBoardOfTheOther) { ASignOutInOneProcessReachesTheBoardOfTheOther(""); }

TEST(TwoProcesses, ASignOutInOneProcessReachesTheBoardOfTheOtherOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  ASignOutInOneProcessReachesTheBoardOfTheOther(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
