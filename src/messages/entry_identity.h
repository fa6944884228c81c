// What names one entry of the board files beyond its record number. Other
// workstations move records under a number: a purge renumbers the messages,
// a deleted message's slot takes the next new one, a change of the employee
// table moves people to other slots. A command or form that writes a record
// it took from a line or an open form first checks, under the lock, that
// the slot still holds the entry it was taken from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace egresso {

struct Workstation;
struct BoardRecordView;

struct EntryIdentity {
  bool known = false;  // false: nothing was taken, nothing to compare with
  std::string who;     // the sender, or the employee of a location slot
  std::int16_t madeDay = 0, madeTime = 0;
  std::int16_t key = 0;  // of the index entry
  // The whole record as read (RecordDigest): a message sent again into a
  // deleted one's slot within the same minute, or a sign-out another
  // workstation changed, names the same sender, day and minute.
  std::uint64_t content = 0;
  // The body text as the form showed it; compared only when taken.
  bool hasBody = false;
  std::uint64_t body = 0;
  bool operator==(const EntryIdentity&) const = default;
};

// A digest of the 512 bytes of a record as the user of viewerSlot knows
// them: the other readers' marks and the first reading's stamp are theirs,
// and the work clock is the employee's own (the form keeps what the slot
// holds), so a change of those alone is no change of the entry. Two
// records that differ in one 8-byte word always differ here.
std::uint64_t RecordDigest(const std::uint8_t* bytes, int viewerSlot);
std::uint64_t TextDigest(std::string_view text);

// The identity of a record as read (slotInitials: the employee table's
// initials of a location slot, which name a slot whose record names nobody;
// viewerSlot: the slot of the user the entry is shown to).
// A record beyond the end of its file reads as a blank one.
EntryIdentity IdentityOf(const BoardRecordView& rec, std::int16_t indexKey, const std::string& slotInitials,
                         int viewerSlot);
class BulBrdRcrd;
// What record r of the current board files is now; read: the record itself,
// as the identity was taken from it.
EntryIdentity CurrentEntry(Workstation& ws, int r, BulBrdRcrd* read = nullptr);
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
