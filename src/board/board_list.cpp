#include "board/board_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <unordered_map>
#include <vector>

#include "board/board_lines.h"
#include "core/waiting.h"
#include "config/startup_routine.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "storage/dates.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/pending_maintenance.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

// A whole record file read into memory at once: the list pass reads every
// record, and one read of the file costs far less than one per record.
struct FileImage {
  std::unique_ptr<std::uint8_t[]> buffer;  // left uninitialised: the read fills it
  std::size_t size = 0;
  std::int64_t records = 0;
  bool exists = false;  // something is at the path
  bool ok = false;      // it was read

  std::uint8_t* data() { return buffer.get(); }
  std::span<std::uint8_t> bytes() { return {buffer.get(), size}; }
};

void ReadImage(FileOps& ops, const std::string& path, std::size_t recordSize, FileImage& img) {
  img.size = 0;
  img.records = 0;
  img.ok = false;
  struct stat st;
  img.exists = ops.stat(path.c_str(), &st) == 0;
  if (!img.exists || !S_ISREG(st.st_mode)) return;
  RecordFile f;
  if (f.open(path, recordSize, RecordFile::Mode::ReadOnly, ops) != io::Ok) return;
  const std::size_t want = static_cast<std::size_t>(std::min(f.recordCount(), brd::MaxRecords)) * recordSize;
  if (want > 0) img.buffer.reset(new std::uint8_t[want]);
  const std::int64_t got = f.readRecords(0, std::span<std::uint8_t>(img.buffer.get(), want));
  if (got < 0) return;
  img.records = got;
  img.size = static_cast<std::size_t>(got) * recordSize;
  img.ok = true;
}

// The data file during a list pass: open for the whole pass and read a block
// of records at a time into one small buffer that is used again and again.
class DataWindow {
 public:
  static constexpr std::int64_t kBlock = 128;

  void open(FileOps& ops, const std::string& path) {
    file_.close();
    records = 0;
    ok = false;
    first_ = count_ = 0;
    struct stat st;
    exists = ops.stat(path.c_str(), &st) == 0;
    if (!exists || !S_ISREG(st.st_mode)) return;
    if (file_.open(path, brd::Size, RecordFile::Mode::ReadOnly, ops) != io::Ok) return;
    records = std::min(file_.recordCount(), brd::MaxRecords);
    buffer_.resize(static_cast<std::size_t>(kBlock) * brd::Size);
    ok = true;
  }
  void close() {
    file_.close();
    ok = false;
  }
  // Record j, or nullptr when the file does not hold it.
  std::uint8_t* record(std::int64_t j) {
    if (!ok || j < 0 || j >= records) return nullptr;
    if (j < first_ || j >= first_ + count_) {
      first_ = j;
      count_ = std::max<std::int64_t>(0, file_.readRecords(j, buffer_));
      if (count_ == 0) return nullptr;
    }
    return buffer_.data() + (j - first_) * static_cast<std::int64_t>(brd::Size);
  }
  // Asks for the part of record j a list pass reads (up to the read
  // marks) when the block read last holds it.
  void prefetch(std::int64_t j) const {
    if (j < first_ || j >= first_ + count_) return;
    const std::uint8_t* p = buffer_.data() + (j - first_) * static_cast<std::int64_t>(brd::Size);
    for (std::size_t at = 0; at < brd::EnteredBy; at += 64) __builtin_prefetch(p + at);
  }

  std::int64_t records = 0;
  bool exists = false;
  bool ok = false;

 private:
  RecordFile file_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t first_ = 0, count_ = 0;
};

bool Unreadable(const FileImage& img) { return img.exists && !img.ok; }
bool Unreadable(const DataWindow& d) { return d.exists && !d.ok; }

// Up to 100 attempts while a file that is there cannot be read; a missing
// file does not appear by trying again.
bool LoadImages(Workstation& ws, FileImage& index, DataWindow& data) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    ReadImage(*ws.files, ws.paths.BoardIndexPath, brd::IndexSize, index);
    data.open(*ws.files, ws.paths.BoardDataPath);
    if (index.ok && data.ok) return true;
    if (!Unreadable(index) && !Unreadable(data)) return false;
    if (ws.board.ReadOnlyView) return false;
  }
  return false;
}

// The board lock, taken once for all the writes of one list pass and only
// when the pass has something to write.
class PassLock {
 public:
  explicit PassLock(Workstation& ws) : ws_(ws) {}
  ~PassLock() {
    if (held_) ReleaseLock(ws_, ws_.board.BoardLockName);
  }
  PassLock(const PassLock&) = delete;
  PassLock& operator=(const PassLock&) = delete;
  bool take(std::string_view tag) {
    if (ws_.board.ReadOnlyView) return false;
    if (!tried_) {
      tried_ = true;
      held_ = AcquireLock(ws_, ws_.board.BoardLockName, tag);
    }
    return held_;
  }

 private:
  Workstation& ws_;
  bool tried_ = false;
  bool held_ = false;
};

int WriteDirect(Workstation& ws, const std::string& path, std::size_t recordSize, std::int64_t n, ConstBytes bytes,
                std::string_view tag) {
  RecordFile f;
  int rc = f.open(path, recordSize, RecordFile::Mode::ReadWrite, *ws.files);
  if (rc == io::Ok) rc = WriteRecordKeepingTail(f, n, bytes);
  int closeRc = f.close();
  if (rc == io::Ok) rc = closeRc;
  ReportIoError(ws, rc, tag);
  NormalizeFileAttr(ws, path);
  return rc;
}

int WriteIndexDirect(Workstation& ws, std::int64_t n, const BoardIndexEntry& e, std::string_view tag) {
  std::array<std::uint8_t, brd::IndexSize> b{};
  e.encode(b);
  return WriteDirect(ws, ws.paths.BoardIndexPath, brd::IndexSize, n, b, tag);
}

int WriteDataDirect(Workstation& ws, std::int64_t n, const BulBrdRcrd& rec, std::string_view tag) {
  return WriteDirect(ws, ws.paths.BoardDataPath, brd::Size, n, rec.bytes, tag);
}

// Index entry and record j as they are in the files now (a record that is
// not there reads as cleared).
void ReadFresh(Workstation& ws, std::int64_t j, BoardIndexEntry& e, BulBrdRcrd& rec) {
  ReadBoardIndexEntry(*ws.files, ws.paths.BoardIndexPath, static_cast<int>(j), e);
  rec.clear();
  RecordFile f;
  if (f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files) != io::Ok || f.read(j, rec.bytes) != io::Ok)
    rec.clear();
}

