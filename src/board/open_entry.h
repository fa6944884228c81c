// The board commands that open the sign out and message form: the Out and
// message buttons, and opening a line (double click, Enter). The form is
// shown by the caller's function, modally, with ws.form set up; it is shown
// again for every reply or forward it asks for.
#pragma once

#include <functional>

namespace egresso {

struct Workstation;

using ShowForm = std::function<void()>;

// The Out button (board mode) for entry r, or the message button (message
// mode, r unused): confirms for another employee's entry, signs a stale
// entry in, opens the form for an employee who is in and signs one who is
// out back in. Rebuilds the list. False when the user cancelled.
bool OutCommand(Workstation& ws, int r, const ShowForm& show);
// Opens line r of the board or of either message list in the form.
// Rebuilds the list. False when the user cancelled.
bool OpenEntry(Workstation& ws, int r, bool oldList, const ShowForm& show);

}  // namespace egresso
