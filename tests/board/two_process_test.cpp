// Two workstations in two processes on one data folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "board/board_world.h"
#include "board/refresh.h"

namespace egresso {
namespace {

using test::BoardWorld;

int RunWriter(const BoardWorld& w, const std::string& user, int slot, int returnDay, const std::string& headline) {
  const std::string cmd = std::string("'") + EGRESSO_TEST_BIN_DIR + "/egresso_board_writer_child' '" + w.dir.str() +
                          "' " + user + " " + std::to_string(slot) + " " + std::to_string(returnDay) + " '" +
                          headline + "'";
  return std::system(cmd.c_str());
}

TEST(TwoProcesses, ASignOutInOneProcessReachesTheBoardOfTheOther) {
  BoardWorld w("BOB");
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
}

}  // namespace
}  // namespace egresso
