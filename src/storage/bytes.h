// Byte-exact encoding of the on-disk record fields: little-endian integers,
// length-prefixed single-byte strings and the 6-byte (48-bit) real.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace egresso {

using Bytes = std::span<std::uint8_t>;
using ConstBytes = std::span<const std::uint8_t>;

std::uint8_t getU8(ConstBytes b, std::size_t off);
std::int8_t getI8(ConstBytes b, std::size_t off);
std::int16_t getI16(ConstBytes b, std::size_t off);
std::uint16_t getU16(ConstBytes b, std::size_t off);
std::int32_t getI32(ConstBytes b, std::size_t off);
void putU8(Bytes b, std::size_t off, std::uint8_t v);
void putI16(Bytes b, std::size_t off, std::int16_t v);
void putU16(Bytes b, std::size_t off, std::uint16_t v);
void putI32(Bytes b, std::size_t off, std::int32_t v);

// A string[max] field occupies max + 1 bytes: the length byte, then the text.
// Reading clamps a length byte larger than max (damaged record) to max.
std::string getPString(ConstBytes b, std::size_t off, std::size_t max);
// Writes the length byte and the characters; bytes after the new length are
// left as they were, as the record layouts require. Longer text is cut to max.
void putPString(Bytes b, std::size_t off, std::size_t max, std::string_view text);

// The 48-bit real: byte 0 exponent (bias 129, 0 = value zero), bytes 1..5 the
// mantissa (least significant first), the top bit of byte 5 the sign.
double getReal48(ConstBytes b, std::size_t off);
void putReal48(Bytes b, std::size_t off, double value);

}  // namespace egresso
