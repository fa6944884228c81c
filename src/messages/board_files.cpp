#include "messages/board_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/waiting.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/held_lock.h"
#include "storage/file_report.h"
#include "storage/locks.h"
#include "storage/file_access.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

// The set a data path belongs to; the index key and the body files depend on it.
BoardSet SetOfPath(const Workstation& ws, const std::string& dataPath) {
  if (dataPath == BoardDataFile(ws, BoardSet::Messages)) return BoardSet::Messages;
  if (dataPath == BoardDataFile(ws, BoardSet::Archive)) return BoardSet::Archive;
  return BoardSet::Locations;
}

BoardIndexEntry EntryFor(const BoardRecordView& rec, BoardSet set, int keepFlags) {
  BoardIndexEntry e;
  e.Key = set == BoardSet::Locations ? rec.returnDay() : rec.madeDay();
  e.Flags = keepFlags >= 0 ? static_cast<std::uint8_t>(keepFlags)
                           : static_cast<std::uint8_t>(rec.closed() != 0 ? BoardIndexEntry::ClosedBit : 0);
  return e;
}

int WriteEntry(RecordFile& index, std::int64_t n, const BoardIndexEntry& e) {
  std::array<std::uint8_t, brd::IndexSize> b{};
  e.encode(b);
  return WriteRecordKeepingTail(index, n, b);
}

}  // namespace

std::string DataFile(const Workstation& ws, std::string_view name) {
  return ws.paths.DataFolder + "/" + std::string(name);
}

std::string BoardDataFile(const Workstation& ws, BoardSet set) {
  switch (set) {
    case BoardSet::Messages: return DataFile(ws, "MESSAGE.DAF");
    case BoardSet::Archive: return DataFile(ws, "MESSARC.DAF");
    case BoardSet::Locations: break;
  }
  return DataFile(ws, "LOCATE.DAF");
}

std::string BoardIndexFile(const Workstation& ws, BoardSet set) {
  switch (set) {
    case BoardSet::Messages: return DataFile(ws, "MESSAGE.DAI");
    case BoardSet::Archive: return DataFile(ws, "MESSARC.DAI");
    case BoardSet::Locations: break;
  }
  return DataFile(ws, "LOCATE.DAI");
}

BoardSet CurrentBoardSet(const Workstation& ws) {
  if (ws.ListMode == 1) return BoardSet::Locations;
  return ws.ArchiveView ? BoardSet::Archive : BoardSet::Messages;
}

std::filesystem::path BodyFilePath(const Workstation& ws, BoardSet set, int n) {
  const char* ext = set == BoardSet::Locations ? ".DA1" : set == BoardSet::Messages ? ".DA0" : ".DA2";
  return std::filesystem::path(ws.paths.BulletinFolder) / (std::to_string(n) + ext);
}

std::string ReadBodyText(const std::filesystem::path& p, FileOps& ops) {
  std::string text;
  if (ReadBodyText(p, ops, text) != io::Ok) text.clear();
  return text;
}

int ReadBodyText(const std::filesystem::path& p, FileOps& ops, std::string& text) {
  const int rc = ReadFileBounded(ops, p, kBodyCap + 1, text);
  if (rc == io::Ok) return rc;
  text.clear();
  return rc == io::FileNotFound || rc == io::NotPlainFile ? io::Ok : rc;
}

std::string BodyFileBytes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

int WriteBodyText(const std::filesystem::path& p, std::string_view text, FileOps& ops) {
  // Written beside the file, which it then replaces: a writer that stops
  // half way (killed, disk full) leaves the old text, never part of one.
  return WriteFileReplacing(ops, p, BodyFileBytes(text));
}

void BoardTrace(Workstation& ws, std::string_view text) {
  if (ws.mcfg.flag(mcfg::TraceLog)) traceLine(ws, std::string(text) + traceSuffix(ws));
}

bool StampedWithinStep(Workstation& ws, std::int64_t ageNs) {
  constexpr std::int64_t kSecondNs = 1'000'000'000;
  constexpr std::int64_t kFineStampStepNs = 10'000'000;
  if (ageNs <= 0) return false;
  const LocalDateTime t = ws.platform.clock->now();
  const std::int64_t now = EpochSeconds(t) * kSecondNs + t.millisecond * 1'000'000LL;
  const std::int64_t step = ageNs % kSecondNs == 0 ? kSecondNs : kFineStampStepNs;
  return now - ageNs < step;
}