// Makes LOCATE hold one signed-in record per employee slot 0..50; the
// current entries are lost (everybody shows as in).
void RebuildLocationFiles(Workstation& ws) {
  HeldLock lock(ws, "LOCATELK", "BBSL1");
  if (!lock) return;
  // Another workstation may have been making the files while this one
  // waited for the lock (the configuration dialog replaces them whole):
  // files that can be read now are kept.
  FileImage index;
  DataWindow data;
  ReadImage(*ws.files, ws.paths.BoardIndexPath, brd::IndexSize, index);
  data.open(*ws.files, ws.paths.BoardDataPath);
  if (index.ok && data.ok) return;
  const int keep = ws.board.KeepIndexFlags;
  ws.board.KeepIndexFlags = -1;
  // Only the index is gone: it is made again from the records (writing the
  // last record back fills in every entry before it), so nobody's entry is
  // lost. Files that exist but cannot be opened are rebuilt as before.
  if (data.ok && data.records > 0 && !index.exists) {
    const int last = static_cast<int>(std::min<std::int64_t>(data.records - 1, 32767));
    data.close();
    ReadBoardRecord(ws, last, "BBSL1");
    WriteBoardRecord(ws, last, "BBSL1");
    ws.board.KeepIndexFlags = keep;
    return;
  }
  for (int j = 0; j <= brd::Slots; ++j) {
    ClearRecord(ws);
    ws.board.RecordBuffer.setClosed(1);
    ws.board.RecordBuffer.setWho(j >= 1 ? ws.mcfg.empInitials(j) : std::string());
    WriteBoardRecord(ws, j, "BBSL1");
    deleteFile(BodyFilePath(ws, BoardSet::Locations, j), *ws.files);
    if (ws.QuitRequested) break;
  }
  ws.board.KeepIndexFlags = keep;
}

bool ContainsNoCase(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != hay.end();
}

std::uint32_t PersonColour(const Workstation& ws, int slot) {
  if (slot < 1) return ListTextColour(ws);
  return static_cast<std::uint32_t>(ws.pcfg.i32(171 + 4 * ((slot - 1) % 17)));
}

// Eight characters as a number that orders as they do, capitals folded to
// small letters: a byte is a capital when its low seven bits lie in
// 'A'..'Z' and its top bit is clear, and folding sets its bit 5. All eight
// are tested at once; the additions cannot carry from one byte into the next.
std::uint64_t Folded(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kTops = 0x8080808080808080ULL;
  const std::uint64_t low = w & ~kTops;
  const std::uint64_t atLeastA = (low + (0x80 - 'A') * kOnes) & kTops;
  const std::uint64_t beyondZ = (low + (0x80 - 'Z' - 1) * kOnes) & kTops;
  const std::uint64_t capitals = atLeastA & ~beyondZ & ~(w & kTops);
  return w | (capitals >> 2);
}

// Eight characters as one number, the first in the highest byte.
std::uint64_t WordAt(const void* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  return w;
}

std::uint64_t FoldedWord(const unsigned char* p) { return Folded(WordAt(p)); }

// The key a list line is sorted by: the first 24 characters of its sort
// prefix (padded to kSortPrefixWidth) followed by the line, case folded, as
// three numbers that order as the characters do (missing characters as 0).
// Most lines are told apart by the key alone; the line itself is only read
// for the rest.
using SortKey = std::array<std::uint64_t, 3>;
constexpr std::size_t kKeyTextWidth = 24 - kSortPrefixWidth;

SortKey KeyOf(std::string_view prefix, std::string_view text) {
  static_assert(kSortPrefixWidth <= 24);
  unsigned char lead[24] = {};
  const std::size_t p = std::min<std::size_t>(prefix.size(), kSortPrefixWidth);
  std::memcpy(lead, prefix.data(), p);
  std::memset(lead + p, ' ', kSortPrefixWidth - p);
  std::memcpy(lead + kSortPrefixWidth, text.data(), std::min(kKeyTextWidth, text.size()));
  return {FoldedWord(lead), FoldedWord(lead + 8), FoldedWord(lead + 16)};
}

// Message keys are made from numbers in registers rather than from the
// line just written: reading back eight characters written a few at a time
// stalls the processor. The first n characters of a word, blanks after them
// (n up to 8).
std::uint64_t FirstOf(std::uint64_t w, std::size_t n) {
  constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
  const std::uint64_t keep = n == 0 ? 0 : ~std::uint64_t{0} << (8 * (8 - std::min<std::size_t>(n, 8)));
  return (w & keep) | (kBlanks & ~keep);
}
// A string field of the record (its length byte at off, max characters
// after it) as the first sixteen characters of its column, in two words.
inline std::array<std::uint64_t, 2> FieldWords(const std::uint8_t* record, std::size_t off, std::size_t max) {
  const std::size_t n = std::min<std::size_t>(record[off], max);
  return {FirstOf(WordAt(record + off + 1), n), FirstOf(WordAt(record + off + 9), n > 8 ? n - 8 : 0)};
}
// The key of a message line: its sort prefix of ten characters as a word
// and two more at the top of a second one, followed by the line, whose first
// sixteen characters are the headline's column.
inline SortKey MessageKey(std::uint64_t prefix, std::uint64_t prefixEnd, const std::array<std::uint64_t, 2>& headline) {
  static_assert(kSortPrefixWidth == 10 && kKeyTextWidth == 14);
  return {Folded(prefix), Folded(prefixEnd | (headline[0] >> 16)), Folded((headline[0] << 48) | (headline[1] >> 16))};
}
constexpr std::uint64_t kTopTwo = 0xFFFF000000000000ULL;

bool SameKey(const SortKey& x, const SortKey& y) { return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2])) == 0; }

// The part of a line after the key.
std::string_view RestOf(std::string_view text) { return text.substr(std::min(kKeyTextWidth, text.size())); }

// A board line while the list is built: the line as shown, and its key.
struct PendingLine {
  std::string text;
  std::uint32_t colour;
  bool showsReturnTime = false;
  SortKey key{};
  EntryIdentity entry{};

  void setKey(std::string_view prefix) { key = KeyOf(prefix, text); }
  std::string_view rest() const { return RestOf(text); }
};

// Date and time texts repeat across thousands of messages; each is
// formatted once per pass.
class TextCache {
 public:
  explicit TextCache(const Workstation& ws) : ws_(ws) {}
  const std::string& date(int day) {
    if (day != lastDay_ || lastDate_ == nullptr) {
      auto it = dates_.find(day);
      if (it == dates_.end()) it = dates_.emplace(day, BoardDateText(ws_, day)).first;
      lastDay_ = day;
      lastDate_ = &it->second;
    }
    return *lastDate_;
  }
  const std::string& time(int hhmm) {
    // Stored times are 0..2359 (2900: none); others go through the map.
    if (hhmm >= 0 && hhmm < static_cast<int>(timeTable_.size())) {
      std::string*& t = timeTable_[static_cast<std::size_t>(hhmm)];
      if (t == nullptr) t = &times_.emplace(hhmm, BoardTimeText(ws_, hhmm)).first->second;
      return *t;
    }
    auto it = times_.find(hhmm);
    if (it == times_.end()) it = times_.emplace(hhmm, BoardTimeText(ws_, hhmm)).first;
    return it->second;
  }

