#include "tools/calc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

class Calculator : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  test::TempDir data;
  void SetUp() override {
    ws.paths.DataFolder = data.str();
    ws.paths.CalcFile = data.str() + "/CALCANN.DAF";
    ws.paths.PersonalConfigPath = data.str() + "/CFGANN.DAF";
  }
  // Keys typed on the calculator, as a string of characters.
  static void Key(TapeCalculator& c, std::string_view keys) {
    for (char ch : keys) c.KeyPress(ch);
  }
  static std::string Amount(const TapeCalculator& c, int fromEnd) {
    return c.Grid[static_cast<std::size_t>(c.Rows() - 1 - fromEnd)].Amount;
  }
};

TEST_F(Calculator, RunningTotalsAndTheTotalLine) {
  TapeCalculator c(ws);
  c.FormShow();
  EXPECT_EQ(c.Rows(), 100);
  Key(c, "12+8=");
  EXPECT_EQ(Amount(c, 1), "        20.00");
  EXPECT_EQ(c.Grid[98].Op, '=');
  EXPECT_EQ(Amount(c, 2), "         8.00");
  EXPECT_EQ(c.Grid[97].Op, '+');
  EXPECT_EQ(Amount(c, 3), "        12.00");
  EXPECT_EQ(c.TotalText(), "20.00");
  EXPECT_EQ(c.Row, c.EntryRow());

  // After a total the next amount starts afresh; an operator first carries on.
  Key(c, "100-30*2/4=");
  EXPECT_EQ(c.TotalText(), "35.00");
  Key(c, "+5=");
  EXPECT_EQ(c.TotalText(), "40.00");
  Key(c, "12/0=");
  EXPECT_EQ(c.TotalText(), "0.00");
  Key(c, "-7+2=");  // a first line with a sign starts negative
  EXPECT_EQ(c.TotalText(), "-5.00");
}

TEST_F(Calculator, EditingAnOlderLineRecalculatesTheLinesBelow) {
  TapeCalculator c(ws);
  c.FormShow();
  Key(c, "12+8=");
  EXPECT_FALSE(c.MoveTo(10, 1));  // an empty line cannot be reached
  EXPECT_EQ(fake.dialogs.beeps, 1);
  ASSERT_TRUE(c.MoveTo(97, 1));
  Key(c, "5");
  EXPECT_TRUE(c.Edited);
  ASSERT_TRUE(c.MoveBy(1));
  EXPECT_EQ(c.TotalText(), "17.00");
  EXPECT_EQ(Amount(c, 2), "         5.00");
  ASSERT_TRUE(c.MoveTo(97, 0));
  Key(c, "*");  // the operator column
  EXPECT_EQ(c.TotalText(), "60.00");
}

TEST_F(Calculator, DecimalsEraseAndUnEraseComeBackFromTheTapeFile) {
  {
    TapeCalculator c(ws);
    c.FormShow();
    Key(c, "1.5+2.25=");
    c.ChangeDecimals(+1);
    EXPECT_EQ(c.TotalText(), "3.750");
    c.Exit();
  }
  TapeCalculator c(ws);
  c.FormShow();
  EXPECT_EQ(c.Decimals, 3);
  EXPECT_EQ(Amount(c, 3), "        1.500");
  const std::vector<TapeRow> before = c.Grid;
  c.EraseTape();
  EXPECT_EQ(c.TotalText(), "");
  EXPECT_FALSE(c.EraseEnabled);
  EXPECT_TRUE(c.UnEraseEnabled);
  c.UnEraseTape();
  EXPECT_EQ(c.Grid, before);
  for (int i = 0; i < 12; ++i) c.ChangeDecimals(+1);
  EXPECT_EQ(c.Decimals, 9);
}

TEST_F(Calculator, TheTotalGoesToTheClipboardForTheMessage) {
  TapeCalculator c(ws);
  c.FormShow();
  Key(c, "12+8=");
  c.ExitWithTotal();
  EXPECT_EQ(fake.clipboard.content, "20.00");
  EXPECT_EQ(c.Result, CalcTotalInClipboard);
  EXPECT_TRUE(test::readFile(data / "CFGANN.DAF").size() == pcfg::Size);
}

