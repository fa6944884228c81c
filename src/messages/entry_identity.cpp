#include "messages/entry_identity.h"

#include "board/board_lines.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/board_record.h"
#include "text/notices.h"
#include "storage/record_io.h"
#include "core/waiting.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace egresso {

std::uint64_t RecordDigest(const std::uint8_t* bytes, int viewerSlot) {
  std::array<std::uint8_t, brd::Size> b;
  std::memcpy(b.data(), bytes, brd::Size);
  for (int slot = 1; slot <= brd::Slots; ++slot)
    if (slot != viewerSlot) b[brd::ReadMarks + static_cast<std::size_t>(slot) - 1] = 0;
  // The first reading's time and day, then the three work-clock fields.
  static_assert(brd::ReadDay == brd::ReadTime + 2 && brd::ClockStart == brd::ReadDay + 2 &&
                brd::ClockEntry == brd::ClockStart + 8);
  std::memset(b.data() + brd::ReadTime, 0, brd::ClockEntry + 4 - brd::ReadTime);
  // Each step is one-to-one in the state for a given word and in the word
  // for a given state: one word's difference carries to the end.
  std::uint64_t h = 0x9E3779B97F4A7C15ULL;
  for (std::size_t i = 0; i < brd::Size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, b.data() + i, 8);
    h = (h ^ w) * 0x100000001B3ULL;
    h ^= h >> 29;
  }
  return h;
}

std::uint64_t TextDigest(std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (const char c : text) h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ULL;
  return h ^ text.size();
}

EntryIdentity IdentityOf(const BoardRecordView& rec, std::int16_t indexKey, const std::string& slotInitials,
                         int viewerSlot) {
  EntryIdentity id;
  id.known = true;
  id.who = rec.who();
  id.madeDay = rec.madeDay();
  id.madeTime = rec.madeTime();
  // A location slot whose record names nobody is still that employee's.
  if (id.who.empty()) id.who = slotInitials;
  id.key = indexKey;
  id.content = RecordDigest(rec.p, viewerSlot);
  return id;
}

namespace {

// One look at record r and its index entry, each through the station's file
// layer.
struct StoredPair {
  bool ok = true;       // false: a file was there but could not be read
  bool inData = false;  // the record lies within the data file
  bool indexed = false;  // the index holds an entry for it
  BulBrdRcrd rec;
  BoardIndexEntry index;
};

StoredPair ReadPair(Workstation& ws, int r) {
  StoredPair p;
  p.rec.clear();
  if (r < 0) return p;
  {
    RecordFile f;
    const int rc = f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files);
    if (rc == io::Ok && r < f.recordCount()) {
      p.inData = true;
      if (f.read(r, p.rec.bytes) != io::Ok) {
        p.rec.clear();
        p.ok = false;
      }
    } else if (rc != io::Ok && rc != io::FileNotFound) {
      p.ok = false;
    }
  }
  RecordFile index;
  const int rc = index.open(ws.paths.BoardIndexPath, brd::IndexSize, RecordFile::Mode::ReadOnly, *ws.files);
  if (rc == io::Ok && r < index.recordCount()) {
    std::array<std::uint8_t, brd::IndexSize> b{};
    if (index.read(r, b) == io::Ok) {
      p.index = BoardIndexEntry::decode(b);
      p.indexed = true;
    } else {
      p.ok = false;
    }
  } else if (rc != io::Ok && rc != io::FileNotFound) {
    p.ok = false;
  }
  return p;
}

// Every writer puts a record and its index entry in place one after the
// other under the board lock. A look without that lock may fall between
// the two: the record new and its entry old, or missing. Such a pair names
// no entry anybody wrote.
bool PairAgrees(const StoredPair& p, bool locations) {
  if (!p.ok) return false;
  if (!p.inData || !p.indexed) return p.inData == p.indexed;
  const std::int16_t key = locations ? p.rec.returnDay() : p.rec.madeDay();
  return p.index.Key == key && p.index.closed() == (p.rec.closed() != 0);
}

EntryIdentity IdentityOfPair(const Workstation& ws, int r, const StoredPair& p) {
  const bool locations = ws.ListMode == 1;
  const std::string slotInitials = locations && r >= 1 && r <= brd::Slots ? ws.mcfg.empInitials(r) : std::string();
  return IdentityOf(p.rec.view(), p.indexed ? p.index.Key : BoardIndexEntry{}.Key, slotInitials, ws.UserSlot);
}

// How long a look outside the lock waits for a write in progress to end:
// a save on a busy file server puts the index entry in place some tens of
// milliseconds after the record.
constexpr int kSettleRounds = 24;
constexpr int kSettleFirstPauseMs = 5;
constexpr int kSettleMaxPauseMs = 100;

}  // namespace

EntryIdentity CurrentEntry(Workstation& ws, int r, BulBrdRcrd* read) {
  StoredPair p = ReadPair(ws, r);
  // A pair that still disagrees after the wait (a writer that died between
  // the two, or a failing file) is taken as it is: the same look under the
  // lock then finds the same pair.
  for (int round = 0, pause = kSettleFirstPauseMs; round < kSettleRounds && !PairAgrees(p, ws.ListMode == 1);
       ++round, pause = std::min(pause * 2, kSettleMaxPauseMs)) {
    PauseMs(ws, pause);
    p = ReadPair(ws, r);
  }
  if (read != nullptr) *read = p.rec;
  return IdentityOfPair(ws, r, p);
}

bool SameEntry(Workstation& ws, int r, const EntryIdentity& expected) {
  if (!expected.known) return true;
  // Under the board lock no writer is at work: one look decides, unless
  // the file server failed a read for a moment.
  StoredPair p = ReadPair(ws, r);
  for (int retry = 0; retry < 3 && !p.ok; ++retry) {
    PauseMs(ws, 10);
    p = ReadPair(ws, r);
  }
  if (!p.ok) return false;
  EntryIdentity now = IdentityOfPair(ws, r, p);
  if (expected.hasBody) {
    // A missing body reads as an empty text, as the form shows it.
    now.hasBody = true;
    now.body = TextDigest(ReadBodyText(BodyFilePath(ws, CurrentBoardSet(ws), r), *ws.files));
  }
  return now == expected;
}

EntryIdentity ListedEntry(const Workstation& ws, int r) {
  for (const auto* list : {&ws.board.BBSlist, &ws.board.BBSoldList})
    for (const BoardLine& line : *list)
      if (RecordNumberOfLine(line.text) == r) return line.entry;
  return {};
}

void TellEntryChanged(Workstation& ws) {
  UltimateDialog(ws, MessageText(ws, kEntryChangedNotice), -1, "", "", MessageText(ws, 29), 3);
}

}  // namespace egresso
