// The announcement memo at the top of the board: one text file shared by
// everybody, changed under the lock "EGMEMO"; saving a change leaves the
// letter "B" in the notification file of every other employee, so their
// boards load it again.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

// The announcement text (lines joined by "\n", in the records' code page),
// or the invitation to write one when there is no file. Clears
// AnnouncementChanged.
std::string GetAnnouncement(Workstation& ws);

enum class MemoSave { Unchanged, Saved, Discarded, Busy };
// Leaving the memo, Save Announcement, Exit, Escape: when the memo may be
// edited and was modified, asks whether to save text. On Discarded,
// *reloaded receives the announcement as it is in the file. Shrinks an
// enlarged memo in any case but Busy.
MemoSave MemoExit(Workstation& ws, bool modified, std::string_view text, std::string* reloaded);

}  // namespace egresso
