#include "storage/bytes.h"

#include <algorithm>
#include <cmath>

namespace egresso {

std::uint8_t getU8(ConstBytes b, std::size_t off) { return b[off]; }
std::int8_t getI8(ConstBytes b, std::size_t off) { return static_cast<std::int8_t>(b[off]); }

std::uint16_t getU16(ConstBytes b, std::size_t off) {
  return static_cast<std::uint16_t>(b[off] | (b[off + 1] << 8));
}
std::int16_t getI16(ConstBytes b, std::size_t off) { return static_cast<std::int16_t>(getU16(b, off)); }

std::int32_t getI32(ConstBytes b, std::size_t off) {
  std::uint32_t v = static_cast<std::uint32_t>(b[off]) | (static_cast<std::uint32_t>(b[off + 1]) << 8) |
                    (static_cast<std::uint32_t>(b[off + 2]) << 16) | (static_cast<std::uint32_t>(b[off + 3]) << 24);
  return static_cast<std::int32_t>(v);
}

void putU8(Bytes b, std::size_t off, std::uint8_t v) { b[off] = v; }
void putU16(Bytes b, std::size_t off, std::uint16_t v) {
  b[off] = static_cast<std::uint8_t>(v & 0xFF);
  b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}
void putI16(Bytes b, std::size_t off, std::int16_t v) { putU16(b, off, static_cast<std::uint16_t>(v)); }
void putI32(Bytes b, std::size_t off, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[off + i] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF);
}

std::string getPString(ConstBytes b, std::size_t off, std::size_t max) {
  std::size_t len = std::min<std::size_t>(b[off], max);
  return std::string(reinterpret_cast<const char*>(b.data() + off + 1), len);
}

void putPString(Bytes b, std::size_t off, std::size_t max, std::string_view text) {
  std::size_t len = std::min(text.size(), max);
  b[off] = static_cast<std::uint8_t>(len);
  std::copy_n(reinterpret_cast<const std::uint8_t*>(text.data()), len, b.begin() + off + 1);
}

double getReal48(ConstBytes b, std::size_t off) {
  int exponent = b[off];
  if (exponent == 0) return 0.0;
  // 39 fraction bits: bytes 1..4 fully, then the low 7 bits of byte 5.
  std::uint64_t frac = 0;
  for (int i = 4; i >= 1; --i) frac = (frac << 8) | b[off + i];
  frac |= static_cast<std::uint64_t>(b[off + 5] & 0x7F) << 32;
  double mantissa = 1.0 + static_cast<double>(frac) / static_cast<double>(1ULL << 39);
  double v = std::ldexp(mantissa, exponent - 129);
  return (b[off + 5] & 0x80) ? -v : v;
}

void putReal48(Bytes b, std::size_t off, double value) {
  std::fill_n(b.begin() + off, 6, std::uint8_t{0});
  if (value == 0.0 || !std::isfinite(value)) return;
  bool negative = value < 0;
  int exp2 = 0;
  double m = std::frexp(std::fabs(value), &exp2);  // m in [0.5, 1)
  // value = (2m) * 2^(exp2-1), 2m in [1, 2)
  double frac = (2.0 * m - 1.0) * static_cast<double>(1ULL << 39);
  auto f = static_cast<std::uint64_t>(std::llround(frac));
  int exponent = exp2 - 1 + 129;
  if (f >= (1ULL << 39)) {  // rounding carried into the hidden bit
    f = 0;
    ++exponent;
  }
  if (exponent <= 0) return;  // too small: stored as zero
  if (exponent > 255) {       // too large: the largest representable magnitude
    exponent = 255;
    f = (1ULL << 39) - 1;
  }
  b[off] = static_cast<std::uint8_t>(exponent);
  for (int i = 1; i <= 4; ++i) b[off + i] = static_cast<std::uint8_t>((f >> (8 * (i - 1))) & 0xFF);
  b[off + 5] = static_cast<std::uint8_t>(((f >> 32) & 0x7F) | (negative ? 0x80 : 0));
}

}  // namespace egresso
