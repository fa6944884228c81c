// The per-user notification file TIMER.<initials> in the data folder: other
// workstations put letters into it ("M" a new message, "B" the announcement
// changed, "A" a record changed), its owner takes them out.
//
// The file holds one 11-byte record, a short string (a length byte and up
// to 10 characters): every waiting letter is in record 0's text, which is
// what every workstation reads, older ones included. A writer that finds
// the file missing starts the text with the day number. The file is
// rewritten whole in place (never appended to: a file server's append path
// is not to be trusted).
//
// A writer's read-merge-write and the owner's read-and-delete happen under
// the short lock TIMER.<initials> of that user (the lock file
// TIMER.<initials>.LOK), so that no letter is lost between two writers or
// between a writer and the owner. Workstations that do not take that lock
// read record 0 and delete the file, or read, merge and rewrite record 0,
// without any lock: against them a letter can be lost exactly as it could
// between two of them, and never in more cases, since this program only
// ever writes record 0 and keeps every letter it found there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/file_ops.h"

namespace egresso {

struct Workstation;

inline constexpr std::size_t kNotifyRecordSize = 11;
// The result of a put whose letters do not all fit into the record's ten
// characters besides the letters already waiting (the day number gives way
// first; only more than ten different letters at once do not fit).
inline constexpr int kNotifyNoRoom = 1001;

// DataFolder + "/TIMER." + initials.
std::string NotifyFileOf(const Workstation& ws, std::string_view initials);
// The name of the lock that guards that file.
std::string NotifyLockName(std::string_view initials);
// The name an earlier version moved its file to before reading it; a file
// left under it is still read.
std::string ClaimedNotifyFile(const std::string& notifyFile);

// Puts the letters of text into record 0 of the file without taking its
// lock: a missing file, or one that holds no record, gets text itself (cut
// to 10 characters); otherwise each character of text that is no digit and
// not yet in the record is added, and letters in records behind record 0
// (left by an earlier version) are kept in it too. The file is rewritten
// whole and read back. Returns an I/O result or kNotifyNoRoom.
int PutNotifyText(const std::string& notifyFile, std::string_view text, FileOps& ops);

// Puts the letter into the notification file of the user with these
// initials under that user's lock (nothing when it is waiting there
// already); a new file's text is today's day number followed by the letter.
int AppendNotifyLetter(Workstation& ws, std::string_view initials, char letter);

// The texts of the records of a notification file (a partial last record
// gives what it holds); false when it cannot be read. At most a few records
// are read: a file planted in the folder may never end.
bool ReadNotifyTexts(FileOps& ops, const std::string& path, std::vector<std::string>& texts);

// Takes the letters out of the file without its lock: a claimed file left
// by an earlier version is read and deleted first, then the file is read
// and deleted. A file not yet holding one whole record, or one that cannot
// be read or deleted, stays for the next look. Returns the texts read.
std::vector<std::string> TakeNotifyTexts(const std::string& notifyFile, FileOps& ops);

// This user's take: under the user's lock when a look found the file. A
// lock held by a writer right now leaves the file for the next look. With
// dropShort (the message list is on screen) a file too short to hold a
// record goes as well: it holds no letter anybody could lose.
std::vector<std::string> TakeOwnNotifyTexts(Workstation& ws, bool dropShort = false);

// One look at this user's notification file (one stat): true when it is
// there and holds a whole record.
bool OwnNotifyFileWaiting(const Workstation& ws);

}  // namespace egresso
