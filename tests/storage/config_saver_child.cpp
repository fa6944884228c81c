// Another account saving the main configuration of a shared data folder.
// Arguments: data folder, initials, umask (octal), step: "write" (the
// configuration dialog's save), "backup" (the daily copies) or "restore"
// (from CFGMAIN.BAK). Exit code: 0 when nothing was reported to the user,
// 1 when something was, 2 for bad arguments.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "core/workstation.h"
#include "platform/console_platform.h"
#include "config/config_store.h"

namespace {

class CountingDialogs : public egresso::ConsoleDialogs {
 public:
  int shown = 0;
  int ultimateDialog(const egresso::DialogRequest& r) override {
    ++shown;
    return ConsoleDialogs::ultimateDialog(r);
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 5) return 2;
  ::umask(static_cast<mode_t>(std::stoul(argv[3], nullptr, 8)));
  ConsolePlatform console;
  CountingDialogs dialogs;
  Platform platform = console.platform();
  platform.dialogs = &dialogs;
  Workstation ws(platform);
  const std::string folder = argv[1];
  ws.paths.DataFolder = folder;
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.paths.BackupFolder = folder + "/BACKUP";
  ws.locks.TraceFolder = folder;
  ws.ThisUser = argv[2];
  ws.StationId = "station-" + ws.ThisUser;
  ws.MultiUser = true;
  ws.notices.lines.assign(2100, std::string("text "));
  const std::string step = argv[4];
  if (step == "write") {
    ReadMainConfig(ws, "CHILD");
    if (!ws.locks.ConfigRead) return 1;
    LoadMainConfig(ws, 2);
  } else if (step == "backup") {
    DailyConfigBackup(ws);
  } else if (step == "restore") {
    RestoreMainConfig(ws, '1');
  } else {
    return 2;
  }
  return dialogs.shown == 0 ? 0 : 1;
}