 private:
  const Workstation& ws_;
  std::unordered_map<int, std::string> dates_, times_;
  std::vector<std::string*> timeTable_ = std::vector<std::string*>(2400, nullptr);
  int lastDay_ = 0;
  const std::string* lastDate_ = nullptr;
};

void ReportLineFailure(Workstation& ws, const std::exception& e) {
  ReportException(ws, "Exception", e.what(), "\"MSGIFD1\"");
}

// Returns true when the table on the disk names somebody whose entry the
// table in memory would have signed in: the table is to be read again.
bool BoardPass(Workstation& ws, FileImage& index, DataWindow& data, std::vector<PendingLine>& out) {
  BoardState& b = ws.board;
  PassLock lock(ws);
  TextCache texts(ws);
  const std::string staleText = MessageText(ws, 1445);
  const LocationLayout layout = ws.options.CompactMode   ? LocationLayout::Compact
                                : ws.options.ReturnFirst ? LocationLayout::ReturnFirst
                                                         : LocationLayout::Default;
  const std::uint32_t textColour = ListTextColour(ws);
  const bool personColours = ws.pcfg.flag(pcfg::PersonColors);
  // The employee table, taken apart once for the whole pass.
  std::array<std::string, brd::Slots + 1> initials, names;
  for (int s = 1; s <= brd::Slots; ++s) {
    initials[static_cast<std::size_t>(s)] = ws.mcfg.empInitials(s);
    names[static_cast<std::size_t>(s)] = ws.mcfg.empName(s);
  }
  auto slotOf = [&](std::string_view who) {
    for (int s = 1; s <= brd::Slots; ++s)
      if (initials[static_cast<std::size_t>(s)] == who) return s;
    return 0;
  };
  // Initials the table in memory lacks may be a colleague added since it
  // was read: before such an entry is cleared, the table on the disk is
  // asked (once a pass). One that cannot be read clears nothing.
  std::optional<MainConfig> onDisk;
  bool diskRead = false, tableBehind = false;
  auto heldOnDisk = [&](std::string_view who) {
    if (who.empty()) return false;
    if (!onDisk) diskRead = PeekMainConfig(ws, onDisk.emplace());
    return !diskRead || onDisk->slotOf(who) != 0;
  };
  for (std::int64_t j = 1; j < index.records; ++j) {
    try {
      BoardIndexEntry e = BoardIndexEntry::decode(index.bytes(), static_cast<std::size_t>(j) * brd::IndexSize);
      BulBrdRcrd rec;
      if (const std::uint8_t* bytes = data.record(j)) std::memcpy(rec.bytes.data(), bytes, brd::Size);
      const std::string& slotInitials = j <= brd::Slots ? initials[static_cast<std::size_t>(j)] : initials[0];

      // An open entry of an earlier day, or one of somebody no longer in the
      // table, is signed in; one that says so already is left alone.
      auto dueForSignIn = [&](const BoardIndexEntry& x, const BulBrdRcrd& r) {
        const bool known = slotOf(r.view().whoView()) != 0;
        const bool expired = (!x.closed() && x.Key != 0 && x.Key < ws.Today) || !known;
        const bool alreadyIn = x.closed() && x.Key == 0 && r.closed() == 1 && r.who() == slotInitials;
        return expired && !alreadyIn;
      };
      // The same, decided under the lock, where a stranger to the table in
      // memory is first looked for on the disk.
      auto dueNow = [&](const BoardIndexEntry& x, const BulBrdRcrd& r) {
        if (!dueForSignIn(x, r)) return false;
        const bool dated = !x.closed() && x.Key != 0 && x.Key < ws.Today;
        if (dated || slotOf(r.view().whoView()) != 0 || !heldOnDisk(r.who())) return true;
        tableBehind = tableBehind || diskRead;
        return false;
      };
      if (!b.ReadOnlyRefresh && dueForSignIn(e, rec)) {
        auto signIn = [&]() {
          rec.clearKeepingClock();
          rec.setClosed(1);
          rec.setWho(slotInitials);
          e = BoardIndexEntry{0, static_cast<std::uint8_t>(e.Flags | BoardIndexEntry::ClosedBit)};
        };
        if (b.ReadOnlyView) {
          signIn();
        } else if (lock.take("BBSL4")) {
          // Another workstation may have changed the entry before the lock
          // was had: the decision is made again on what is in the files now.
          ReadFresh(ws, j, e, rec);
          if (dueNow(e, rec)) {
            signIn();
            WriteIndexDirect(ws, j, e, "BBSL4-I");
            WriteDataDirect(ws, j, rec, "BBSL4-D");
            deleteFile(BodyFilePath(ws, BoardSet::Locations, static_cast<int>(j)), *ws.files);
            BoardTrace(ws, "ShowLoc Write3: ");
          }
        }
      }

      if (e.closed() && !b.ShowEveryEntry) continue;
      if (ws.options.OwnEntryOnly && rec.who() != ws.ThisUser) continue;
      EntryIdentity entry = IdentityOf(rec.view(), e.Key, slotInitials, ws.UserSlot);
      if (e.closed()) {
        rec.clearKeepingClock();
        rec.setWho(slotInitials);
      }
      if (rec.who().empty() && !b.ShowEveryEntry) continue;
      if (rec.headline() == "2") {
        rec.setHeadline("");
        if (!b.ReadOnlyRefresh && lock.take("BBSL4")) {
          BoardIndexEntry now = e;
          BulBrdRcrd stored;
          ReadFresh(ws, j, now, stored);
          if (stored.headline() == "2") {
            stored.setHeadline("");
            WriteDataDirect(ws, j, stored, "BBSL3");
            // The line stands for the entry as it is in the file now.
            if (!now.closed()) entry = IdentityOf(stored.view(), now.Key, slotInitials, ws.UserSlot);
          }
        }
      }

      std::string location = e.stale() ? staleText : rec.headline();
      const std::string who = rec.who();
      const int slot = who.empty() ? static_cast<int>(j) : slotOf(who);
      const std::string& name = slot >= 1 && slot <= brd::Slots ? names[static_cast<std::size_t>(slot)] : names[0];
      const int returnDay = rec.returnDay();
      LocationLine line;
      line.dateText = returnDay == ws.Today || returnDay == brd::NoReturnDay ? std::string() : texts.date(returnDay);
      line.timeText = texts.time(rec.returnAt());

      // The stale text too says when the entry was written.
      if (ws.options.TimeStamped && rec.madeDay() != 0 && rec.madeTime() != 0) {
        std::string made = TrimText(texts.time(rec.madeTime()));
        if (rec.madeDay() == ws.Today) {
          location = "(" + made + ") " + location;
        } else {
          location = "(" + FormatDay(ws, rec.madeDay()).substr(0, 5) + "/" + made + ") " + location;
        }
      }
      if (name.empty() || (location.empty() && !b.ShowBlankEntries)) continue;

      line.name = name;
      line.location = location;
      line.record = static_cast<int>(j);
      line.stale = e.stale();
      out.push_back({LocationText(line, layout, staleText), personColours ? PersonColour(ws, slot) : textColour,
                     LocationShowsReturnTime(line, layout, staleText)});
      out.back().setKey(BoardSortPrefix(name));
      out.back().entry = std::move(entry);
    } catch (const std::exception& ex) {
      ReportLineFailure(ws, ex);
    }
  }
  return tableBehind;
}

