#include "platform/help_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace egresso {
namespace {

namespace fs = std::filesystem;

const fs::path kHelp = fs::path(EGRESSO_SOURCE_DIR) / "data" / "help";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(HelpPage, RequestsLeadToTheirPages) {
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Context, 800, ""),
            "file:///opt/egresso/help/configuration.html");
  // A context without a page of its own opens the contents rather than a missing file.
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Context, 4711, ""), "file:///opt/egresso/help/index.html");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Topic, 0, ""), "file:///opt/egresso/help/index.html");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Keyword, 0, "sign out"),
            "file:///opt/egresso/help/index.html?keyword=sign%20out#keywords");
  EXPECT_EQ(HelpPageUrl("/opt/egresso", HelpCommand::Quit, 0, ""), "");
}

TEST(HelpPage, FolderIsEncoded) {
  EXPECT_EQ(HelpPageUrl("/home/a b/\xE9", HelpCommand::Topic, 0, ""), "file:///home/a%20b/%E9/help/index.html");
  EXPECT_EQ(HelpPageUrl("/home/a b", HelpCommand::Context, 295, ""), "file:///home/a%20b/help/calculator.html");
}

// Every context number a window asks for, as written at the request sites
// in the sources, has a page of its own in the shipped help.
TEST(HelpPage, EveryRequestedContextHasAPage) {
  const std::regex site(R"(HelpCommand::Context|HelpRequestKind::Context|helpContext\s*=)");
  const std::regex number(R"(\b\d{3,5}\b)");
  std::set<int> requested;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(EGRESSO_SOURCE_DIR) / "src")) {
    if (!e.is_regular_file() || e.path().filename().string().starts_with("help_page")) continue;
    std::istringstream lines(slurp(e.path()));
    for (std::string line; std::getline(lines, line);) {
      if (!std::regex_search(line, site)) continue;
      for (std::sregex_iterator m(line.begin(), line.end(), number), end; m != end; ++m)
        requested.insert(std::stoi(m->str()));
    }
  }
  // 295 calculator, 800 configuration, 900 single user, 1300 and 1350 board and form.
  ASSERT_GE(requested.size(), 5u);
  for (int context : requested) {
    const std::string url = HelpPageUrl(kHelp.parent_path().string(), HelpCommand::Context, context, "");
    const std::string page = url.substr(url.rfind('/') + 1);
    EXPECT_NE(page, "index.html") << "no page for help context " << context;
    EXPECT_TRUE(fs::is_regular_file(kHelp / page)) << page << " for context " << context;
  }
  for (const HelpContextPage& p : HelpContextPages())
    EXPECT_TRUE(fs::is_regular_file(kHelp / p.page)) << p.page;
}

// Every link and style sheet of the help pages leads to a file of the help
// folder and, with a #fragment, to an element with that id; every page is
// reachable from the contents.
TEST(HelpPage, EveryLinkResolves) {
  const std::regex ref(R"re((?:href|src)="([^"]*)")re");
  std::set<std::string> pages, linkedFromIndex;
  for (const auto& e : fs::directory_iterator(kHelp))
    if (e.path().extension() == ".html") pages.insert(e.path().filename().string());
  ASSERT_TRUE(pages.contains("index.html"));
  for (const std::string& page : pages) {
    const std::string text = slurp(kHelp / page);
    for (std::sregex_iterator m(text.begin(), text.end(), ref), end; m != end; ++m) {
      const std::string target = (*m)[1].str();
      SCOPED_TRACE(page + " -> " + target);
      ASSERT_FALSE(target.empty());
      EXPECT_EQ(target.find(':'), std::string::npos) << "help stays inside its folder";
      EXPECT_EQ(target.find('/'), std::string::npos);
      const std::size_t hash = target.find('#');
      const std::string file = hash == 0 ? page : target.substr(0, hash);
      if (!fs::is_regular_file(kHelp / file)) {
        ADD_FAILURE() << "missing file";
        continue;
      }
      if (page == "index.html") linkedFromIndex.insert(file);
      if (hash != std::string::npos)
        EXPECT_NE(slurp(kHelp / file).find("id=\"" + target.substr(hash + 1) + "\""), std::string::npos)
            << "missing anchor";
    }
  }
  for (const std::string& page : pages)
    if (page != "index.html") EXPECT_TRUE(linkedFromIndex.contains(page)) << page << " not in the contents";
}

}  // namespace
}  // namespace egresso