void RememberBoardAges(Workstation& ws) {
  ws.board.SavedDataAge = fileAgeNs(ws.paths.BoardDataPath, *ws.files);
  ws.board.SavedIndexAge = fileAgeNs(ws.paths.BoardIndexPath, *ws.files);
  // Files read or written within one step of their file system's clock (a
  // whole second where times carry no fraction) may change again under the
  // very same time: another workstation's change in that second would
  // never show. They are looked at once more at the next tick.
  if (StampedWithinStep(ws, ws.board.SavedDataAge) || StampedWithinStep(ws, ws.board.SavedIndexAge))
    ws.board.RecheckBoardFiles = true;
}

bool ReadBoardIndexEntry(FileOps& ops, const std::string& indexPath, int n, BoardIndexEntry& entry) {
  RecordFile f;
  if (f.open(indexPath, brd::IndexSize, RecordFile::Mode::ReadOnly, ops) != io::Ok) return false;
  std::array<std::uint8_t, brd::IndexSize> b{};
  if (f.read(n, b) != io::Ok) return false;
  entry = BoardIndexEntry::decode(b);
  return true;
}

void ClearRecord(Workstation& ws) { ws.board.RecordBuffer.clear(); }

int ReadBoardRecord(Workstation& ws, int n, std::string_view tag) {
  RecordFile f;
  int rc = f.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files);
  std::int64_t size = rc == io::Ok ? f.recordCount() : 0;
  if (rc == io::Ok && n >= 0 && n <= size - 1) rc = f.read(n, ws.board.RecordBuffer.bytes);
  int closeRc = f.close();
  if (rc == io::Ok) rc = closeRc;
  ReportIoError(ws, rc, "RBR-" + std::string(tag) + " " + std::to_string(size - 1) + "," + std::to_string(n),
                ws.paths.BoardDataPath);
  return rc;
}

int WriteBoardRecord(Workstation& ws, int n, std::string_view tag) {
  const std::string dataPath = ws.paths.BoardDataPath;
  const std::string indexPath = ws.paths.BoardIndexPath;
  const std::string tag1 = "WBR-1-" + std::string(tag);
  const std::string tag2 = "WBR-2-" + std::string(tag);
  if (ws.board.ReadOnlyView) return io::AccessDenied;
  if (n < 0) {
    ReportIoError(ws, io::DiskWriteError, tag1);
    return io::DiskWriteError;
  }
  const BoardSet set = SetOfPath(ws, dataPath);

  FileOps& ops = *ws.files;
  RecordFile data;
  int rc = data.open(dataPath, brd::Size, RecordFile::Mode::ReadWrite, ops);
  if (rc != io::Ok) {
    std::error_code ec;
    if (std::filesystem::exists(dataPath, ec)) {
      for (int attempt = 0; attempt < 10 && rc != io::Ok; ++attempt) {
        ws.platform.dialogs->beep();
        PauseMs(ws, 1000);
        rc = data.open(dataPath, brd::Size, RecordFile::Mode::ReadWrite, ops);
      }
      if (rc != io::Ok) {
        // The program ends after this report: it names the reason first.
        DialogRequest report = GivenUpReport(ws, rc, tag1, dataPath,
                                             MessageText(ws, 1901) + "\"" + dataPath + MessageText(ws, 1902),
                                             MessageText(ws, 1903));
        ++ws.locks.FailuresReported;
        ShowReport(ws, std::move(report));
        ws.QuitRequested = true;
        NormalizeFileAttr(ws, indexPath);
        return rc;
      }
    } else {
      rc = OpenRecordFileCreating(data, dataPath, brd::Size, nullptr, ops);
      if (rc != io::Ok) {
        ReportIoError(ws, rc, tag1, dataPath);
        NormalizeFileAttr(ws, indexPath);
        return rc;
      }
    }
  }

  // Records skipped over when writing beyond the end are written as closed
  // empty records: an employee who is in, or a deleted message slot.
  std::int64_t count = data.recordCount();
  std::array<std::uint8_t, brd::Size> filler{};
  filler[brd::Closed] = 1;
  for (std::int64_t j = count; j < n && rc == io::Ok; ++j) rc = WriteRecordKeepingTail(data, j, filler);
  if (rc == io::Ok) rc = WriteRecordKeepingTail(data, n, ws.board.RecordBuffer.bytes);
  ReportIoError(ws, rc, tag1, dataPath);
  // Through the descriptors already open: the others wait for the board
  // lock through every round trip made here.
  NormalizeOpenFileAttr(ws, data.descriptor(), dataPath);
  if (rc != io::Ok) {
    data.close();
    NormalizeFileAttr(ws, indexPath);
    return rc;
  }

  RecordFile index;
  rc = OpenRecordFileCreating(index, indexPath, brd::IndexSize, nullptr, ops);
  if (rc == io::Ok) {
    // An index of messages longer than the data file (one of them restored
    // or cut short) has entries that stand for no record: the data file is
    // filled up to the index's end with closed records as well. Locations
    // are left alone: the list pass signs such an entry in by itself, and
    // a slot of no employee gets no record.
    const std::int64_t icount = index.recordCount();
    const std::int64_t indexEnd = set == BoardSet::Locations ? 0 : std::min(icount, brd::MaxRecords);
    // Should the filling fail, the entries past the records stay as they
    // are; readers take them for closed, and record n gets its entry still.
    int fillRc = io::Ok;
    for (std::int64_t j = std::max<std::int64_t>(count, n + 1); j < indexEnd && fillRc == io::Ok; ++j)
      fillRc = WriteRecordKeepingTail(data, j, filler);
    ReportIoError(ws, fillRc, tag1, dataPath);
    // Every entry whose record this write made, and every one missing,
    // is made from its record, so the index never claims anything the data
    // file does not hold: a closed filler is no unread blank message.
    const std::int64_t dataEnd = std::min(data.recordCount(), brd::MaxRecords);
    BulBrdRcrd rec;
    for (std::int64_t j = std::min(count, icount); j < dataEnd && rc == io::Ok; ++j) {
      if (j == n) continue;
      rec.clear();
      if (data.read(j, rec.bytes) != io::Ok) rec.bytes = filler;
      rc = WriteEntry(index, j, EntryFor(rec.view(), set, -1));
    }
    if (rc == io::Ok) rc = WriteEntry(index, n, EntryFor(ws.board.RecordBuffer.view(), set, ws.board.KeepIndexFlags));
    NormalizeOpenFileAttr(ws, index.descriptor(), indexPath);
    int closeRc = index.close();
    if (rc == io::Ok) rc = closeRc;
  }
  data.close();
  // An own write is no change for the list of either mode to pick up.
  if (set == CurrentBoardSet(ws)) RememberBoardAges(ws);
  ReportIoError(ws, rc, tag2, indexPath);
  return rc;
}

