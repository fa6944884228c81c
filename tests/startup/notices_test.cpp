#include "startup/notices.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "storage/bytes.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

using test::FakePlatform;
using test::TempDir;
using test::writeFile;

// A workstation whose notice table holds "T<n>" as text n.
struct NoticeFixture : ::testing::Test {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  void SetUp() override {
    for (int n = 1; n <= 2100; ++n) ws.notices.lines.push_back("T" + std::to_string(n));
  }
  void setText(int n, std::string text) { ws.notices.lines[n - 1] = std::move(text); }
};

TEST_F(NoticeFixture, TextWithoutControlCharactersComesBackUnchanged) {
  setText(10, "Plain text, with \"quotes\", 100% and caf\xE9 \x80 signs.");
  EXPECT_EQ(MessageText(ws, 10), "Plain text, with \"quotes\", 100% and caf\xE9 \x80 signs.");
  EXPECT_EQ(MessageText(ws, 11), "T11");
  EXPECT_TRUE(fp.dialogs.boxes.empty());
}

TEST_F(NoticeFixture, PlaceholdersAreReplacedByTermsAndWords) {
  ws.notices.Terms[0] = "Client";
  ws.notices.Terms[1] = "Project";
  ws.notices.Terms[2] = "Job";
  ws.notices.Terms[3] = "Account";
  ws.notices.ShortWords[0] = "Matter";
  ws.notices.ShortWords[1] = "Case";
  ws.notices.StartupTerms = {"a", "b", "c", "d", "e", "f", "g", "h", "Ninth", "j"};
  setText(20, std::string("[\x03][\x05][\x10][\x12][\x13][\x18]"));
  EXPECT_EQ(MessageText(ws, 20), "[Matter][Project][Client][Client ][Ninth][Account]");
  ws.notices.UseSecondShortWord = true;
  EXPECT_EQ(MessageText(ws, 20), "[Case][Project][Client][Client ][Ninth][Account]");
}

TEST_F(NoticeFixture, Placeholder17RightAlignsTheTermInTenColumns) {
  setText(30, std::string("|\x11|"));
  ws.notices.Terms[0] = "ABCDE";
  EXPECT_EQ(MessageText(ws, 30), "|     ABCDE|");
  ws.notices.Terms[0] = "ABCDEFGHIJ";
  EXPECT_EQ(MessageText(ws, 30), "|ABCDEFGHIJ|");
  // Longer terms get as many blanks as they overrun.
  ws.notices.Terms[0] = "ABCDEFGHIJKL";
  EXPECT_EQ(MessageText(ws, 30), "|  ABCDEFGHIJKL|");
}

TEST_F(NoticeFixture, Placeholder18CutsOrPadsTheTermToSeven) {
  setText(31, std::string("<\x12>"));
  ws.notices.Terms[0] = "Department";
  EXPECT_EQ(MessageText(ws, 31), "<Departm>");
  ws.notices.Terms[0] = "";
  EXPECT_EQ(MessageText(ws, 31), "<       >");
}

TEST_F(NoticeFixture, InsertedValuesAreNotScannedAgainAndOtherControlsStay) {
  ws.notices.Terms[0] = std::string("x\x05y");
  ws.notices.Terms[1] = "WRONG";
  setText(32, std::string("\x10|\x01\x04\r\n\t"));
  EXPECT_EQ(MessageText(ws, 32), std::string("x\x05y|\x01\x04\r\n\t"));
}

TEST_F(NoticeFixture, MissingStartupTermGivesNothing) {
  ws.notices.StartupTerms = {"only", "three", "terms"};
  setText(33, std::string("(\x13)"));
  EXPECT_EQ(MessageText(ws, 33), "()");
}

TEST_F(NoticeFixture, ExpandedTextIsCutTo254) {
  ws.notices.Terms[0] = std::string(15, 'x');
  setText(34, std::string(250, 'a') + "\x10" + "tail");
  std::string t = MessageText(ws, 34);
  EXPECT_EQ(t.size(), 254u);
  EXPECT_EQ(t.substr(250), "xxxx");
}

