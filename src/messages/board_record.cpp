#include "messages/board_record.h"

#include <algorithm>
#include <cstring>

namespace egresso {

InitialsMatch::InitialsMatch(std::string_view initials, bool emptyMatches) {
  // Matches nothing: every field's bytes, masked by nothing, are 0, never 1.
  want_ = 1;
  mask_ = 0;
  if (initials.size() > 3 || (initials.empty() && !emptyMatches)) return;
  std::array<std::uint8_t, 4> want{}, mask{};
  want[0] = static_cast<std::uint8_t>(initials.size());
  mask[0] = 0xFF;
  for (std::size_t i = 0; i < initials.size(); ++i) {
    want[i + 1] = static_cast<std::uint8_t>(initials[i]);
    mask[i + 1] = 0xFF;
  }
  std::memcpy(&want_, want.data(), 4);
  std::memcpy(&mask_, mask.data(), 4);
  valid_ = true;
}

bool BoardRecordView::fieldEquals(std::size_t off, std::string_view text) const {
  std::size_t len = std::min<std::size_t>(p[off], 3);
  return len == text.size() && std::memcmp(p + off + 1, text.data(), len) == 0;
}

int BoardRecordView::recipientCount() const {
  int n = 0;
  for (int slot = 1; slot <= brd::Slots; ++slot) {
    std::size_t off = brd::ToList + 4 * (slot - 1);
    if (p[off] == 0) continue;
    if (slot == 1 && fieldEquals(off, "nul")) continue;
    ++n;
  }
  return n;
}

void BulBrdRcrd::clearKeepingClock() {
  std::int32_t start = clockStart(), day = clockDay(), entry = clockEntry();
  clear();
  setClockStart(start);
  setClockDay(day);
  setClockEntry(entry);
}

}  // namespace egresso