// What the lines of the messages made on one day, or at one time of day,
// share: the column's text and that part of the sort prefix, in either
// order ([1] oldest first).
struct DayTexts {
  std::string date;  // leading blanks gone
  std::array<std::uint64_t, 2> prefix{};  // YYMMDD in the top six bytes
};
struct TimeTexts {
  std::string time;
  std::array<std::uint64_t, 2> prefix{};  // HHMM in the top four bytes
};

// The day and time texts of one message pass, each made once.
class MessageTexts {
 public:
  explicit MessageTexts(const Workstation& ws) : ws_(ws) {}
  const DayTexts& day(int d) {
    // Messages of different days follow one another: the days last met are
    // found without the map's hashing.
    Recent& recent = recent_[static_cast<std::size_t>(d) % recent_.size()];
    if (recent.texts != nullptr && recent.day == d) return *recent.texts;
    auto it = days_.find(d);
    if (it == days_.end()) {
      DayTexts t;
      t.date = BoardDateText(ws_, d);
      t.date.erase(0, std::min(t.date.size(), t.date.find_first_not_of(' ')));
      for (int oldest = 0; oldest < 2; ++oldest) {
        std::string p;
        AppendMessageDatePrefix(p, YearOfDay2(d), MonthOfDay(d), DayOfMonth(d), 0, oldest != 0);
        t.prefix[oldest] = WordAt(p.data()) & ~std::uint64_t{0xFFFF};
      }
      it = days_.emplace(d, std::move(t)).first;
    }
    recent = {d, &it->second};
    return it->second;
  }
  const TimeTexts& time(int hhmm) {
    // Stored times are 0..2359 (2900: none); others go through the map alone.
    const bool inTable = hhmm >= 0 && hhmm < static_cast<int>(table_.size());
    if (inTable && table_[static_cast<std::size_t>(hhmm)] != nullptr) return *table_[static_cast<std::size_t>(hhmm)];
    auto it = times_.find(hhmm);
    if (it == times_.end()) {
      TimeTexts t;
      t.time = BoardTimeText(ws_, hhmm);
      for (int oldest = 0; oldest < 2; ++oldest) {
        std::string p;
        AppendMessageTimePrefix(p, hhmm, oldest != 0);
        p.resize(8, ' ');
        t.prefix[oldest] = WordAt(p.data()) & ~std::uint64_t{0xFFFFFFFF};
      }
      it = times_.emplace(hhmm, std::move(t)).first;
    }
    if (inTable) table_[static_cast<std::size_t>(hhmm)] = &it->second;
    return it->second;
  }

 private:
  const Workstation& ws_;
  std::unordered_map<int, DayTexts> days_;
  std::unordered_map<int, TimeTexts> times_;
  std::vector<const TimeTexts*> table_ = std::vector<const TimeTexts*>(2400, nullptr);
  struct Recent {
    int day = 0;
    const DayTexts* texts = nullptr;
  };
  std::array<Recent, 64> recent_{};
};

// A message line while the list is built: its key, and where its text and
// entry stand in the pass's arrays (in the order the lines were made).
struct MessageRow {
  SortKey key;
  std::uint32_t at;
};
// What the entry of a message line is known by.
struct MessageFacts {
  std::uint64_t content;
  std::int16_t madeDay, madeTime, indexKey;
  std::uint16_t record;
  std::uint8_t whoLength;
  char who[3];
};

// The lines of one message pass: every text made goes in one block, one
// after another, and only the small rows are sorted.
struct MessageLines {
  std::unique_ptr<char[]> text;  // left uninitialised: the pass fills what it uses
  std::unique_ptr<MessageFacts[]> facts;
  std::uint32_t made = 0;
  std::vector<MessageRow> upper, lower;  // unread; sent or read

  explicit MessageLines(std::int64_t records) {
    const std::size_t n = static_cast<std::size_t>(std::max<std::int64_t>(0, records));
    text.reset(new char[n * kMessageLineWidth]);
    facts.reset(new MessageFacts[n]);
    upper.reserve(n);
    lower.reserve(n);
  }
  char* textAt(std::uint32_t at) const { return text.get() + static_cast<std::size_t>(at) * kMessageLineWidth; }
  std::string_view line(std::uint32_t at) const { return {textAt(at), kMessageLineWidth}; }
};

