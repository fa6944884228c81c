// Arbitrary bytes as each fixed-size record the data folder holds: the board
// record and its index entry, both configuration records, a notification
// record and a tape line. Every typed field reads inside its record, writing
// back what was read leaves the bytes as they were, and a string field whose
// length byte overstates its room reads as the room's worth.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/records.h"
#include "fuzz_support.h"
#include "messages/board_record.h"
#include "storage/notify_file.h"
#include "tools/calc.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> tiledRecord(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, N> r{};
  if (size > 0)
    for (std::size_t i = 0; i < N; ++i) r[i] = data[i % size];
  return r;
}

// A string field written back as read: byte-exact when its length byte fits
// the field; otherwise the field now states the clamped length.
void stringRoundTrip(ConstBytes original, std::size_t off, std::size_t max) {
  std::string s = getPString(original, off, max);
  require(s.size() <= max, "string inside its field");
  std::array<std::uint8_t, 256> copy{};
  std::copy(original.begin() + off, original.begin() + off + max + 1, copy.begin());
  putPString(copy, 0, max, s);
  if (original[off] <= max)
    require(std::memcmp(copy.data(), original.data() + off, max + 1) == 0, "string field byte-exact");
  require(getPString(copy, 0, max) == s, "string field reads back");
}

void boardRecord(const std::uint8_t* data, std::size_t size) {
  BulBrdRcrd rec;
  rec.bytes = tiledRecord<brd::Size>(data, size);
  const auto original = rec.bytes;
  BoardRecordView v = rec.view();
  const int n = v.recipientCount();
  require(n >= 0 && n <= brd::Slots, "recipient count");
  for (int slot = 1; slot <= brd::Slots; ++slot) stringRoundTrip(original, brd::ToList + 4 * (slot - 1), 3);
  stringRoundTrip(original, brd::Who, 3);
  stringRoundTrip(original, brd::Headline, 60);
  stringRoundTrip(original, brd::EnteredBy, 3);
  require(v.whoView() == rec.who() && v.headlineView() == rec.headline(), "views agree with copies");
  require(rec.readMark(0) == 0 && rec.readMark(brd::Slots + 1) == 0, "marks outside the slots read as none");

  // Every numeric field set to what it read: the record is unchanged.
  BulBrdRcrd again = rec;
  again.setMadeDay(rec.madeDay());
  again.setReturnDay(rec.returnDay());
  again.setMadeTime(rec.madeTime());
  again.setReturnAt(rec.returnAt());
  again.setClosed(rec.closed());
  again.setReadTime(rec.readTime());
  again.setReadDay(rec.readDay());
  again.setClockStart(rec.clockStart());
  again.setClockDay(rec.clockDay());
  again.setClockEntry(rec.clockEntry());
  for (int slot = 0; slot <= brd::Slots + 1; ++slot) again.setReadMark(slot, rec.readMark(slot));
  require(again.bytes == original, "numeric fields byte-exact");

  // Clearing keeps exactly the work clock.
  again.clearKeepingClock();
  require(again.clockStart() == rec.clockStart() && again.clockDay() == rec.clockDay() &&
              again.clockEntry() == rec.clockEntry(),
          "clearing keeps the clock");
  require(again.who().empty() && again.view().recipientCount() == 0, "clearing empties the rest");

  // Initials matching agrees with the string comparison of the field.
  std::string initials(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, data[0] % 5));
  InitialsMatch match(initials);
  if (match.valid()) {
    for (int slot = 1; slot <= brd::Slots; ++slot) {
      const std::size_t off = brd::ToList + 4 * (slot - 1);
      const bool viaMask = match(rec.bytes.data() + off);
      if (original[off] > 3) continue;
      require(viaMask == (rec.toList(slot) == initials), "initials match agrees with the field text");
      require(v.fieldEquals(off, initials) == viaMask, "fieldEquals agrees with the match");
    }
  }

  // The index entry: three bytes, byte-exact both ways.
  for (std::size_t off = 0; off + brd::IndexSize <= std::min<std::size_t>(size, 60); ++off) {
    ConstBytes in(data + off, brd::IndexSize);
    BoardIndexEntry e = BoardIndexEntry::decode(in);
    std::array<std::uint8_t, brd::IndexSize> out{};
    e.encode(out);
    require(std::memcmp(out.data(), data + off, brd::IndexSize) == 0, "index entry byte-exact");
    require(e.closed() == ((data[off + 2] & 1) != 0) && e.stale() == ((data[off + 2] & 2) != 0), "index flags");
  }
}

