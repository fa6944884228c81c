// Reading and writing the main and personal configuration records, their
// same-folder copies and the daily backup of the data files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The body files of the board's records ("<n>.<extension>" in the bulletin
// folder) are backed up as groups of their own, in the backup folder's
// BULLETIN: each generation holds the bodies of one day whole, a body that
// was not there that day included (it has no copy in that generation), so
// that a restore gives every record the body it had with it.
struct BodyGroup {
  const char* extension;  // of the live body files
  const char* prefix;     // of their generations
  const char* dataFile;   // the data file whose records they belong to
};
inline constexpr BodyGroup kBodyGroups[] = {
    {"DA0", "MA", "MESSAGE.DAF"}, {"DA1", "LA", "LOCATE.DAF"}, {"DA2", "RA", "MESSARC.DAF"}};
inline constexpr const char* kBodyBackupSubfolder = "BULLETIN";
// The body files of folder with that extension (any case) whose name
// before it is a record number, in name order.
std::vector<std::string> BodyFiles(const std::string& folder, std::string_view extension);

}  // namespace egresso
