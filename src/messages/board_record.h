// The 512-byte board record shared by location entries, messages and the
// message archive, and its 3-byte index entry. Both are kept as their file
// bytes: every byte the program does not interpret (the unused areas, the
// characters after a string's length) is written back exactly as read.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "storage/bytes.h"

namespace egresso {

// Offsets in the 512-byte record.
namespace brd {
inline constexpr std::size_t Size = 512;
// Records are numbered in 16 bits: a board file holds no more, and one
// planted endless is never read further.
inline constexpr std::int64_t MaxRecords = 32768;
inline constexpr std::size_t Who = 0;          // string[3]
inline constexpr std::size_t ToList = 4;       // 50 x string[3]; entry i at 4 * i
inline constexpr std::size_t Headline = 213;   // string[60]
inline constexpr std::size_t MadeDay = 274;    // int16 day
inline constexpr std::size_t ReturnDay = 276;  // int16 day
inline constexpr std::size_t MadeTime = 278;   // int16 HHMM
inline constexpr std::size_t ReturnAt = 280;   // int16 HHMM
inline constexpr std::size_t Closed = 282;     // byte
inline constexpr std::size_t ReadMarks = 284;  // 50 bytes; mark i at 283 + i
inline constexpr std::size_t EnteredBy = 334;  // string[3]
inline constexpr std::size_t ReadTime = 338;   // int16 HHMM
inline constexpr std::size_t ReadDay = 340;    // int16 day
inline constexpr std::size_t ClockStart = 342; // int32 seconds of the day
inline constexpr std::size_t ClockDay = 346;   // int32 day
inline constexpr std::size_t ClockEntry = 350; // int32 log record number
inline constexpr int Slots = 50;
inline constexpr std::size_t IndexSize = 3;
inline constexpr std::int16_t NoReturnDay = 32765;
}  // namespace brd

// Compares string[3] fields (length byte, three characters) with one set of
// initials: the length and the first characters must agree, the bytes after
// the length do not count. Four bytes are compared at once under a mask.
class InitialsMatch {
 public:
  // emptyMatches: whether no initials match an empty field.
  explicit InitialsMatch(std::string_view initials, bool emptyMatches = true);
  bool operator()(const std::uint8_t* field) const {
    std::uint32_t v;
    std::memcpy(&v, field, 4);
    return (v & mask_) == want_;
  }
  // Whether any of count fields laid one after another matches. Every field
  // is tested, without a branch for each, so that several go at once.
  bool anyOf(const std::uint8_t* fields, int count) const {
    const std::uint32_t want = want_, mask = mask_;
    std::uint32_t hits = 0;
    for (int i = 0; i < count; ++i) {
      std::uint32_t v;
      std::memcpy(&v, fields + 4 * i, 4);
      hits |= (v & mask) == want ? 1U : 0U;
    }
    return hits != 0;
  }
  bool valid() const { return valid_; }

 private:
  std::uint32_t want_ = 1, mask_ = 0;
  bool valid_ = false;
};

// Read-only field access over the bytes of one record (a record in a file
// image read in bulk, or the bytes of a BulBrdRcrd).
struct BoardRecordView {
  const std::uint8_t* p;

  ConstBytes bytes() const { return {p, brd::Size}; }
  // A string field as a view into the record (no copy).
  std::string_view text(std::size_t off, std::size_t max) const {
    return {reinterpret_cast<const char*>(p + off + 1), p[off] < max ? p[off] : max};
  }
  std::string_view whoView() const { return text(brd::Who, 3); }
  std::string_view headlineView() const { return text(brd::Headline, 60); }
  std::string who() const { return getPString(bytes(), brd::Who, 3); }
  // slot 1..50
  std::string toList(int slot) const { return getPString(bytes(), brd::ToList + 4 * (slot - 1), 3); }
  std::string headline() const { return getPString(bytes(), brd::Headline, 60); }
  std::int16_t madeDay() const { return getI16(bytes(), brd::MadeDay); }
  std::int16_t returnDay() const { return getI16(bytes(), brd::ReturnDay); }
  std::int16_t madeTime() const { return getI16(bytes(), brd::MadeTime); }
  std::int16_t returnAt() const { return getI16(bytes(), brd::ReturnAt); }
  std::uint8_t closed() const { return p[brd::Closed]; }
  // slot 1..50; anything else reads as 0 (no mark)
  std::uint8_t readMark(int slot) const {
    return slot >= 1 && slot <= brd::Slots ? p[brd::ReadMarks + slot - 1] : 0;
  }
  std::string enteredBy() const { return getPString(bytes(), brd::EnteredBy, 3); }
  std::int16_t readTime() const { return getI16(bytes(), brd::ReadTime); }
  std::int16_t readDay() const { return getI16(bytes(), brd::ReadDay); }
  std::int32_t clockStart() const { return getI32(bytes(), brd::ClockStart); }
  std::int32_t clockDay() const { return getI32(bytes(), brd::ClockDay); }
  std::int32_t clockEntry() const { return getI32(bytes(), brd::ClockEntry); }

