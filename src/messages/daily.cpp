// Placeholder body; replaced by the daily processing.
#include "messages/daily.h"

#include "startup/workstation.h"

namespace egresso {

void EarlyMorningStuff(Workstation&, bool) {}

}  // namespace egresso
