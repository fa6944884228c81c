#include "storage/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/codepage.h"

namespace egresso {
namespace {

TEST(Bytes, IntegersAreLittleEndian) {
  std::array<std::uint8_t, 8> b{0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(getI16(b, 0), 0x1234);
  EXPECT_EQ(getI16(b, 2), -2);
  EXPECT_EQ(getU16(b, 2), 0xFFFE);
  EXPECT_EQ(getI32(b, 4), 0x12345678);
  std::array<std::uint8_t, 8> out{};
  putI16(out, 0, 0x1234);
  putI16(out, 2, -2);
  putI32(out, 4, 0x12345678);
  EXPECT_EQ(out, b);
}

TEST(Bytes, LengthPrefixedStrings) {
  std::array<std::uint8_t, 6> b{3, 'A', 'B', 'C', 'x', 'y'};
  EXPECT_EQ(getPString(b, 0, 5), "ABC");
  putPString(b, 0, 5, "Q");
  // Only the length and the new characters change; the rest is carried.
  EXPECT_EQ(b, (std::array<std::uint8_t, 6>{1, 'Q', 'B', 'C', 'x', 'y'}));
  putPString(b, 0, 3, "TOOLONG");
  EXPECT_EQ(getPString(b, 0, 3), "TOO");
  std::array<std::uint8_t, 4> damaged{200, 'A', 'B', 'C'};
  EXPECT_EQ(getPString(damaged, 0, 3), "ABC");
}

TEST(Bytes, Real48HandBuiltValues) {
  // 1.0: exponent 129, mantissa 0.  -2.5: exponent 130, fraction .25 -> top fraction bits 0100..., sign.
  std::array<std::uint8_t, 6> one{0x81, 0, 0, 0, 0, 0x00};
  std::array<std::uint8_t, 6> minus25{0x82, 0, 0, 0, 0, 0xA0};
  std::array<std::uint8_t, 6> zero{0, 0x55, 0x55, 0, 0, 0};
  EXPECT_DOUBLE_EQ(getReal48(one, 0), 1.0);
  EXPECT_DOUBLE_EQ(getReal48(minus25, 0), -2.5);
  EXPECT_DOUBLE_EQ(getReal48(zero, 0), 0.0);
  std::array<std::uint8_t, 6> out{};
  putReal48(out, 0, 1.0);
  EXPECT_EQ(out, one);
  putReal48(out, 0, -2.5);
  EXPECT_EQ(out, minus25);
  // -99 is the "not given" zone reference: 99 = 1.546875 * 2^6.
  putReal48(out, 0, -99.0);
  EXPECT_EQ(out, (std::array<std::uint8_t, 6>{0x87, 0, 0, 0, 0, 0xC6}));
}

TEST(Bytes, Real48RoundTripsCents) {
  std::array<std::uint8_t, 6> b{};
  for (double v : {0.01, 123.45, -0.5, 1e9, 99999.99}) {
    putReal48(b, 0, v);
    EXPECT_NEAR(getReal48(b, 0), v, std::abs(v) * 1e-11) << v;
  }
}

TEST(Codepage, Windows1252RoundTrip) {
  std::string cp = "Caf\xE9 \x80 \x93quoted\x94";
  std::string utf = cp1252ToUtf8(cp);
  EXPECT_EQ(utf, "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D");
  EXPECT_EQ(utf8ToCp1252(utf), cp);
  EXPECT_TRUE(isValidUtf8(utf));
  EXPECT_FALSE(isValidUtf8(cp));
  EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");  // not representable
}

}  // namespace
}  // namespace egresso
