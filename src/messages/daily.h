// The early-morning processing: the day fields, the daily copies of the
// configuration and the data files, the processing day shared by the
// workstations of a site, and the stale-marking of open location entries.
#pragma once

#include <cstdint>

namespace egresso {

struct Workstation;

// startedByTimer: run by the host's staggered daily trigger rather than at start.
void EarlyMorningStuff(Workstation& ws, bool startedByTimer);
// The day held in the processing-day file, which is made holding yesterday
// when it is missing.
std::int16_t ReadProcessedDay(Workstation& ws);

}  // namespace egresso
