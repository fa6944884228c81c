// Record-level operations on the board files: the location file LOCATE, the
// live messages MESSAGE and the archive MESSARC, each a data file of 512-byte
// records with an index of 3-byte entries, and the body text file of each
// record in the bulletin folder.
//
// The caller of ReadBoardRecord, WriteBoardRecord, ArchiveMessage and
// NextMessageNumber holds the lock of the board ("LOCATELK" or "MEMOLK");
// SignAllOut takes "LOCATELK" itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "messages/board_record.h"
#include "storage/file_ops.h"

namespace egresso {

struct Workstation;

// The three file sets of the board.
enum class BoardSet { Locations, Messages, Archive };

// DataFolder + "/" + name.
std::string DataFile(const Workstation& ws, std::string_view name);
std::string BoardDataFile(const Workstation& ws, BoardSet set);   // LOCATE.DAF, MESSAGE.DAF, MESSARC.DAF
std::string BoardIndexFile(const Workstation& ws, BoardSet set);  // the .DAI companions
// The set the board shows now (ListMode and ArchiveView).
BoardSet CurrentBoardSet(const Workstation& ws);
// Body file of record n: n.DA1 (locations), n.DA0 (messages), n.DA2 (archive).
std::filesystem::path BodyFilePath(const Workstation& ws, BoardSet set, int n);
// The most of a body file that is ever shown or searched.
inline constexpr std::size_t kBodyCap = 4u << 20;
// The text of a body file, empty when there is none (or something else
// than a plain file stands under its name); at most kBodyCap + 1 bytes, so
// that a longer file can be told from one that fits.
std::string ReadBodyText(const std::filesystem::path& p, FileOps& ops);
// The same, with the I/O result: a missing body is an empty text (Ok),
// but one that is there and cannot be read is a failure, never a text.
int ReadBodyText(const std::filesystem::path& p, FileOps& ops, std::string& text);
// Writes text as a body file with CR LF line ends, whole or not at all
// (a reader never sees half a text); returns an I/O result.
int WriteBodyText(const std::filesystem::path& p, std::string_view text, FileOps& ops);
// The bytes of a body file holding text (its line breaks made CR LF).
std::string BodyFileBytes(std::string_view text);

// Record n of BoardDataPath into RecordBuffer; a record beyond the end leaves
// the buffer as it was. Returns the I/O result (also reported).
int ReadBoardRecord(Workstation& ws, int n, std::string_view tag);
// RecordBuffer as record n of BoardDataPath and its entry in BoardIndexPath.
int WriteBoardRecord(Workstation& ws, int n, std::string_view tag);
// Appends RecordBuffer (message n) to the archive when archiving is on, and
// removes the message's body file in any case.
void ArchiveMessage(Workstation& ws, int n);
// The record number for a new record of the current board; kStoreFull when
// every message number is taken.
inline constexpr int kStoreFull = -1;
// The data file is there but cannot be read (reported already): any number
// handed out might be a message there, overwritten.
inline constexpr int kStoreUnreadable = -2;
int NextMessageNumber(Workstation& ws);
// Marks every location entry of an earlier day as stale (daily processing).
void SignAllOut(Workstation& ws);
void ClearRecord(Workstation& ws);

// True when the message is to everyone or initials stand in its ToList.
bool IsAddressedTo(const BoardRecordView& rec, std::string_view initials);
// The same with the initials prepared once for many records.
bool IsAddressedTo(const BoardRecordView& rec, const InitialsMatch& initials);
inline bool IsAddressedTo(const BulBrdRcrd& rec, std::string_view initials) {
  return IsAddressedTo(rec.view(), initials);
}
// True when Who is one of the initials of the employee table.
bool IsKnownEmployee(const Workstation& ws, const BoardRecordView& rec);
inline bool IsKnownEmployee(const Workstation& ws, const BulBrdRcrd& rec) { return IsKnownEmployee(ws, rec.view()); }

// Index entry n of an index file; false when it cannot be read.
bool ReadBoardIndexEntry(FileOps& ops, const std::string& indexPath, int n, BoardIndexEntry& entry);
// Records the ages of the current data and index files as the board's own;
// ages within one stamp step of now ask for one more look (StampedWithinStep).
void RememberBoardAges(Workstation& ws);
// Whether a file time (nanoseconds since the epoch) is so near the clock, or
// ahead of it, that a later change could carry the same time: within a
// whole second for a time without a fraction, else a hundredth.
bool StampedWithinStep(Workstation& ws, std::int64_t ageNs);
// Appends a trace line when tracing is on.
void BoardTrace(Workstation& ws, std::string_view text);

}  // namespace egresso
