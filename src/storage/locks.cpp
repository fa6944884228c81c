// Placeholder bodies; replaced by the lock protocol.
#include "storage/locks.h"

#include "startup/workstation.h"

namespace egresso {

bool TryLock(Workstation&, std::string_view, std::string_view) { return true; }
bool AcquireLock(Workstation&, std::string_view, std::string_view) { return true; }
void ReleaseLock(Workstation&, std::string_view) {}
void BreakLock(Workstation&) {}
void NormalizeFileAttr(Workstation&, const std::filesystem::path&) {}
void ReportIoError(Workstation&, int, std::string_view) {}
void traceLine(Workstation&, std::string_view) {}
std::string traceSuffix(Workstation&) { return {}; }

}  // namespace egresso
