#include "text/fixed_width.h"

#include <gtest/gtest.h>

namespace egresso {
namespace {

TEST(Text, PadTextPadsAndCutsToWidth) {
  EXPECT_EQ(PadText("AB", -3), " AB");
  EXPECT_EQ(PadText("ABCD", 3), "ABC");
  EXPECT_EQ(PadText("ABCD", -3), "ABC");
  EXPECT_EQ(PadText("AB", 4), "AB  ");
  EXPECT_EQ(PadText("AB", 0), "");
  EXPECT_EQ(PadText("", 300).size(), 254u);
  EXPECT_EQ(PadText("x", -2147483647 - 1).size(), 254u);
}

TEST(Text, PadNumberFillsWithZerosUpToTwenty) {
  EXPECT_EQ(PadNumber("7", -2), "07");
  EXPECT_EQ(PadNumber("97", -2), "97");
  EXPECT_EQ(PadNumber("7", 3), "700");
  EXPECT_EQ(PadNumber("1", -50), std::string(19, '0') + "1");
}

TEST(Text, TrimTextNeverRemovesTheLastCharacter) {
  EXPECT_EQ(TrimText("   "), " ");
  EXPECT_EQ(TrimText("  a b  "), "a b");
  EXPECT_EQ(TrimText(""), "");
  EXPECT_EQ(TrimText("x"), "x");
}

TEST(Text, UpperTextCoversWindows1252Letters) {
  // mu\xFCller \xE9 \xFF \x9C \x9A: u-umlaut, e-acute, y-diaeresis, oe, s-caron
  EXPECT_EQ(UpperText("m\xFCller \xE9 \xFF \x9C \x9A abc"), "M\xDCLLER \xC9 \x9F \x8C \x8A ABC");
  // sharp s, division sign and digits have no upper case
  EXPECT_EQ(UpperText("\xDF\xF7" "09"), "\xDF\xF7" "09");
}

TEST(Text, SmallHelpers) {
  EXPECT_EQ(RemoveBlanks(" 5 DEC 97 "), "5DEC97");
  EXPECT_EQ(RepeatChar('-', 200).size(), 180u);
  EXPECT_EQ(RepeatChar('-', -1), "");
  EXPECT_EQ(MinInt(-3, 2), -3);
  EXPECT_EQ(MaxInt(-3, 2), 2);
}

TEST(Text, CleanNumberKeepsTheNumericPart) {
  EXPECT_EQ(CleanNumber(".5"), "0.5");
  EXPECT_EQ(CleanNumber("abc-12x"), "-12");
  EXPECT_EQ(CleanNumber("$ 12.50 USD"), "12.50");
  EXPECT_EQ(CleanNumber("12."), "12");
  EXPECT_EQ(CleanNumber("no digits"), "");
  EXPECT_EQ(CleanNumber("-"), "");
  EXPECT_EQ(CleanNumber("12345678901234567890"), "123456789012");
  EXPECT_EQ(CleanNumber("EUR 3,75", ','), "3,75");
  EXPECT_EQ(CleanNumber(",75", ','), "0,75");
  // Only the ends are cleaned: a character inside the number stays, so the
  // text does not read as the number that merely begins it.
  EXPECT_EQ(CleanNumber("1,234.50 EUR"), "1,234.50");
  EXPECT_EQ(CleanNumber("12a34"), "12a34");
}

TEST(Text, IntValueAcceptsOnlyWholeIntegers) {
  int v = 0;
  EXPECT_TRUE(IntValue("123", v));
  EXPECT_EQ(v, 123);
  EXPECT_TRUE(IntValue("-5", v));
  EXPECT_EQ(v, -5);
  EXPECT_TRUE(IntValue("-2147483648", v));
  EXPECT_EQ(v, -2147483647 - 1);
  EXPECT_FALSE(IntValue("2147483648", v));
  EXPECT_FALSE(IntValue("12a", v));
  EXPECT_FALSE(IntValue("", v));
  EXPECT_FALSE(IntValue("-", v));
  EXPECT_FALSE(IntValue("99999999999999999999999", v));
}

}  // namespace
}  // namespace egresso
