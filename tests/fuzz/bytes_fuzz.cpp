// The record codecs on arbitrary bytes: every decoder stays inside its field,
// and what a decoder reads encodes back to the same bytes.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "storage/bytes.h"

using namespace egresso;
using egresso::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> buf(data, data + size);
  ConstBytes in(buf);
  for (std::size_t off = 0; off + 4 <= size; ++off) {
    std::array<std::uint8_t, 4> out{};
    putI32(out, 0, getI32(in, off));
    require(std::memcmp(out.data(), data + off, 4) == 0, "int32 round trip");
    putI16(out, 0, getI16(in, off));
    require(getU16(out, 0) == getU16(in, off), "int16 round trip");
  }
  for (std::size_t off = 0; off + 6 <= size; ++off) {
    double v = getReal48(in, off);
    require(v == v, "real48 decodes to a number");
    std::array<std::uint8_t, 6> out{};
    putReal48(out, 0, v);
    if (data[off] != 0) require(std::memcmp(out.data(), data + off, 6) == 0, "real48 round trip");
    require(getReal48(out, 0) == v, "real48 value round trip");
  }
  if (size >= 1) {
    std::size_t max = data[0] % 64;
    for (std::size_t off = 0; off + max + 1 <= size; off += 7) {
      std::string s = getPString(in, off, max);
      require(s.size() <= max, "string within its field");
      std::vector<std::uint8_t> field(max + 1, 0);
      putPString(field, 0, max, s);
      require(getPString(field, 0, max) == s, "string round trip");
    }
  }
  return 0;
}