  // The recipients: the non-empty entries of ToList other than the "nul"
  // marker that stands in entry 1 of a message not to everyone.
  int recipientCount() const;
  // Compares a string[3] field with text without building a string.
  bool fieldEquals(std::size_t off, std::string_view text) const;
};

// One board record with typed access by field.
class BulBrdRcrd {
 public:
  std::array<std::uint8_t, brd::Size> bytes{};

  BoardRecordView view() const { return {bytes.data()}; }

  std::string who() const { return view().who(); }
  std::string toList(int slot) const { return view().toList(slot); }
  std::string headline() const { return view().headline(); }
  std::int16_t madeDay() const { return view().madeDay(); }
  std::int16_t returnDay() const { return view().returnDay(); }
  std::int16_t madeTime() const { return view().madeTime(); }
  std::int16_t returnAt() const { return view().returnAt(); }
  std::uint8_t closed() const { return view().closed(); }
  std::uint8_t readMark(int slot) const { return view().readMark(slot); }
  std::string enteredBy() const { return view().enteredBy(); }
  std::int16_t readTime() const { return view().readTime(); }
  std::int16_t readDay() const { return view().readDay(); }
  std::int32_t clockStart() const { return view().clockStart(); }
  std::int32_t clockDay() const { return view().clockDay(); }
  std::int32_t clockEntry() const { return view().clockEntry(); }

  void setWho(std::string_view v) { putPString(bytes, brd::Who, 3, v); }
  void setToList(int slot, std::string_view v) { putPString(bytes, brd::ToList + 4 * (slot - 1), 3, v); }
  void setHeadline(std::string_view v) { putPString(bytes, brd::Headline, 60, v); }
  void setMadeDay(std::int16_t v) { putI16(bytes, brd::MadeDay, v); }
  void setReturnDay(std::int16_t v) { putI16(bytes, brd::ReturnDay, v); }
  void setMadeTime(std::int16_t v) { putI16(bytes, brd::MadeTime, v); }
  void setReturnAt(std::int16_t v) { putI16(bytes, brd::ReturnAt, v); }
  void setClosed(std::uint8_t v) { bytes[brd::Closed] = v; }
  // slot 1..50; other slots are ignored
  void setReadMark(int slot, std::uint8_t v) {
    if (slot >= 1 && slot <= brd::Slots) bytes[brd::ReadMarks + slot - 1] = v;
  }
  void setEnteredBy(std::string_view v) { putPString(bytes, brd::EnteredBy, 3, v); }
  void setReadTime(std::int16_t v) { putI16(bytes, brd::ReadTime, v); }
  void setReadDay(std::int16_t v) { putI16(bytes, brd::ReadDay, v); }
  void setClockStart(std::int32_t v) { putI32(bytes, brd::ClockStart, v); }
  void setClockDay(std::int32_t v) { putI32(bytes, brd::ClockDay, v); }
  void setClockEntry(std::int32_t v) { putI32(bytes, brd::ClockEntry, v); }

  void clear() { bytes.fill(0); }
  // Clears everything but the three work-clock fields (signing in keeps a
  // running work clock).
  void clearKeepingClock();
};

struct BoardIndexEntry {
  std::int16_t Key = 0;     // ReturnDay for locations, MadeDay for messages
  std::uint8_t Flags = 0;   // bit 0 closed, bit 1 stale (locations) 

  static constexpr std::uint8_t ClosedBit = 1;
  static constexpr std::uint8_t StaleBit = 2;

  bool closed() const { return (Flags & ClosedBit) != 0; }
  bool stale() const { return (Flags & StaleBit) != 0; }

  static BoardIndexEntry decode(ConstBytes b, std::size_t off = 0) { return {getI16(b, off), getU8(b, off + 2)}; }
  void encode(Bytes b, std::size_t off = 0) const {
    putI16(b, off, Key);
    putU8(b, off + 2, Flags);
  }
};

}  // namespace egresso
