// Placeholder bodies; replaced by the configuration storage.
#include "storage/config_store.h"

#include "config/records_init.h"
#include "startup/workstation.h"

namespace egresso {

void ReadMainConfig(Workstation&, std::string_view) {}
void WriteMainConfig(Workstation&, std::string_view) {}
void RestoreMainConfig(Workstation&, char) {}
void ConfigLost(Workstation& ws) { ws.QuitRequested = true; }
void LoadMainConfig(Workstation& ws, int) { InitMainConfig(ws); }
void ReadPersonalConfig(Workstation&) {}
void WritePersonalConfig(Workstation&) {}
void LoadPersonalConfig(Workstation& ws, int) { InitPersonalConfig(ws); }
void DailyConfigBackup(Workstation&) {}
void BackupDataFiles(Workstation&) {}

}  // namespace egresso