void configRecords(const std::uint8_t* data, std::size_t size) {
  MainConfig m;
  m.bytes = tiledRecord<mcfg::Size>(data, size);
  const auto original = m.bytes;
  for (int slot = -1; slot <= mcfg::Employees + 1; ++slot) {
    require(m.empInitials(slot).size() <= 3 && m.empName(slot).size() <= 20, "employee fields");
    m.setEmpInitials(slot, m.empInitials(slot));
    m.setEmpName(slot, m.empName(slot));
  }
  for (int g = 0; g <= mcfg::Groups + 1; ++g) {
    require(m.groupName(g).size() <= 3, "group name");
    for (int k = 0; k <= mcfg::GroupSize + 1; ++k) require(m.groupMember(g, k).size() <= 3, "group member");
  }
  for (int slot = 1; slot <= mcfg::Employees; ++slot) {
    const std::size_t a = mcfg::EmpInitials + 4 * (slot - 1), b = mcfg::EmpNames + 21 * (slot - 1);
    if (original[a] <= 3) require(std::memcmp(m.bytes.data() + a, original.data() + a, 4) == 0, "initials byte-exact");
    if (original[b] <= 20) require(std::memcmp(m.bytes.data() + b, original.data() + b, 21) == 0, "name byte-exact");
  }
  // Nothing outside the employee table moved.
  require(std::equal(m.bytes.begin(), m.bytes.begin() + mcfg::EmpInitials, original.begin()) &&
              std::equal(m.bytes.begin() + mcfg::EmpNames + 21 * mcfg::Employees, m.bytes.end(),
                         original.begin() + mcfg::EmpNames + 21 * mcfg::Employees),
          "writes stay inside the employee table");
  const int slot = m.slotOf(m.empInitials(1 + data[0] % mcfg::Employees));
  require(slot >= 0 && slot <= mcfg::Employees, "slot range");
  if (slot > 0) require(m.empInitials(slot) == m.empInitials(1 + data[0] % mcfg::Employees), "slot holds the initials");
  const double scale = m.real(mcfg::ScaleReal);
  require(scale == scale, "real field is a number");

  PersonalConfig p;
  p.bytes = tiledRecord<pcfg::Size>(data, size);
  const auto before = p.bytes;
  for (int i = -1; i <= 10; ++i) {
    if (i >= 0 && i < 10) p.setI32(pcfg::Colors + 4 * i, p.color(i));
    else require(p.color(i) == 0, "colours outside the table read as black");
  }
  for (int i = -1; i <= 4; ++i)
    if (i < 0 || i > 3) require(p.panelArea(i) == 0 && p.homePlacement(i) == 0, "quads outside read as 0");
  p.setStr(pcfg::UserPassword, 8, p.str(pcfg::UserPassword, 8));
  p.setStr(pcfg::DialPrefix, 19, p.str(pcfg::DialPrefix, 19));
  p.setStr(pcfg::AlarmSound, 40, p.str(pcfg::AlarmSound, 40));
  if (before[pcfg::UserPassword] <= 8 && before[pcfg::DialPrefix] <= 19 && before[pcfg::AlarmSound] <= 40)
    require(p.bytes == before, "personal record byte-exact");
}

void smallRecords(const std::uint8_t* data, std::size_t size) {
  // A notification record: a short string of up to ten characters.
  auto note = tiledRecord<kNotifyRecordSize>(data, size);
  stringRoundTrip(note, 0, kNotifyRecordSize - 1);
  // A tape line: two reals, the operator and the decimals.
  auto line = tiledRecord<tape::RecordSize>(data + size / 2, size - size / 2);
  for (std::size_t off : {tape::Amount, tape::Total}) {
    const double v = getReal48(line, off);
    require(v == v, "tape real is a number");
    std::array<std::uint8_t, 6> out{};
    putReal48(out, 0, v);
    require(getReal48(out, 0) == v, "tape real reads back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  boardRecord(data, size);
  configRecords(data, size);
  smallRecords(data, size);
  return 0;
}
