// Numbers and addresses found in text, stamps, and what a text may open.
#include "storage/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "board/board_world.h"

namespace egresso {
namespace {

using test::BoardWorld;

TEST(Extract, PhoneNumbersMailAndWebAddresses) {
  EXPECT_EQ(ExtractPhoneNumber("Call 555-1234 today", 7), "5551234");
  EXPECT_EQ(ExtractPhoneNumber("Room 12, ext 4567", 7), "4567");  // the short last run stays
  EXPECT_EQ(ExtractPhoneNumber("(030) 1234567 or 99", 7), "1234567");
  EXPECT_EQ(ExtractPhoneNumber("", 7), "");
  EXPECT_EQ(ExtractPhoneNumber("no digits.", 7), "");

  EXPECT_EQ(ExtractMailAddress("write to ann@example.com soon"), "ann@example.com");
  EXPECT_EQ(ExtractMailAddress("hi @bob there"), "");   // the word begins with "@"
  EXPECT_EQ(ExtractMailAddress("a@b.com"), "");         // "@" as second character
  EXPECT_EQ(ExtractMailAddress("nothing here"), "");

  EXPECT_EQ(ExtractWebAddress("see www.example.com/x now"), "www.example.com/x");
  EXPECT_EQ(ExtractWebAddress("Go to HTTPS://Example.org/A?b=1 then"), "HTTPS://Example.org/A?b=1");
  EXPECT_EQ(ExtractWebAddress("plain text"), "");
}

TEST(Extract, StampsOfBothKinds) {
  BoardWorld w("AB");
  w.fake.clock.set(2026, 12, 5, 8, 30);
  w.ws.Today = DayNumber(w.fake.clock.now());
  CopyStampToClipboard(w.ws, 'S', true);
  EXPECT_EQ(w.fake.clipboard.content, " <AB 051226 0830> ");
  EXPECT_EQ(w.ws.paths.StampText, w.fake.clipboard.content);
  CopyStampToClipboard(w.ws, 'P', false);
  EXPECT_EQ(w.fake.clipboard.content, "5Dec26, 8:30A: \r\n");
}

TEST(Extract, LinkTextAndCleaning) {
  const std::string t = "Meet at \"Harbour Street 12\" or see (www.example.com).";
  EXPECT_EQ(LinkTextAt(t, 12, -1, 0), "\"Harbour Street 12\"");
  EXPECT_EQ(CleanLinkText(LinkTextAt(t, 40, -1, 0)), "www.example.com");
  EXPECT_EQ(LinkTextAt(t, 0, 8, 5), "\"Harb");
  EXPECT_EQ(CleanLinkText("\"x\"\r\n"), "x");
  EXPECT_EQ(CleanLinkText("!!"), "!");
}

class Links : public ::testing::Test {
 protected:
  BoardWorld w;
  test::TempDir docs;

  std::string file(const std::string& name, const std::string& content, mode_t mode = 0644) {
    const auto p = docs / name;
    test::writeFile(p, content);
    ::chmod(p.c_str(), mode);
    return p.string();
  }
  bool open(const std::string& text) {
    std::string phone;
    return OpenLinkText(w.ws, text, phone);
  }
};

TEST_F(Links, WebMailAndDocumentsOpenWithoutParameters) {
  const std::string doc = file("report.txt", "plain words\n");
  EXPECT_TRUE(open(doc + " --evil -x"));
  EXPECT_TRUE(open("see www.example.com/page"));
  EXPECT_TRUE(open("ann@example.com"));
  ASSERT_EQ(w.fake.shell.opened.size(), 3u);
  EXPECT_EQ(w.fake.shell.opened[0], doc);
  EXPECT_EQ(w.fake.shell.opened[1], "http://www.example.com/page");
  EXPECT_EQ(w.fake.shell.opened[2], "mailto:ann@example.com?Subject= &Body=");
  for (const auto& p : w.fake.shell.parameters) EXPECT_EQ(p, "");
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty());
  // A name with accents, written in the records' code page, is the file of
  // that name on disk, named in UTF-8.
  const std::string accented = file("R\xC3\xA9union.txt", "agenda\n");
  EXPECT_TRUE(open((docs / "R").string() + "\xE9union.txt"));
  ASSERT_EQ(w.fake.shell.opened.size(), 4u);
  EXPECT_EQ(w.fake.shell.opened[3], accented);
}

TEST_F(Links, ProgramsAndUnexpectedFilesAreRefusedAndTheUserIsTold) {
  std::vector<std::string> refused = {
      file("tool.txt", "hello", 0755),                      // executable
      file("run.txt", "#!/bin/sh\nrm -rf ~\n"),            // a script by its first line
      file("start.desktop", "[Desktop Entry]\nExec=x\n"),  // run by the desktop
      file("setup.sh", "echo\n"),
      w.path("CFGMAIN.DAF"),                               // inside the data folder
      "http://example.com/a<b{c}",                        // an address that would break out
      "ann@example.com?attach=/etc/passwd",                // headers through mailto
      (docs / ".secret").string(),                         // a hidden file
  };
  test::writeFile(docs / ".secret", "key");
  for (const char* system : {"/etc/host.conf", "/etc/ld.so.conf"})  // the system's settings
    if (std::filesystem::exists(system)) refused.push_back(system);
  for (const auto& t : refused) {
    w.fake.dialogs.dialogs.clear();
    EXPECT_FALSE(open(t)) << t;
    ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u) << t;
  }
  EXPECT_TRUE(w.fake.shell.opened.empty());

  // A relative name is never looked up in whatever folder the program runs in.
  EXPECT_EQ(ResolveLink(w.ws, "CMakeCache.txt").kind == LinkKind::Document, false);
  // Maintenance files are ignored without a word.
  w.fake.dialogs.dialogs.clear();
  EXPECT_FALSE(open(file("OLD.DAM", "x")));
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty());
}

TEST_F(Links, TelephoneNumbersGoToTheDialer) {
  std::string phone;
  EXPECT_TRUE(OpenLinkText(w.ws, "555-1234", phone));
  EXPECT_EQ(phone, "5551234");
  EXPECT_FALSE(OpenLinkText(w.ws, "12", phone));
  EXPECT_TRUE(w.fake.shell.opened.empty());
}

}  // namespace
}  // namespace egresso
