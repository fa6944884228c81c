// What names one entry of the board files beyond its record number. Other
// workstations move records under a number: a purge renumbers the messages,
// a deleted message's slot takes the next new one, a change of the employee
// table moves people to other slots. A command or form that writes a record
// it took from a line or an open form first checks, under the lock, that
// the slot still holds the entry it was taken from.
#pragma once

#include <cstdint>
#include <string>

namespace egresso {

struct Workstation;
struct BoardRecordView;

struct EntryIdentity {
  bool known = false;  // false: nothing was taken, nothing to compare with
  std::string who;     // the sender, or the employee of a location slot
  std::int16_t madeDay = 0, madeTime = 0;
  std::int16_t key = 0;  // of the index entry
  bool operator==(const EntryIdentity&) const = default;
};

// The identity of a record as read (slotInitials: the employee table's
// initials of a location slot, which name a slot whose record names nobody).
// A record beyond the end of its file reads as a blank one.
EntryIdentity IdentityOf(const BoardRecordView& rec, std::int16_t indexKey, const std::string& slotInitials = {});
// What record r of the current board files is now.
EntryIdentity CurrentEntry(Workstation& ws, int r);
// The one decision: slot r still holds the entry expected (always true when
// nothing was taken). Called with the board lock held.
bool SameEntry(Workstation& ws, int r, const EntryIdentity& expected);
// The entry the line of record r in the board's lists was built from;
// unknown when no line shows it.
EntryIdentity ListedEntry(const Workstation& ws, int r);
// Tells the user that the entry was changed or removed on another
// workstation and nothing was written (never called under a lock).
void TellEntryChanged(Workstation& ws);

inline constexpr int kEntryChangedNotice = 1453;

}  // namespace egresso
