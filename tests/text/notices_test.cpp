#include "config/notices_file.h"
#include "text/notices.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
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

// "/MF": text N is line N of the notice file, read at each request.
TEST_F(NoticeFixture, DirectReadModeReadsTheLineOfTheFile) {
  TempDir dir;
  writeFile(dir / "NOTICES.TXT", std::string("First\r\nSecond \x10\r\n\r\n") + std::string(120, 'z') + "\nLast");
  ws.paths.NoticesPath = (dir / "NOTICES.TXT").string();
  ws.options.NoticesFromFile = true;
  ws.notices.Terms[0] = "Client";
  EXPECT_EQ(MessageText(ws, 1), "First");
  EXPECT_EQ(MessageText(ws, 2), "Second Client");
  EXPECT_EQ(MessageText(ws, 3), "");
  EXPECT_EQ(MessageText(ws, 4), std::string(120, 'z'));
  EXPECT_EQ(MessageText(ws, 5), "Last");
  // The file is read again: a change shows at the next request.
  writeFile(dir / "NOTICES.TXT", "Changed\r\n");
  EXPECT_EQ(MessageText(ws, 1), "Changed");
  // A UTF-8 file reads in the program's code page, as at start.
  writeFile(dir / "NOTICES.TXT", "caf\xC3\xA9\r\nplain\r\n");
  EXPECT_EQ(MessageText(ws, 1), "caf\xE9");
  // Past the end and a missing file give an empty text, without a report,
  // unless the program has its own text for the number.
  EXPECT_EQ(MessageText(ws, 6), "");
  EXPECT_EQ(MessageText(ws, 0), "");
  EXPECT_EQ(MessageText(ws, 2091), "New message for ");
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

namespace egresso {
namespace {

// The notice file shipped with the program.
class ShippedNotices : public ::testing::Test {
 protected:
  test::FakePlatform fp;
  Workstation ws{fp.platform()};
  void SetUp() override {
    ws.paths.NoticesPath = std::string(EGRESSO_PROGRAM_DIR) + "/NOTICES.TXT";
    ASSERT_TRUE(LoadNotices(ws));
  }
  std::string text(int n) { return MessageText(ws, n); }
};

TEST_F(ShippedNotices, EveryCitedTextIsThere) {
  static constexpr int kCited[] = {
      16,   17,   18,   27,   28,   29,   30,   31,   32,   41,   42,   43,   44,   45,   46,   48,   49,   74,
      81,   86,   92,   93,   94,   95,   112,  113,  114,  115,  119,  127,  128,  129,  136,  137,  144,  154,
      204,  215,  216,  261,  262,  301,  302,  303,  304,  305,  306,  307,  308,  309,  310,  311,  312,  313,
      314,  315,  316,  331,  343,  344,  345,  346,  347,  403,  407,  408,  547,  548,  550,  551,  552,  553,
      554,  555,  556,  610,  611,  720,  721,  725,  767,  768,  769,  775,  860,  861,  933,  1021, 1024, 1069,
      1070, 1071, 1282, 1283, 1343, 1344, 1345, 1363, 1364, 1365, 1366, 1367, 1372, 1373, 1374, 1375, 1377, 1378,
      1382, 1383, 1384, 1385, 1386, 1387, 1388, 1390, 1391, 1392, 1393, 1394, 1395, 1396, 1397, 1398, 1399, 1400,
      1415, 1416, 1417, 1418, 1419, 1420, 1421, 1422, 1425, 1426, 1427, 1428, 1429, 1430, 1431, 1432, 1433, 1434,
      1435, 1436, 1437, 1438, 1439, 1440, 1441, 1442, 1443, 1444, 1445, 1446, 1447, 1448, 1449, 1451, 1455, 1456,
      1457, 1458, 1462, 1463, 1464, 1465, 1466, 1467, 1468, 1469, 1470, 1471, 1485, 1486, 1487, 1488, 1492, 1493,
      1494, 1498, 1499, 1500, 1501, 1502, 1503, 1504, 1505, 1506, 1507, 1509, 1510, 1511, 1512, 1513, 1514, 1515,
      1559, 1568, 1569, 1594, 1598, 1601, 1602, 1603, 1612, 1649, 1650, 1651, 1652, 1653, 1654, 1656, 1672, 1673,
      1693, 1694, 1695, 1696, 1697, 1700, 1716, 1717, 1718, 1719, 1720, 1721, 1726, 1727, 1728, 1736, 1737, 1747,
      1748, 1749, 1750, 1779, 1780, 1787, 1795, 1796, 1797, 1798, 1864, 1865, 1874, 1875, 1884, 1885, 1886, 1893,
      1894, 1895, 1901, 1902, 1903, 1910, 1911, 1914, 1976, 1984, 1995, 1996, 1997, 2019, 2020, 2023, 2024, 2025,
      2026, 2040, 2041, 2061, 2062, 2067, 2068};
  EXPECT_GE(ws.notices.lines.size(), 2068u);
  for (int n : kCited) EXPECT_FALSE(text(n).empty()) << "text " << n;
  for (int n = 831; n <= 838; ++n) EXPECT_GT(text(n).size(), 2u) << "text " << n;
  for (int n = 1368; n <= 1371; ++n) EXPECT_FALSE(text(n).empty()) << "text " << n;
  EXPECT_TRUE(fp.dialogs.boxes.empty());
  for (const auto& line : ws.notices.lines) {
    EXPECT_LE(line.size(), 254u);
    for (char c : line) {
      auto u = static_cast<unsigned char>(c);
      EXPECT_TRUE(u >= 0x20 && u != 0x81 && u != 0x8D && u != 0x8F && u != 0x90 && u != 0x9D) << line;
    }
  }
}

TEST_F(ShippedNotices, MonthAndDayNamesGiveDates) {
  const char* abbrev[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  for (int m = 0; m < 12; ++m) {
    EXPECT_EQ(text(184 + m).substr(0, 3), abbrev[m]);
    EXPECT_LE(text(184 + m).size(), 10u);
  }
  const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  for (int d = 0; d < 7; ++d) EXPECT_EQ(text(177 + d).substr(0, 3), days[d]);
}

TEST_F(ShippedNotices, CharactersTheProgramReadsFitTheirRoles) {
  // Mode letters of the message form: distinct, and none of the letters with
  // another meaning there.
  char newEntry = text(261)[0], oldEntry = text(262)[0];
  EXPECT_NE(newEntry, oldEntry);
  for (char c : {newEntry, oldEntry}) EXPECT_TRUE(c != 'O' && c != '&' && c != ' ' && c >= 'A' && c <= 'Z');
  // The everyone word reads as a recipient token.
  std::string all = text(1419).substr(0, 3);
  for (char c : all) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << all;
  EXPECT_TRUE(text(1485)[0] == '.' || text(1485)[0] == ',');
  // Ctrl keys: print detail (second character), find (second), calculator
  // (first), new message and own entry (last).
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(text(720)[1])));
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(text(1069)[1])));
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(text(1499)[0])));
  EXPECT_EQ(text(611).back(), 'S');
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(text(610).back())));
  // The reserved employee flag is read back from its text's first letter.
  EXPECT_EQ(std::toupper(static_cast<unsigned char>(text(861)[0])), 'N');
  EXPECT_NE(std::toupper(static_cast<unsigned char>(text(860)[0])), 'N');
  // Button captions and the board's return column.
  for (int n : {29, 344, 407, 408}) EXPECT_LE(text(n).size(), 12u) << n;
  EXPECT_LE(text(1445).size(), 17u);
  EXPECT_LE(text(137).size(), 15u);
  EXPECT_GE(ws.notices.StartupTerms.size(), 9u);
}