TEST_F(NoticeFixture, FailingLookupIsReportedAndGivesTheClassName) {
  ws.notices.lines.resize(5);
  EXPECT_EQ(MessageText(ws, 6), " EStringListError ");
  ASSERT_EQ(fp.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fp.dialogs.beeps, 1);
  const std::string& box = fp.dialogs.boxes[0];
  EXPECT_EQ(box.rfind("Exception Error: EStringListError\r\n\n", 0), 0u) << box;
  EXPECT_NE(box.find("\r\n\n\"EMF\"\r\n\n"), std::string::npos) << box;
  EXPECT_EQ(MessageText(ws, 0), " EStringListError ");
  EXPECT_EQ(MessageText(ws, -3), " EStringListError ");
  EXPECT_EQ(fp.dialogs.boxes.size(), 3u);
}

TEST_F(NoticeFixture, DirectReadModeReadsFixedRecordsFromTheFile) {
  TempDir dir;
  std::string file;
  auto record = [](const std::string& text) {
    std::array<std::uint8_t, 91> r{};
    putPString(r, 0, 90, text);
    return std::string(r.begin(), r.end());
  };
  file += record("First");
  file += record(std::string("Second \x10"));
  file += record(std::string(90, 'z'));
  writeFile(dir / "NOTICES.TXT", file);
  ws.paths.NoticesPath = (dir / "NOTICES.TXT").string();
  ws.options.NoticesFromFile = true;
  ws.notices.Terms[0] = "Client";
  EXPECT_EQ(MessageText(ws, 1), "First");
  EXPECT_EQ(MessageText(ws, 2), "Second Client");
  EXPECT_EQ(MessageText(ws, 3), std::string(90, 'z'));
  // Past the end and a missing file give an empty text, without a report.
  EXPECT_EQ(MessageText(ws, 4), "");
  EXPECT_EQ(MessageText(ws, 0), "");
  ws.paths.NoticesPath = (dir / "GONE.TXT").string();
  EXPECT_EQ(MessageText(ws, 1), "");
  EXPECT_TRUE(fp.dialogs.boxes.empty());
}

TEST_F(NoticeFixture, CaptionKindsNameTheirTexts) {
  EXPECT_EQ(DialogCaption(ws, 0), "T1984");
  EXPECT_EQ(DialogCaption(ws, 1), "T1726");
  EXPECT_EQ(DialogCaption(ws, 2), "T2062");
  EXPECT_EQ(DialogCaption(ws, 3), "T2061");
  EXPECT_EQ(DialogCaption(ws, 4), "");
  EXPECT_EQ(DialogCaption(ws, -1), "");
}

TEST_F(NoticeFixture, DialogRequestIsCutAndResultPassedOn) {
  fp.dialogs.answers = {2, 7};
  EXPECT_EQ(UltimateDialog(ws, std::string(300, 'm'), 3, "Yes", "A much too long caption", "", 2), 2);
  ASSERT_EQ(fp.dialogs.dialogs.size(), 1u);
  const DialogRequest& r = fp.dialogs.dialogs[0];
  EXPECT_EQ(r.message.size(), 254u);
  EXPECT_EQ(r.captionKind, 3);
  EXPECT_EQ(r.button1, "Yes");
  EXPECT_EQ(r.button2, "A much too l");
  EXPECT_EQ(r.button3, "");
  EXPECT_EQ(r.defaultButton, 2);
  // A result outside 0..3 is taken as Esc.
  EXPECT_EQ(UltimateDialog(ws, "Q", 0, "OK", "", "", 1), 0);
}

TEST_F(NoticeFixture, NoticeReturnsAtOnce) {
  fp.dialogs.answers = {3};
  EXPECT_EQ(UltimateDialog(ws, "*Saving", -1, "", "", "", 1), 0);
  EXPECT_EQ(fp.dialogs.dialogs.size(), 1u);
}

TEST_F(NoticeFixture, ExceptionReportCutsTheTagTo80) {
  ReportException(ws, "EInOutError", "Disk full", std::string(100, 't'));
  ASSERT_EQ(fp.dialogs.boxes.size(), 1u);
  EXPECT_EQ(fp.dialogs.boxes[0], "Exception Error: EInOutError\r\n\nDisk full\r\n\n" + std::string(80, 't') + "\r\n\n");
  EXPECT_EQ(fp.dialogs.beeps, 1);
}