void ArchiveMessage(Workstation& ws, int n) {
  if (ws.board.ReadOnlyView) return;
  const auto old = BodyFilePath(ws, BoardSet::Messages, n);
  bool keepBody = false;
  if (ws.mcfg.flag(mcfg::ArchiveMessages)) {
    const std::string dataPath = BoardDataFile(ws, BoardSet::Archive);
    const std::string indexPath = BoardIndexFile(ws, BoardSet::Archive);
    RecordFile data, index;
    int rc = OpenRecordFileCreating(data, dataPath, brd::Size, nullptr, *ws.files);
    if (rc == io::Ok) rc = OpenRecordFileCreating(index, indexPath, brd::IndexSize, nullptr, *ws.files);
    if (rc == io::Ok) {
      const std::int64_t m = data.recordCount();
      BulBrdRcrd& buf = ws.board.RecordBuffer;
      buf.setClosed(0);
      for (int slot = 1; slot <= brd::Slots; ++slot) buf.setReadMark(slot, 0);
      const auto target = BodyFilePath(ws, BoardSet::Archive, static_cast<int>(m));
      if (fileExists(old)) {
        int crc = copyFile(old, target, *ws.files);
        if (crc != io::Ok) {
          ReportIoError(ws, crc, "ARC-1");
          keepBody = true;
        }
      } else if (fileExists(target)) {
        deleteFile(target, *ws.files);  // a body left from an older archive would be taken for this message's
      }
      // The record goes in before its index entry, as every board writer does.
      rc = WriteRecordKeepingTail(data, m, buf.bytes);
      if (rc == io::Ok) rc = WriteEntry(index, m, BoardIndexEntry{buf.madeDay(), 0});
    }
    if (rc != io::Ok) keepBody = true;
    data.close();
    index.close();
    ReportIoError(ws, rc, "ARC-2");
    NormalizeFileAttr(ws, dataPath);
    NormalizeFileAttr(ws, indexPath);
  }
  // A body that could not be archived stays until its slot is reused.
  if (!keepBody) deleteFile(old, *ws.files);
}