void MessagePass(Workstation& ws, FileImage& index, DataWindow& data, MessageLines& out) {
  BoardState& b = ws.board;
  PassLock lock(ws);
  MessageTexts texts(ws);
  // A keeping period below 0 would close today's messages and the ones dated
  // ahead; none keeps fewer than 0 days.
  const std::int64_t expiryLimit = static_cast<std::int64_t>(ws.Today) - std::max(0, ws.options.KeepDays);
  const InitialsMatch user(ws.ThisUser);
  const InitialsMatch recipient(ws.ThisUser, false);
  for (std::int64_t j = 0; j < index.records; ++j) {
    try {
      const std::size_t at = static_cast<std::size_t>(j) * brd::IndexSize;
      BoardIndexEntry e = BoardIndexEntry::decode(index.bytes(), at);
      if (!e.closed()) {
        // An entry past the end of the data file, or over the empty closed
        // record that fills a gap, stands for no message: listed, it would
        // be a blank unread message to everyone.
        const std::uint8_t* bytes = data.record(j);
        if (bytes == nullptr || (bytes[brd::Closed] != 0 && bytes[brd::Who] == 0)) continue;
      }
      auto tooOld = [&](const BoardIndexEntry& x) { return !x.closed() && x.Key < expiryLimit; };
      if (tooOld(e) && !ws.ArchiveView && !b.ReadOnlyRefresh) {
        if (b.ReadOnlyView) {
          e.Flags |= BoardIndexEntry::ClosedBit;
        } else if (lock.take("BBSL2")) {
          // Decided again on the files as they are under the lock: the slot
          // may hold a new message by now.
          BulBrdRcrd& buf = ws.board.RecordBuffer;
          ReadFresh(ws, j, e, buf);
          const bool close = tooOld(e);
          if (close) {
            e.Flags |= BoardIndexEntry::ClosedBit;
            WriteIndexDirect(ws, j, e, "BBSL2-I");
            buf.setClosed(1);
            if (j < data.records) WriteDataDirect(ws, j, buf, "BBSL2-D");
          }
          // The list goes on with the entry and record as they are now.
          e.encode(index.bytes(), at);
          if (std::uint8_t* recBytes = data.record(j)) std::memcpy(recBytes, buf.bytes.data(), brd::Size);
          if (close) {
            if (j < data.records) ArchiveMessage(ws, static_cast<int>(j));
            BoardTrace(ws, "ShowLoc Write2: ");
          }
        }
      }
      if (e.closed() != b.TaggedView) continue;
      data.prefetch(j + 4);
      const std::uint8_t* bytes = data.record(j);
      if (bytes == nullptr) continue;
      const BoardRecordView rec{bytes};
      const bool own = user(bytes + brd::Who);
      if (!own && !IsAddressedTo(rec, recipient)) continue;
      if (!b.SearchText.empty() && !ContainsNoCase(rec.headlineView(), b.SearchText) &&
          !ContainsNoCase(ReadBodyText(BodyFilePath(ws, CurrentBoardSet(ws), static_cast<int>(j)), *ws.files), b.SearchText))
        continue;
      const std::uint8_t mark = rec.readMark(ws.UserSlot);
      const bool unread = !own && mark != 1;
      if (unread && (mark & 2) != 0) continue;  // tagged for deletion by this user

      const std::int16_t madeDay = rec.madeDay();
      const std::int16_t madeTime = rec.madeTime();
      const DayTexts& day = texts.day(madeDay);
      const TimeTexts& clock = texts.time(madeTime);
      const std::string_view who = rec.whoView();
      char* text = out.textAt(out.made);
      WriteMessageLine(text, {rec.headlineView(), rec.closed() != 0, day.date, clock.time, who, static_cast<int>(j)});
      // The record holds the sixty characters of its headline and the three
      // of its sender whatever their lengths: the words never read past it.
      static_assert(brd::Headline + 17 <= brd::Size && brd::Who + 17 <= brd::Size);
      const std::array<std::uint64_t, 2> headline = FieldWords(bytes, brd::Headline, 53);
      SortKey key;
      switch (b.ListSortColumn) {
        case 2:  // the headline cut or padded to the prefix's width
          key = MessageKey(headline[0], headline[1] & kTopTwo, headline);
          break;
        case 3: {  // the sender in three characters, then the headline
          const std::uint64_t sender = FieldWords(bytes, brd::Who, 3)[0] & ~std::uint64_t{0} << 40;
          key = MessageKey(sender | (headline[0] >> 24), (headline[0] << 40) & kTopTwo, headline);
          break;
        }
        default: {
          const int order = unread ? 1 : 0;
          key = MessageKey(day.prefix[order] | (clock.prefix[order] >> 48), (clock.prefix[order] << 16) & kTopTwo, headline);
          break;
        }
      }
      MessageFacts& facts = out.facts[out.made];
      facts = {RecordDigest(bytes, ws.UserSlot), madeDay, madeTime, e.Key, static_cast<std::uint16_t>(j),
               static_cast<std::uint8_t>(who.size()), {}};
      std::memcpy(facts.who, bytes + brd::Who + 1, sizeof facts.who);  // all three, whatever the length
      (unread ? out.upper : out.lower).push_back({key, out.made});
      ++out.made;
    } catch (const std::exception& ex) {
      ReportLineFailure(ws, ex);
    }
  }
}

// Text copied over a string's own, in the memory it has.
void CopyInto(std::string& to, std::string_view text) {
  if (to.size() != text.size()) to.resize(text.size());
  std::memcpy(to.data(), text.data(), text.size());
}

// Whether row x goes before row y by their keys, without a branch.
bool KeyBefore(const MessageRow& x, const MessageRow& y) {
  const bool lt0 = x.key[0] < y.key[0], eq0 = x.key[0] == y.key[0];
  const bool lt1 = x.key[1] < y.key[1], eq1 = x.key[1] == y.key[1];
  const bool lt2 = x.key[2] < y.key[2];
  return lt0 | (eq0 & (lt1 | (eq1 & lt2)));
}

// Merges the sorted runs [l, lEnd) and [r, rEnd) into out, the left one's
// row first of equals; returns the end of what it wrote. Every step takes
// the next row from one side or the other without a branch: a sort that
// branches on the data makes the processor guess wrong at every other step.
MessageRow* Merge(const MessageRow* l, const MessageRow* lEnd, const MessageRow* r, const MessageRow* rEnd,
                  MessageRow* out) {
  while (l != lEnd && r != rEnd) {
    const bool right = KeyBefore(*r, *l);
    *out++ = *(right ? r : l);
    r += right;
    l += !right;
  }
  out = std::copy(l, lEnd, out);
  return std::copy(r, rEnd, out);
}

// Merge sorts n rows at a, tmp as room to work; returns where the sorted
// rows are (a or tmp). Rows of equal keys keep their order.
MessageRow* MergeSort(MessageRow* a, MessageRow* tmp, std::size_t n) {
  MessageRow* from = a;
  MessageRow* to = tmp;
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width)
      Merge(from + lo, from + std::min(n, lo + width), from + std::min(n, lo + width), from + std::min(n, lo + 2 * width),
            to + lo);
    std::swap(from, to);
  }
  return from;
}