TEST_F(ShippedNotices, TextsJoinedToAValueKeepTheirBlanks) {
  // Texts the program follows directly with a name, path, number or title.
  for (int n : {215, 1377, 1494, 1720, 1747, 1795, 1864, 1874, 1893, 1894, 1910, 1995, 2023, 2067, 2068}) {
    std::string t = text(n);
    EXPECT_TRUE(!t.empty() && t.back() == ' ') << "text " << n << ": [" << t << "]";
  }
  // Texts that follow a name, path or number directly.
  for (int n : {1444, 1447, 1598, 1654, 1721, 1796, 1875, 1911, 1996, 1997, 2024, 2040}) {
    std::string t = text(n);
    EXPECT_TRUE(!t.empty() && (t[0] == ' ' || t[0] == '.' || t[0] == ',')) << "text " << n << ": [" << t << "]";
  }
  // Texts ahead of another text in one sentence.
  for (int n : {315, 556, 1343, 1344, 1428, 1464, 1465, 1467, 1601, 1602, 1650, 1651, 1716, 1717, 1748, 1779,
                1884, 1902}) {
    std::string t = text(n);
    EXPECT_TRUE(!t.empty() && t.back() == ' ') << "text " << n << ": [" << t << "]";
  }
}

TEST_F(ShippedNotices, ColumnHeadingsStandOverTheirColumns) {
  EXPECT_EQ(text(1388).find("Where"), 23u);   // location from position 24
  EXPECT_EQ(text(1383).find("Date"), 56u);    // made day from position 57
  EXPECT_EQ(text(1383).find("From"), 72u);    // sender from position 73
  EXPECT_EQ(text(1787).find("Name"), 17u);    // name from position 18
  EXPECT_EQ(text(1787).find("Where"), 40u);   // location from position 41
}

}  // namespace
}  // namespace egresso
