#include "board/print_detail.h"

#include <gtest/gtest.h>

#include "board/board_world.h"

namespace egresso {
namespace {

TEST(PrintDetail, HundredLinesMakeThreePagesEachWithItsHeading) {
  test::BoardWorld w;
  w.notice(725, "Page");
  w.notice(1397, "In/Out Board");
  w.notice(1382, "Messages");
  w.notice(1456, "Message Archive");
  w.notice(32, "Messages for");
  std::vector<std::string> lines;
  for (int i = 0; i < 100; ++i) lines.push_back(std::string(88, 'a' + i % 26));
  const auto pages = PrintDetailPages(lines);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].size(), 47u);
  EXPECT_EQ(pages[1].size(), 47u);
  EXPECT_EQ(pages[2].size(), 6u);
  EXPECT_EQ(pages[2][5].size(), 80u);
  EXPECT_TRUE(PrintDetailPages({}).empty());

  EXPECT_EQ(PrintDetailHeading(w.ws, 2).page, "Page 2");
  EXPECT_EQ(PrintDetailHeading(w.ws, 1).title, "In/Out Board");
  EXPECT_EQ(PrintDetailHeading(w.ws, 1).userLine, "");
  w.mode(0, true);
  EXPECT_EQ(PrintDetailHeading(w.ws, 1).title, "Message Archive");
  EXPECT_EQ(PrintDetailHeading(w.ws, 1).userLine, " Messages for ANN");
}

}  // namespace
}  // namespace egresso
