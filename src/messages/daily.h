// The early-morning processing: expiry, sign-all-out, backups and the
// processing day shared by the workstations of a site.
#pragma once

namespace egresso {

struct Workstation;

void EarlyMorningStuff(Workstation& ws, bool startedByTimer);

}  // namespace egresso