// Sorts rows by their keys, rows of equal keys staying in the order they
// were made: first spread into parts by the leading bytes of the key in
// which rows differ (a counting sort), then each part merge sorted. Each
// byte taken counts from the bits set in every row's byte up to the bits set
// in any, so that the few values a digit or a letter takes make as many
// parts as they can.
void SortByKey(std::vector<MessageRow>& rows) {
  const std::size_t n = rows.size();
  if (n < 2) return;
  SortKey same = rows[0].key, seen = rows[0].key;  // bits set in every key, in some key
  for (const MessageRow& r : rows)
    for (std::size_t w = 0; w < same.size(); ++w) {
      same[w] &= r.key[w];
      seen[w] |= r.key[w];
    }
  struct Digit {
    std::size_t word;
    int shift;
    unsigned low, weight;
  };
  constexpr std::size_t kParts = 8192;
  auto byteOf = [](std::uint64_t word, int shift) { return static_cast<unsigned>(word >> shift) & 0xFF; };
  std::array<Digit, 6> digits{};
  // The bytes taken follow one another: after the first byte left out, none.
  std::size_t count = 0, parts = 1;
  bool full = false;
  for (std::size_t w = 0; w < same.size() && !full; ++w) {
    for (int shift = 56; shift >= 0 && !full; shift -= 8) {
      const unsigned low = byteOf(same[w], shift), high = byteOf(seen[w], shift);
      if (low == high) continue;  // one value in every row
      const std::size_t range = high - low + 1;
      full = count == digits.size() || parts * range > kParts;
      if (full) break;
      for (std::size_t d = 0; d < count; ++d) digits[d].weight *= static_cast<unsigned>(range);
      digits[count++] = {w, shift, low, 1};
      parts *= range;
    }
  }
  if (count == 0) return;  // one key: the order made stands
  auto part = [&](const MessageRow& r) {
    std::size_t k = 0;
    for (std::size_t d = 0; d < count; ++d) k += (byteOf(r.key[digits[d].word], digits[d].shift) - digits[d].low) * digits[d].weight;
    return k;
  };
  std::vector<std::uint32_t> start(parts, 0);
  std::unique_ptr<std::uint32_t[]> partOf(new std::uint32_t[n]);
  for (std::size_t i = 0; i < n; ++i) ++start[partOf[i] = static_cast<std::uint32_t>(part(rows[i]))];
  std::uint32_t sum = 0;
  for (std::uint32_t& c : start) sum += std::exchange(c, sum);
  std::unique_ptr<MessageRow[]> spread(new MessageRow[n]);  // every row is written before it is read
  for (std::size_t i = 0; i < n; ++i) spread[start[partOf[i]]++] = rows[i];
  // start[k] is now where part k ends.
  std::size_t from = 0;
  for (const std::uint32_t end : start) {
    if (end > from) {
      const MessageRow* sorted = MergeSort(spread.get() + from, rows.data() + from, end - from);
      if (sorted != rows.data() + from) std::copy(sorted, sorted + (end - from), rows.data() + from);
    }
    from = end;
  }
}

// A refresh mostly finds the messages in the order the list showed them,
// or nearly: the rows are put in that order (the ones not shown after them)
// and, when that makes a few runs in key order, merged. False when it does
// not; the rows are then as they were.
bool SortAsShown(std::vector<MessageRow>& rows, const MessageLines& lines, const std::vector<BoardLine>& shown) {
  constexpr std::uint32_t kNone = ~std::uint32_t{0};
  constexpr std::size_t kFewRuns = 16;
  const std::size_t n = rows.size();
  if (n < 2 || shown.empty()) return false;
  std::vector<std::uint32_t> rowOf(static_cast<std::size_t>(brd::MaxRecords), kNone);
  for (std::size_t i = 0; i < n; ++i) rowOf[lines.facts[rows[i].at].record] = static_cast<std::uint32_t>(i);
  std::vector<MessageRow> order;
  order.reserve(n);
  for (const BoardLine& line : shown) {
    const int r = RecordNumberOfLine(line.text);
    if (r < 0 || r >= brd::MaxRecords) continue;
    std::uint32_t& i = rowOf[static_cast<std::size_t>(r)];
    if (i == kNone) continue;
    order.push_back(rows[i]);
    i = kNone;  // taken
  }
  for (const MessageRow& row : rows)
    if (rowOf[lines.facts[row.at].record] != kNone) order.push_back(row);
  std::vector<std::size_t> runs{0};  // where each run starts
  for (std::size_t i = 1; i < n; ++i)
    if (KeyBefore(order[i], order[i - 1])) {
      if (runs.size() == kFewRuns) return false;
      runs.push_back(i);
    }
  runs.push_back(n);
  std::vector<MessageRow> other(n);
  MessageRow* from = order.data();
  MessageRow* to = other.data();
  while (runs.size() > 2) {
    std::vector<std::size_t> merged{0};
    for (std::size_t k = 0; k + 1 < runs.size(); k += 2) {
      const std::size_t mid = runs[k + 1], end = k + 2 < runs.size() ? runs[k + 2] : mid;
      Merge(from + runs[k], from + mid, from + mid, from + end, to + runs[k]);
      merged.push_back(end);
    }
    runs = std::move(merged);
    std::swap(from, to);
  }
  std::copy(from, from + n, rows.begin());
  return true;
}

// Sorts the rows of one list and makes its lines, each in a line of the
// list as it was (its text keeps its memory: a refresh asks for none).
void FinishMessages(std::vector<MessageRow>& rows, const MessageLines& lines, std::uint32_t colour,
                    std::vector<BoardLine>& list) {
  if (!SortAsShown(rows, lines, list)) SortByKey(rows);
  // Lines of equal keys are told apart by the rest of their texts (and,
  // were those alike, by the order they were made).
  for (auto run = rows.begin(); run != rows.end();) {
    const auto end = std::find_if(run + 1, rows.end(), [&](const MessageRow& r) { return !SameKey(r.key, run->key); });
    if (end - run > 1)
      std::sort(run, end, [&lines](const MessageRow& x, const MessageRow& y) {
        const std::string_view rx = RestOf(lines.line(x.at)), ry = RestOf(lines.line(y.at));
        if (ListLess(rx, ry)) return true;
        if (ListLess(ry, rx)) return false;
        return x.at < y.at;
      });
    run = end;
  }
  list.resize(rows.size());
  // The texts are read in the order of the list, from all over the block:
  // each is asked for a few lines ahead of its use.
  constexpr std::size_t kAhead = 8;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i + kAhead < rows.size()) {
      const char* ahead = lines.textAt(rows[i + kAhead].at);
      __builtin_prefetch(ahead);
      __builtin_prefetch(ahead + kMessageLineWidth - 1);
      __builtin_prefetch(&lines.facts[rows[i + kAhead].at]);
    }
    BoardLine& line = list[i];
    const std::uint32_t at = rows[i].at;
    const MessageFacts& facts = lines.facts[at];
    CopyInto(line.text, {lines.textAt(at), kMessageLineWidth});
    line.colour = colour;
    line.showsReturnTime = false;
    line.entry.known = true;
    CopyInto(line.entry.who, {facts.who, facts.whoLength});
    line.entry.madeDay = facts.madeDay;
    line.entry.madeTime = facts.madeTime;
    line.entry.key = facts.indexKey;
    line.entry.content = facts.content;
    line.entry.hasBody = false;
  }
}