TEST_F(Calculator, MemoriesTakeAndGiveAmounts) {
  TapeCalculator c(ws);
  c.FormShow();
  Key(c, "12+8=");
  c.MemIn(0);  // empty entry line: the last tape line
  EXPECT_EQ(c.MemoryText(0), "20.00");
  c.SetMemory(1, "2.5");
  Key(c, "*");
  c.MemOut(1);
  EXPECT_EQ(Amount(c, 0), "         2.50");
  Key(c, "=");
  EXPECT_EQ(c.TotalText(), "50.00");
  c.DropOnRow(c.Rows() - 3, "4");  // the "* 2.50" line becomes "* 4.00"
  EXPECT_EQ(c.TotalText(), "80.00");
  TapeCalculator later(ws);  // the memories live for the run
  later.FormShow();
  EXPECT_EQ(later.MemoryText(0), "20.00");
}

TEST_F(Calculator, ClipboardAndPrintedTapes) {
  ws.pcfg.setI16(pcfg::CalcRows, 700);
  TapeCalculator c(ws);
  c.FormShow();
  Key(c, "3+4=");
  EXPECT_EQ(c.TapeText(), "          3.00\r\n+         4.00\r\n=         7.00\r\n");
  for (int i = 0; i < 560; ++i) Key(c, "1+");
  Key(c, "=");
  const std::string text = c.TapeText();
  EXPECT_LT(text.size(), 8192u);
  EXPECT_EQ(text.substr(0, 1), "+");  // whole lines only
  EXPECT_EQ(text.substr(text.size() - 16), "=       560.00\r\n");
  const auto pages = c.PrintLayout(7530);
  ASSERT_EQ(pages.size(), c.TapeLines().size());
  EXPECT_EQ(pages[0].y, 1000);
  EXPECT_EQ(pages[1].y, 1000 + 139);
  EXPECT_EQ(pages[48].page, 1);
  EXPECT_EQ(pages[48].y, 1000);
}

// A tape file built byte by byte from the record layout: amount and total
// as 48-bit reals, the operator, the decimals.
TEST_F(Calculator, HandBuiltTapeFileReadsBackAndIsWrittenTheSame) {
  const std::vector<unsigned char> empty = {0x98, 0x00, 0x00, 0x82, 0x8F, 0x8A};  // -9080706
  const std::vector<unsigned char> twelve = {0x84, 0, 0, 0, 0, 0x40};
  const std::vector<unsigned char> eight = {0x84, 0, 0, 0, 0, 0x00};
  const std::vector<unsigned char> twenty = {0x85, 0, 0, 0, 0, 0x20};
  const std::vector<unsigned char> zero = {0, 0, 0, 0, 0, 0};
  std::string file;
  auto record = [&](const std::vector<unsigned char>& amount, const std::vector<unsigned char>& total, char op) {
    file.append(amount.begin(), amount.end());
    file.append(total.begin(), total.end());
    file += op;
    file += '\x02';
  };
  record(empty, zero, ' ');
  record(twelve, twelve, ' ');
  record(eight, twenty, '+');
  record(twenty, twenty, '=');
  record(empty, zero, ' ');
  test::writeFile(data / "CALCANN.DAF", file);
  ws.pcfg.setI16(pcfg::CalcRows, 5);

  TapeCalculator c(ws);
  c.FormShow();
  EXPECT_EQ(c.TapeLines(), (std::vector<std::string>{" " + std::string("        12.00"), "+         8.00",
                                                     "=        20.00"}));
  EXPECT_EQ(c.Grid[3].Total, 20.0);
  EXPECT_EQ(c.Decimals, 2);
  c.Exit();
  EXPECT_EQ(test::readFile(data / "CALCANN.DAF"), file);

  // A longer file in a shorter grid keeps its newest lines.
  ws.pcfg.setI16(pcfg::CalcRows, 3);
  TapeCalculator small(ws);
  small.FormShow();
  EXPECT_EQ(small.TapeLines(), (std::vector<std::string>{"+         8.00", "=        20.00"}));
}

}  // namespace
}  // namespace egresso
