// Placeholder bodies; replaced by the lock protocol.
#include "storage/locks.h"

#include "startup/workstation.h"

namespace egresso {

bool tryLock(Workstation&, std::string_view, std::string_view) { return true; }
bool acquireLock(Workstation&, std::string_view, std::string_view) { return true; }
void releaseLock(Workstation&, std::string_view) {}
void breakLock(Workstation&) {}
void normalizeFileAttr(Workstation&, const std::filesystem::path&) {}
void reportIoError(Workstation&, int, std::string_view) {}
void traceLine(Workstation&, std::string_view) {}
std::string traceSuffix(Workstation&) { return {}; }

}  // namespace egresso