void Finish(std::vector<PendingLine>& pending, std::vector<BoardLine>& list, bool sorted) {
  std::vector<std::uint32_t> order(pending.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  if (sorted) {
    // The keys side by side: the sort reads them far more often than the lines.
    std::vector<std::array<std::uint64_t, 3>> keys(pending.size());
    for (std::size_t i = 0; i < pending.size(); ++i) keys[i] = pending[i].key;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
      const auto& kx = keys[x];
      const auto& ky = keys[y];
      if (kx[0] != ky[0]) return kx[0] < ky[0];
      if (kx[1] != ky[1]) return kx[1] < ky[1];
      if (kx[2] != ky[2]) return kx[2] < ky[2];
      return ListLess(pending[x].rest(), pending[y].rest());
    });
  }
  list.clear();
  list.reserve(pending.size());
  for (std::uint32_t i : order) {
    PendingLine& p = pending[i];
    list.push_back({std::move(p.text), p.colour, p.showsReturnTime, std::move(p.entry)});
  }
}

}  // namespace

void InitBoardState(Workstation& ws) {
  ws.board.ShowEveryEntry = ws.options.ShowEveryEntry;
  ws.board.ShowBlankEntries = ws.options.ShowEveryEntry;
  ws.board.AutoSignInPending = ws.options.AutoInOut;
  ws.board.Timer1PeriodMs = (ws.mcfg.u8(mcfg::BoardTimerSeconds) + 1) * 1000;
  ws.board.KeepIndexFlags = -1;
}

void SelectBoardFiles(Workstation& ws) {
  const BoardSet set = CurrentBoardSet(ws);
  ws.paths.BoardDataPath = BoardDataFile(ws, set);
  ws.paths.BoardIndexPath = BoardIndexFile(ws, set);
  ws.board.BoardLockName = set == BoardSet::Locations ? "LOCATELK" : "MEMOLK";
}

HiddenButtons ButtonsHiddenInMode(const Workstation& ws) {
  HiddenButtons h;
  if (ws.ListMode == 1) {
    h.del = true;
    h.msg = true;
  } else {
    h.out = true;
  }
  return h;
}

void BuildBoardList(Workstation& ws) {
  BoardState& b = ws.board;
  // A half-switched set would put one message's record beside another's
  // body: the lines stay as they were until the switch is whole.
  if (!SettledForReading(ws, !b.ReadOnlyView)) return;
  // The lines shown so far are made over into the new ones, their texts
  // keeping their memory; the lists are empty while the pass runs.
  std::vector<BoardLine> upperLines, lowerLines;
  upperLines.swap(b.BBSlist);
  lowerLines.swap(b.BBSoldList);
  ws.MessageRefreshRequest = false;
  const bool boardMode = ws.ListMode == 1;

  // A pass that may sign entries in decides with the table on the disk:
  // the signal file of a changed table is looked at first.
  const bool mayWrite = boardMode && !b.ReadOnlyRefresh && !b.ReadOnlyView;
  if (mayWrite) CheckEmployeeTables(ws, "BBSL0");

  FileImage index;
  DataWindow data;
  if (boardMode) {
    for (int round = 1;; ++round) {
      if (LoadImages(ws, index, data) || b.ReadOnlyView) break;
      ws.platform.dialogs->beep();
      BoardTrace(ws, "New LOCATE:  " + std::to_string(index.records) + "," + std::to_string(data.records) +
                        "  -->   attempt " + std::to_string(round));
      if (round >= 10) {
        RebuildLocationFiles(ws);
        LoadImages(ws, index, data);
        break;
      }
      BoardTrace(ws, "    Can't open database: " + ws.ThisUser + "  " + traceTime(ws));
      PauseMs(ws, 500);
    }
  } else if (!LoadImages(ws, index, data) && (Unreadable(index) || Unreadable(data))) {
    ws.platform.dialogs->beep();
    BoardTrace(ws, "New LOCATE:  " + std::to_string(index.records) + "," + std::to_string(data.records) +
                      "  -->   attempt 100");
  }

  if (boardMode) {
    std::vector<PendingLine> pending;
    if (index.ok && BoardPass(ws, index, data, pending)) {
      // The table on the disk names somebody the one in memory lacks (its
      // signal file is missing): it is read, and the list is made anew
      // with it.
      ReloadEmployeeTables(ws, "BBSL5");
      b.BBSlist.swap(upperLines);
      b.ReadOnlyRefresh = true;
      BuildBoardList(ws);
      return;
    }
    Finish(pending, upperLines, ws.options.SortedBoard);
    lowerLines.clear();
  } else {
    MessageLines lines(index.ok ? index.records : 0);
    if (index.ok) MessagePass(ws, index, data, lines);
    const std::uint32_t colour = ListTextColour(ws);
    FinishMessages(lines.upper, lines, colour, upperLines);
    FinishMessages(lines.lower, lines, colour, lowerLines);
  }
  b.BBSlist.swap(upperLines);
  b.BBSoldList.swap(lowerLines);
  RememberBoardAges(ws);
  b.ListDay = ws.Today;
  b.ReadOnlyRefresh = false;
}

int FindUserSlot(const Workstation& ws, std::string_view initials) { return ws.mcfg.slotOf(initials); }

namespace {
std::string EmployeeTablesFlagFile(const Workstation& ws) { return DataFile(ws, "EMP" + ws.ThisUser); }
}  // namespace

bool EmployeeTablesChanged(const Workstation& ws) {
  return !ws.ThisUser.empty() && fileExists(EmployeeTablesFlagFile(ws));
}

void CheckEmployeeTables(Workstation& ws, std::string_view tag) {
  if (!EmployeeTablesChanged(ws)) return;
  const std::string flagFile = EmployeeTablesFlagFile(ws);
  // The flag goes before the read, so a change saved during the read leaves
  // a new one; a read that failed puts it back for the next time.
  deleteFile(flagFile, *ws.files);
  ReloadEmployeeTables(ws, tag);
  if (!ws.locks.ConfigRead) AppendToFile(flagFile, "", *ws.files);
}

void ReloadEmployeeTables(Workstation& ws, std::string_view tag) {
  ReloadMainConfig(ws, tag);
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  RememberBoardAges(ws);
  ws.board.EmployeeTablesReloaded = true;
}

void WriteJournal(Workstation& ws, char kind) {
  if (ws.board.ReadOnlyView) return;
  const bool shared = ws.mcfg.flag(mcfg::InOutLogShared);
  if (!ws.mcfg.flag(mcfg::InOutLog) && !shared) return;
  if (!AcquireLock(ws, "EGLOG", "BBSSI")) return;
  const std::string who = ws.board.RecordBuffer.who();
  const std::string path = DataFile(ws, shared ? std::string("INOUT.DAF") : "INOUT" + who + ".DAF");
  std::string line = PadText(FormatDay(ws, ws.Today), -9) + PadText(traceTime(ws), -7) + PadText(who, -5) + "    " +
                     MessageText(ws, kind == 'I' ? 1486 : 1487);
  if (who != ws.ThisUser) line += " (" + MessageText(ws, 1488) + " " + ws.ThisUser + ")";
  line += "\r\n";
  ReportIoError(ws, AppendToFile(path, line, *ws.files), "BBSSI");
  NormalizeFileAttr(ws, path);
  ReleaseLock(ws, "EGLOG");
}

