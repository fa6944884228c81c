// The employee table changed by the configuration dialog reaches a
// workstation in another process before its next change.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/board_world.h"
#include "config/custom.h"

namespace egresso {
namespace {

using test::BoardWorld;

TEST(CustomTwoProcesses, AnotherWorkstationReloadsTheTableBeforeItsNextChange) {
  BoardWorld w;
  w.allIn();
  const std::string cmd = std::string("'") + EGRESSO_TEST_BIN_DIR + "/egresso_maintenance_child' '" + w.dir.str() +
                          "' signout BOB 'Dentist'";
  std::FILE* child = ::popen(cmd.c_str(), "r");
  ASSERT_NE(child, nullptr);
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, child), nullptr);
  EXPECT_EQ(std::string(line), "ready 2\n");  // Bob's slot as the other process loaded it

  // A new employee goes in above Bob, who moves to slot 3.
  CustomDialog dlg(w.ws);
  dlg.FormShow();
  ASSERT_TRUE(dlg.EnterGrid());
  dlg.SelectCell(2, 0);
  dlg.InsertRow();
  dlg.view.Grid[2] = {"ABE", "Abe Lincoln"};
  dlg.OKBtnClick(false);
  ASSERT_TRUE(dlg.view.Saved);
  ASSERT_TRUE(std::filesystem::exists(w.dir / "EMPBOB"));

  test::writeFile(w.dir / "GO", "");
  ASSERT_NE(std::fgets(line, sizeof line, child), nullptr);
  EXPECT_EQ(::pclose(child), 0);
  EXPECT_EQ(std::string(line), "slot 3\n");
  EXPECT_EQ(w.record("LOCATE.DAF", 3).who(), "BOB");
  EXPECT_EQ(w.record("LOCATE.DAF", 3).headline(), "Dentist");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).who(), "ABE");
  EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "");
  EXPECT_FALSE(std::filesystem::exists(w.dir / "EMPBOB"));
}

}  // namespace
}  // namespace egresso
