// The per-user notification file TIMER.<initials> in the data folder: other
// workstations put letters into it ("M" a new message, "B" the announcement
// changed), its owner takes them out once a minute.
//
// The file is a file of 11-byte records, each a short string (a length byte
// and up to 10 characters); a writer that finds the file missing starts its
// text with the day number. Several writers may add to the file while its
// owner reads it, so nobody rewrites it in place: a writer adds one whole
// record with a single appending write, and the owner first renames the
// file to its own name in the same folder, reads that and deletes it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/file_ops.h"

namespace egresso {

struct Workstation;

inline constexpr std::size_t kNotifyRecordSize = 11;

// DataFolder + "/TIMER." + initials.
std::string NotifyFileOf(const Workstation& ws, std::string_view initials);
// The name the owner moves its file to before reading it.
std::string ClaimedNotifyFile(const std::string& notifyFile);

// Adds one record holding text (cut to 10 characters) to the file, creating
// it when missing. When the owner took the file away while the record went
// in, the record is added again to the file under the user's name, so it is
// never lost with a file that was read before it arrived (a letter may then
// come twice). Returns an I/O result.
int AppendNotifyRecord(const std::string& notifyFile, std::string_view text, FileOps& ops = PosixFileOps());

// Puts the letter into the notification file of the user with these
// initials unless it is waiting there already: the text of the new record
// is today's day number followed by the letter.
int AppendNotifyLetter(Workstation& ws, std::string_view initials, char letter);

// The texts of the records of a notification file (a partial last record
// gives what it holds); false when it cannot be read.
bool ReadNotifyTexts(const std::string& path, std::vector<std::string>& texts);

// Takes the owner's letters out of the file: a file claimed before and left
// (the program ended while reading it) is read first, then the current file
// is claimed, read and deleted. A file not yet holding one whole record, or
// one that cannot be read, stays for the next look. Returns the texts read.
std::vector<std::string> TakeNotifyTexts(const std::string& notifyFile, FileOps& ops = PosixFileOps());

}  // namespace egresso
