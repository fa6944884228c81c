// Reading and writing the main and personal configuration records, their
// same-folder copies and the daily backup of the data files.
#pragma once

#include <string_view>

namespace egresso {

struct Workstation;

void ReadMainConfig(Workstation& ws, std::string_view tag);
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
