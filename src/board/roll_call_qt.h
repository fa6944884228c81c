// The printed roll call: every employee, in or out, one page per fifty, each
// page with the time the roll call was taken.
#pragma once

class QPagedPaintDevice;

namespace egresso {

struct Workstation;
struct BoardSnapshot;

bool PrintRollCall(Workstation& ws, QPagedPaintDevice& printer, const BoardSnapshot& snapshot);

}  // namespace egresso
