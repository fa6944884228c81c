// Another workstation in its own process, for the file-maintenance tests.
// Usage:
//   egresso_maintenance_child FOLDER purge         the purge, under its locks
//   With EGRESSO_KILL_AT_RENAME=k the child kills itself (SIGKILL) just
//   before its k-th rename.
//   egresso_maintenance_child FOLDER restore N     RestoreData(N), answering Yes
//   egresso_maintenance_child FOLDER signout USER HEADLINE
//       loads the configuration, prints "ready <slot>", waits for the file
//       FOLDER/GO, then signs USER out as the sign-out form does and
//       prints "slot <slot>".
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "platform/console_platform.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "tools/file_maint.h"

namespace {

class YesDialogs : public egresso::ConsoleDialogs {
 public:
  int ultimateDialog(const egresso::DialogRequest&) override { return 1; }
};

// Dies at a chosen rename, as a workstation switched off there would.
class KillingFileOps : public egresso::FileOps {
 public:
  explicit KillingFileOps(int killAt) : killAt_(killAt) {}
  int rename(const char* from, const char* to) override {
    if (++renames == killAt_) ::raise(SIGKILL);
    return FileOps::rename(from, to);
  }

 private:
  int renames = 0, killAt_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc < 3) return 2;
  ConsolePlatform console;
  YesDialogs yes;
  Platform platform = console.platform();
  platform.dialogs = &yes;
  Workstation ws(platform);
  const std::string folder = argv[1], what = argv[2];
  ws.paths.DataFolder = folder;
  ws.paths.BulletinFolder = folder + "/BULLETIN";
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.paths.BackupFolder = folder + "/BACKUP";
  ws.locks.TraceFolder = folder;
  ws.ThisUser = what == "signout" && argc > 3 ? argv[3] : "ANN";
  ws.StationId = "child-" + ws.ThisUser;
  ws.MultiUser = true;
  ws.notices.lines.assign(2100, "");
  RecordFile cfg;
  if (cfg.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) != io::Ok ||
      cfg.read(0, ws.mcfg.bytes) != io::Ok)
    return 3;
  cfg.close();
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  ws.Today = 15000;
  const char* killAt = std::getenv("EGRESSO_KILL_AT_RENAME");
  KillingFileOps killing(killAt ? std::atoi(killAt) : -1);
  ws.files = &killing;

  if (what == "purge") {
    if (!AcquireLock(ws, "MEMOLK", "BBDL1") || !AcquireLock(ws, "LOCATELK", "BBDL2")) return 4;
    PurgeTaggedMessages(ws);
    ReleaseLock(ws, "LOCATELK");
    ReleaseLock(ws, "MEMOLK");
    return 0;
  }
  if (what == "restore" && argc > 3) {
    RestoreData(ws, std::atoi(argv[3]));
    return 0;
  }
  if (what == "signout" && argc > 4) {
    std::printf("ready %d\n", ws.UserSlot);
    std::fflush(stdout);
    for (int i = 0; i < 2000 && !fileExists(folder + "/GO"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ws.ListMode = 1;
    SelectBoardFiles(ws);
    if (!AcquireLock(ws, "LOCATELK", "EGOK1")) return 4;
    // The form's OK: a changed employee table is loaded before the slot is used.
    CheckEmployeeTables(ws);
    ClearRecord(ws);
    ReadBoardRecord(ws, ws.UserSlot, "EGOK1");
    BulBrdRcrd& r = ws.board.RecordBuffer;
    r.clearKeepingClock();
    r.setWho(ws.ThisUser);
    r.setHeadline(argv[4]);
    r.setReturnDay(15001);
    r.setClosed(0);
    WriteBoardRecord(ws, ws.UserSlot, "EGOK1");
    ReleaseLock(ws, "LOCATELK");
    std::printf("slot %d\n", ws.UserSlot);
    return 0;
  }
  return 2;
}
