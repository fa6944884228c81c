// Exclusion between workstations through lock files in the data folder,
// the attribute reset after writes, the I/O error report and the trace file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

bool TryLock(Workstation& ws, std::string_view lockName, std::string_view tag);
// Returns true when the lock is held (LockBusy false), false when the user gave up.
bool AcquireLock(Workstation& ws, std::string_view lockName, std::string_view tag);
void ReleaseLock(Workstation& ws, std::string_view lockName);
void BreakLock(Workstation& ws);

void NormalizeFileAttr(Workstation& ws, const std::filesystem::path& path);
// Reports a non-zero I/O result to the user with the caller's tag and traces it.
void ReportIoError(Workstation& ws, int code, std::string_view tag);

// Appends one line to the trace file; the suffix is the common trace suffix.
void traceLine(Workstation& ws, std::string_view line);
std::string traceSuffix(Workstation& ws);

}  // namespace egresso
