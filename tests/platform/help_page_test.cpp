#include "platform/help_page.h"

#include <gtest/gtest.h>

namespace egresso {
namespace {

TEST(HelpPage, RequestsLeadToTheIndexPage) {
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Context, 800, ""),
            "file:///opt/egresso/help/index.html#context-800");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Topic, 0, ""), "file:///opt/egresso/help/index.html");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Keyword, 0, "sign out"),
            "file:///opt/egresso/help/index.html?keyword=sign%20out#keywords");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Quit, 0, ""), "");
}

TEST(HelpPage, FolderIsEncoded) {
  EXPECT_EQ(HelpPageUrl("/home/a b/\xE9", HelpCommand::Topic, 0, ""), "file:///home/a%20b/%E9/help/index.html");
}

}  // namespace
}  // namespace egresso