TEST_F(NoticeFixture, HelpRequestsAreTranslated) {
  EXPECT_EQ(TranslateHelpRequest(HelpRequestKind::Context), HelpCommand::Context);
  EXPECT_EQ(TranslateHelpRequest(HelpRequestKind::ContextPopup), HelpCommand::Context);
  EXPECT_EQ(TranslateHelpRequest(HelpRequestKind::Keyword), HelpCommand::Keyword);
  EXPECT_EQ(TranslateHelpRequest(HelpRequestKind::Quit), HelpCommand::Quit);
  EXPECT_EQ(TranslateHelpRequest(HelpRequestKind::Contents), HelpCommand::Topic);
  ApplicationHelp(ws, HelpRequestKind::ContextPopup, 800);
  ASSERT_EQ(fp.help.requests.size(), 1u);
  EXPECT_EQ(fp.help.requests[0], std::make_pair(HelpCommand::Context, 800));
}

TEST(NoticeFile, LoadsLinesInEitherEncodingAndLineEnd) {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  TempDir dir;
  ws.paths.NoticesPath = (dir / "NOTICES.TXT").string();
  EXPECT_FALSE(LoadNotices(ws));

  // UTF-8 with a byte-order mark, mixed line ends, no final line end.
  writeFile(dir / "NOTICES.TXT", "\xEF\xBB\xBF" "Caf\xC3\xA9\r\nsecond\n\r\nlast \xE2\x82\xAC");
  ASSERT_TRUE(LoadNotices(ws));
  ASSERT_EQ(ws.notices.lines.size(), 4u);
  EXPECT_EQ(ws.notices.lines[0], "Caf\xE9");
  EXPECT_EQ(ws.notices.lines[1], "second");
  EXPECT_EQ(ws.notices.lines[2], "");
  EXPECT_EQ(ws.notices.lines[3], "last \x80");

  // Windows-1252 bytes are kept as they are.
  writeFile(dir / "NOTICES.TXT", "Caf\xE9\r\n\x93quoted\x94\r\n");
  ASSERT_TRUE(LoadNotices(ws));
  ASSERT_EQ(ws.notices.lines.size(), 2u);
  EXPECT_EQ(ws.notices.lines[0], "Caf\xE9");
  EXPECT_EQ(ws.notices.lines[1], "\x93quoted\x94");
}

TEST(NoticeFile, NameIsMatchedWithoutRegardToCase) {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  TempDir dir;
  writeFile(dir / "notices.txt", "one\r\n");
  ws.paths.NoticesPath = (dir / "NOTICES.TXT").string();
  ASSERT_TRUE(LoadNotices(ws));
  EXPECT_EQ(ws.notices.lines.at(0), "one");
}

TEST(NoticeFile, ShortWordsAndStartupTermsComeFromTheirTexts) {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  TempDir dir;
  std::string text;
  for (int n = 1; n <= 1283; ++n) {
    if (n == 204) text += "Alpha, Beta,Gamma ,D,E,F,G,H, Ninth ,J";
    if (n == 1282) text += "  Matter  ";
    if (n == 1283) text += "A very long short word";
    text += "\r\n";
  }
  writeFile(dir / "NOTICES.TXT", text);
  ws.paths.NoticesPath = (dir / "NOTICES.TXT").string();
  ASSERT_TRUE(LoadNotices(ws));
  EXPECT_EQ(ws.notices.ShortWords[0], "Matter");
  EXPECT_EQ(ws.notices.ShortWords[1], "A very long ");
  ASSERT_EQ(ws.notices.StartupTerms.size(), 10u);
  EXPECT_EQ(ws.notices.StartupTerms[1], "Beta");
  EXPECT_EQ(ws.notices.StartupTerms[2], "Gamma");
  EXPECT_EQ(ws.notices.StartupTerms[8], "Ninth");
}

TEST(NoticeFile, MissingFileText) {
  EXPECT_EQ(NoticesMissingText("/opt/egresso"),
            "Because the /opt/egresso/NOTICES.TXT file is missing, this program will abort.  "
            "Always start this program from the shorcut created during setup.");
}

}  // namespace
}  // namespace egresso