int NextMessageNumber(Workstation& ws) {
  const BoardSet set = SetOfPath(ws, ws.paths.BoardDataPath);
  if (set == BoardSet::Locations) return ws.UserSlot;
  // Past the last number a record can have there is no room: a number
  // handed out anyway would be a message already there, overwritten.
  auto dataCount = [&]() -> int {
    RecordFile d;
    const int rc = d.open(ws.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws.files);
    if (rc == io::FileNotFound) return 0;
    if (rc != io::Ok) {
      ReportIoError(ws, rc, "NMN", ws.paths.BoardDataPath);
      return kStoreUnreadable;
    }
    const std::int64_t records = d.recordCount();
    return records >= brd::MaxRecords ? kStoreFull : static_cast<int>(records);
  };
  const int held = dataCount();
  if (held == kStoreUnreadable) return held;
  RecordFile index;
  if (index.open(ws.paths.BoardIndexPath, brd::IndexSize, RecordFile::Mode::ReadOnly, *ws.files) != io::Ok) return held;
  // Entries beyond the end of the data file stand for no message: the first
  // of them is the next record anyway.
  const std::int64_t count = std::min(index.recordCount(), held == kStoreFull ? brd::MaxRecords : held);
  // One read of the whole index: a message saved on a file server would
  // otherwise ask the server once for every entry.
  std::vector<std::uint8_t> all(static_cast<std::size_t>(count) * brd::IndexSize);
  const std::int64_t got = std::max<std::int64_t>(0, index.readRecords(0, all));
  index.close();
  for (std::int64_t j = 0; j < got; ++j) {
    auto e = BoardIndexEntry::decode(all, static_cast<std::size_t>(j) * brd::IndexSize);
    if (e.closed()) {
      if (!ws.board.ReadOnlyView) deleteFile(BodyFilePath(ws, set, static_cast<int>(j)), *ws.files);
      return static_cast<int>(j);
    }
  }
  return held;
}

void SignAllOut(Workstation& ws) {
  if (ws.board.ReadOnlyView) return;
  HeldLock lock(ws, "LOCATELK", "SAO");
  if (!lock) return;
  const std::string indexPath = BoardIndexFile(ws, BoardSet::Locations);
  RecordFile index;
  int rc = index.open(indexPath, brd::IndexSize, RecordFile::Mode::ReadWrite, *ws.files);
  if (rc == io::Ok) {
    const std::int64_t count = std::min(index.recordCount(), brd::MaxRecords);
    std::array<std::uint8_t, brd::IndexSize> b{};
    for (std::int64_t i = 1; i < count; ++i) {
      if (index.read(i, b) != io::Ok) break;
      auto e = BoardIndexEntry::decode(b);
      if (e.Key >= ws.Today || e.stale()) continue;
      if (ws.mcfg.flag(mcfg::TraceLog))
        traceLine(ws, "Signing All Out: " + ws.ThisUser + "  " + FormatDay(ws, ws.Today) + " : " +
                          traceTime(ws) + "  indxDate=" + FormatDay(ws, e.Key));
      e.Flags = static_cast<std::uint8_t>(e.Flags + BoardIndexEntry::StaleBit);
      rc = WriteEntry(index, i, e);
      if (rc != io::Ok) break;
    }
    index.close();
    ReportIoError(ws, rc, "SAO");
  }
  lock.release();
  NormalizeFileAttr(ws, indexPath);
}

bool IsAddressedTo(const BoardRecordView& rec, const InitialsMatch& initials) {
  if (rec.p[brd::ToList + 0] == 0) return true;  // entry 1 empty: to everyone
  if (!initials.valid()) return false;
  return initials.anyOf(rec.p + brd::ToList, brd::Slots);
}

bool IsAddressedTo(const BoardRecordView& rec, std::string_view initials) {
  // No initials never match the empty entry of a recipient not chosen.
  return IsAddressedTo(rec, InitialsMatch(initials, false));
}

bool IsKnownEmployee(const Workstation& ws, const BoardRecordView& rec) {
  for (int slot = 1; slot <= brd::Slots; ++slot)
    if (rec.fieldEquals(brd::Who, ws.mcfg.empInitials(slot))) return true;
  return false;
}

}  // namespace egresso