CloseResult CloseEntry(Workstation& ws, int r, BoardSource source, const EntryIdentity& expected) {
  BoardState& b = ws.board;
  // The archive is read-only: closing an archived message would close it
  // for everyone.
  if (b.ReadOnlyView || (ws.ListMode == 0 && ws.ArchiveView)) return CloseResult::Refused;
  const std::string lockName = b.BoardLockName;
  if (!AcquireLock(ws, lockName, "BBOT")) return CloseResult::LockBusy;
  CheckEmployeeTables(ws);
  if (!SameEntry(ws, r, expected)) {
    ReleaseLock(ws, lockName);
    TellEntryChanged(ws);
    return CloseResult::Changed;
  }
  const bool messages = ws.ListMode == 0;
  // The line may be older than the file: a record it no longer holds is
  // never written from whatever the buffer held last. A message that is gone
  // has nothing to close; an employee's slot gets a record of its own.
  std::int64_t held = 0;
  {
    RecordFile f;
    if (f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files) == io::Ok) held = f.recordCount();
  }
  const bool inFile = r >= 0 && r < held;
  if (messages ? !inFile : (r < 1 || r > brd::Slots)) {
    ReleaseLock(ws, lockName);
    return CloseResult::Refused;
  }
  ClearRecord(ws);
  ReadBoardRecord(ws, r, "OT1");
  BulBrdRcrd& rec = b.RecordBuffer;
  if (!inFile) rec.setWho(ws.mcfg.empInitials(r));
  const bool sender = rec.who() == ws.ThisUser;
  if (messages && !sender && rec.view().recipientCount() > 1) {
    UltimateDialog(ws, rec.who() + MessageText(ws, 1444), -1, "", "", MessageText(ws, 29), 3);
    ReleaseLock(ws, lockName);
    return CloseResult::Refused;
  }
  if (sender)
    rec.setClosed(rec.closed() != 0 ? 0 : 1);
  else  // tagged for deletion by this user; tagging twice keeps it tagged
    rec.setReadMark(ws.UserSlot, static_cast<std::uint8_t>(rec.readMark(ws.UserSlot) | 2));

  if (messages) {
    BoardTrace(ws, "Omit1 Write: ");
    if (rec.closed() != 0) rec.setReturnDay(0);
    WriteBoardRecord(ws, r, "OT3");
  }
  auto& list = source == BoardSource::OldList ? b.BBSoldList : b.BBSlist;
  auto line = std::find_if(list.begin(), list.end(), [r](const BoardLine& l) { return RecordNumberOfLine(l.text) == r; });
  if (messages || !b.ShowEveryEntry) {
    if (line != list.end()) list.erase(line);
    // Only a message just deleted by its sender goes to the archive; an
    // archived one is not archived again.
    if (messages && sender && rec.closed() != 0 && !ws.ArchiveView) ArchiveMessage(ws, r);
  } else if (line != list.end() && (source == BoardSource::List || source == BoardSource::OutButton)) {
    line->text = SignedInLineText(line->text, ws.options.ReturnFirst);
    line->showsReturnTime = false;
  }
  if (!messages) {
    rec.setClosed(1);
    rec.setReturnDay(0);
    BoardTrace(ws, "Omit2 Write: ");
    WriteBoardRecord(ws, r, "OT4");
    b.OutButtonHint = MessageText(ws, 1395);
  }
  ReleaseLock(ws, lockName);
  // The journal line follows the record under its own lock: the others
  // waiting for the board need not wait for it too.
  if (!messages) WriteJournal(ws, 'I');
  return CloseResult::Closed;
}

int HeadingNotice(const Workstation& ws) {
  if (ws.ListMode != 1) return 1383;
  return ws.options.ReturnFirst ? 1787 : 1388;
}

std::string SearchHeadingText(Workstation& ws) {
  if (ws.board.SearchText.empty()) return {};
  return MessageText(ws, 1494) + ws.board.SearchText + "\"";
}

int SortColumnForClick(int x, int y, int current) {
  if (y < 81 || y > 99) return current;
  if (x < 75) return 2;
  if (x <= 455) return current;
  if (x <= 565) return 1;
  return 3;
}

std::uint32_t ListColour(const Workstation& ws) { return static_cast<std::uint32_t>(ws.pcfg.color(1)); }
std::uint32_t ListTextColour(const Workstation& ws) { return static_cast<std::uint32_t>(ws.pcfg.color(2)); }

std::uint32_t LineDrawColour(const Workstation& ws, const BoardLine& line) {
  if (ws.ListMode == 1 && ws.options.OutColour >= 1 && ws.options.OutColour <= 16 && line.showsReturnTime)
    return OutColourValue(ws.options.OutColour);
  return line.colour;
}

int FindWhoLine(const Workstation& ws, std::string_view input, int& slot) {
  slot = 0;
  std::string up = UpperText(input);
  up.erase(0, std::min(up.size(), up.find_first_not_of(' ')));
  while (!up.empty() && up.back() == ' ') up.pop_back();
  if (up.empty()) return -1;
  for (int s = 1; s <= mcfg::Employees && slot == 0; ++s)
    if (ws.mcfg.empInitials(s) == up) slot = s;
  if (slot == 0 || ws.ListMode != 1) return -1;
  // The employee's own line is the one made from the employee's entry: a
  // name is no key, it may stand in a colleague's destination ("Lunch with
  // Eva Fischer") or belong to two people.
  for (std::size_t i = 0; i < ws.board.BBSlist.size(); ++i) {
    const BoardLine& line = ws.board.BBSlist[i];
    if (line.entry.known ? line.entry.who == up : RecordNumberOfLine(line.text) == slot) return static_cast<int>(i);
  }
  return -1;
}

HintPlacement MemoHintFor(Workstation& ws, int x, int y, int lineIndex, int listTop, int listWidth, int listHeight,
                          int lineHeight) {
  HintPlacement h;
  const auto& list = ws.board.BBSlist;
  if (ws.ListMode != 1 || lineIndex < 0 || lineIndex >= static_cast<int>(list.size())) return h;
  const int margin = static_cast<int>(list.size()) * lineHeight > listHeight ? 38 : 21;
  if (x < listWidth - margin) return h;
  h.text = MessageText(ws, 1797) + " " + LineName(list[static_cast<std::size_t>(lineIndex)].text, ws.options.ReturnFirst);
  h.width = static_cast<int>(7.3 * static_cast<double>(h.text.size()));
  h.top = std::min(listTop + listHeight - 18, y + listTop + 23);
  h.left = y > listHeight - 30 ? listWidth - h.width - margin : std::min(listWidth, x) - h.width + 15;
  return h;
}


}  // namespace egresso
