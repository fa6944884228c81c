// The record-file engine for the calendar-format sets (SCHED and the
// monthly logs: data, paged day index, key list, quick list) and the client
// sets (data, key index, name list), the record-file catalogue and the data
// folder check. Records move through the buffers of ws.engine; bytes the
// engine does not interpret are carried unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/engine_state.h"

namespace egresso {

struct Workstation;

// Offsets in CalRecord (1024 bytes; record 0 of a set is its header).
namespace cal {
inline constexpr std::size_t StartDay = 0;        // int16 (header: the day the set was made)
inline constexpr std::size_t EndDay = 2;          // int16
inline constexpr std::size_t Deleted = 4;         // byte, non-zero: readers skip the record
inline constexpr std::size_t Key = 5;             // string[12], copied to the key list
inline constexpr std::size_t RemoteChanged = 792; // byte
inline constexpr std::size_t WarnDay = 839;       // int16, <= 0: no warning
inline constexpr std::size_t Repeats = 849;       // byte, non-zero: a repeating entry
inline constexpr std::size_t EndMark = 1015;      // "*QVM5214*", no length byte
}  // namespace cal

// Offsets in ClientRecord (2048 bytes; record 0 is a header).
namespace client {
inline constexpr std::size_t Key = 26;             // string[12]
inline constexpr std::size_t MainName = 39;        // string
inline constexpr std::size_t DisplayName = 163;    // string[30]
inline constexpr std::size_t Amount = 463;         // real48
inline constexpr std::size_t AmountLimitDay = 475; // int16
inline constexpr std::size_t Deleted = 310;        // byte, index flag 4
inline constexpr std::size_t MonthAmounts = 631;   // 12 x real48
inline constexpr std::size_t MonthAmounts2 = 919;  // 12 x real48
inline constexpr std::size_t Flag2 = 1008;         // byte, index flag 2
inline constexpr std::size_t MonthDays = 1033;     // 12 x int16
inline constexpr std::size_t SecondName = 1307;    // string
inline constexpr std::size_t IndexByte = 1349;     // byte copied into the index entry
inline constexpr std::size_t Flag1 = 1350;         // byte, index flag 1
inline constexpr std::size_t RemoteChanged = 1518; // byte
inline constexpr std::size_t EndMark = 2039;
}  // namespace client

inline constexpr std::string_view kRecordEndMark = "*QVM5214*";
inline constexpr int kIndexEntriesPerPage = 4096;

// Record-file catalogue: kind 0..61 (12 and up: the personal memo files of
// employee slot kind - 11). The result is also left in ws.paths.CurrentFileName;
// "@.@" for an empty slot or an unknown kind.
std::string FileNameFor(Workstation& ws, int kind);
// False, after telling the user, when in multi-user mode the main
// configuration file cannot be found in the data folder.
bool CheckDataFolder(Workstation& ws);

// Calendar-format sets. BaseName is the path without extension.
void OpenCalFiles(Workstation& ws, std::string_view baseName);
bool SelectCalFiles(Workstation& ws);
void SetLogFileNames(Workstation& ws, int day);
void ReadCalRecord(Workstation& ws, std::string_view dataName, std::int32_t recNo, std::string_view tag);
void WriteCalRecord(Workstation& ws, std::string_view dataName, std::int32_t recNo, std::string_view tag);
void ReadCalIndexPage(Workstation& ws, std::string_view indexName, int pageNo, std::string_view tag);
void WriteCalIndexPage(Workstation& ws, std::string_view indexName, int pageNo, std::string_view tag);
void ClearCalRecord(Workstation& ws);
void ClearCalIndexPage(Workstation& ws);
void BuildQuickRecord(Workstation& ws);
void ExpandQuickRecord(Workstation& ws);

// A bulk scan keeps the data and index files open between reads: opens both
// (for reading when they cannot be opened for writing) and sets KeepCalOpen;
// returns the I/O result of the data file. EndCalScan closes them and clears
// the flag.
int BeginCalScan(Workstation& ws, std::string_view dataName, std::string_view indexName);
void EndCalScan(Workstation& ws);

// Day index arithmetic. Data record n >= 1 has entry IndexEntryOf(n)
// (1..4096) in page IndexPageOf(n); the header record 0 has no entry.
int IndexPageOf(std::int32_t recNo);
int IndexEntryOf(std::int32_t recNo);
// Pages a set of recordCount records (header included) needs.
int IndexPageCount(std::int64_t recordCount);
std::int16_t EntryDay(const Workstation& ws, int entry);  // negative for a repeating entry, 0 = none
int EntrySpan(const Workstation& ws, int entry);
int EntryLead(const Workstation& ws, int entry);
// Sets entry 1..4096 of CalIndexPage from the record in CalRecord.
void SetIndexEntry(Workstation& ws, int entry);
void ClearIndexEntry(Workstation& ws, int entry);

// Client sets, chosen by ClientKind (0 project, 1 phone book, 2 payees).
void OpenClientFiles(Workstation& ws, int clientKind);
// recNo -1 reads the last record.
void ReadClientRecord(Workstation& ws, std::int32_t recNo, std::string_view tag);
void WriteClientRecord(Workstation& ws, std::int32_t recNo, std::string_view tag);
void ClearClientRecord(Workstation& ws);
// Rounds the money amounts of ClientRecord to whole cents and clears the
// monthly amounts that lie beyond the limit day (done by every write).
void NormalizeClientMoney(Workstation& ws);
void BuildClientIndexEntry(Workstation& ws);
void BuildClientNameEntry(Workstation& ws);
// Fills ws.engine.ClientList (and ClientListRecords) from the bound set.
void LoadClientList(Workstation& ws);

// The separator between display name and key in a client list line, and the
// mark of flagged clients.
inline constexpr std::string_view kClientListSeparator = " | ";
inline constexpr char kFlaggedClientMark = static_cast<char>(254);

}  // namespace egresso
