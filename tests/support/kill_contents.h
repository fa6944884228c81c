// The two versions of each file the kill test's writer alternates between,
// shared by the writer and the test that judges what it left.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "config/records.h"
#include "messages/board_record.h"

namespace egresso::test {

inline constexpr int kKillSlot = 3;
inline constexpr const char* kKillLock = "KILLLK";

inline BulBrdRcrd KillRecord(bool second) {
  BulBrdRcrd r;
  r.clear();
  r.setWho("CLA");
  r.setHeadline(second ? "Second version, out to lunch" : "First version, at a customer's");
  r.setReturnDay(second ? 30000 : 20000);
  r.setReturnAt(second ? 1430 : 900);
  r.setClosed(0);
  return r;
}

inline std::filesystem::path KillBodyPath(const std::string& folder) {
  return std::filesystem::path(folder) / "BULLETIN" / (std::to_string(kKillSlot) + ".DA1");
}

// Of very different lengths, so that a text cut short or mixed shows.
inline std::string KillBody(bool second) {
  if (second) return "Short second text\r\n";
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Line " + std::to_string(i) + " of the first, long text\r\n";
  return text;
}

inline std::array<std::uint8_t, mcfg::Size> KillConfig(std::array<std::uint8_t, mcfg::Size> bytes) {
  // Another last day of use: a field every save may change.
  bytes[mcfg::LastDateUsed] = static_cast<std::uint8_t>(bytes[mcfg::LastDateUsed] ^ 0x5A);
  bytes[mcfg::LastDateUsed + 1] = static_cast<std::uint8_t>(bytes[mcfg::LastDateUsed + 1] ^ 0x21);
  return bytes;
}

inline std::string KillLetter(bool second) { return second ? "46000B" : "46000M"; }

}  // namespace egresso::test
