// Reading and writing the main and personal configuration records, their
// same-folder copies and the daily backup of the data files.
#pragma once

#include <string_view>

namespace egresso {

struct Workstation;
struct MainConfig;

void ReadMainConfig(Workstation& ws, std::string_view tag);
// One look at the main configuration as the file holds it now, into out;
// false when it cannot be read whole (nothing is retried, restored or told).
bool PeekMainConfig(Workstation& ws, MainConfig& out);
void WriteMainConfig(Workstation& ws, std::string_view tag);
void RestoreMainConfig(Workstation& ws, char level);
void ConfigLost(Workstation& ws);
void LoadMainConfig(Workstation& ws, int level);
void ReadPersonalConfig(Workstation& ws);
void WritePersonalConfig(Workstation& ws);
void LoadPersonalConfig(Workstation& ws, int level);
void DailyConfigBackup(Workstation& ws);
void BackupDataFiles(Workstation& ws);

}  // namespace egresso
