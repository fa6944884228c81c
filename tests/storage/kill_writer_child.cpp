// A workstation that writes one kind of shared file over and over, turn
// about its two versions, until it is killed; the kill test then looks at
// what it left. Usage: egresso_kill_writer_child FOLDER KIND, KIND one of
// board, body, config, notify, lock. After its first round it creates
// FOLDER/READY.KIND, so the test kills it only once it is writing.
#include <cstdio>
#include <string>

#include "core/workstation.h"
#include "messages/board_files.h"
#include "platform/console_platform.h"
#include "storage/notify_file.h"
#include "config/config_store.h"
#include "storage/locks.h"
#include "support/child_station.h"
#include "support/kill_contents.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER KIND\n", argv[0]);
    return 2;
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  const std::string folder = argv[1];
  const std::string kind = argv[2];
  if (!test::SetUpChildStation(ws, folder, "KIL", "4444")) return 3;
  ws.ListMode = 1;
  ws.paths.BoardDataPath = folder + "/LOCATE.DAF";
  ws.paths.BoardIndexPath = folder + "/LOCATE.DAI";
  const auto configA = ws.mcfg.bytes;
  for (long round = 0;; ++round) {
    const bool second = round % 2 == 1;
    if (kind == "board") {
      if (AcquireLock(ws, lockname::Locate, "KILL")) {
        ws.board.RecordBuffer = test::KillRecord(second);
        WriteBoardRecord(ws, test::kKillSlot, "KILL");
        ReleaseLock(ws, lockname::Locate);
      }
    } else if (kind == "body") {
      WriteBodyText(test::KillBodyPath(folder), test::KillBody(second), PosixFileOps());
    } else if (kind == "config") {
      ws.mcfg.bytes = second ? test::KillConfig(configA) : configA;
      WriteMainConfig(ws, "KILL");
    } else if (kind == "notify") {
      PutNotifyText(NotifyFileOf(ws, "KIL"), test::KillLetter(second), PosixFileOps());
      // Now and then the owner takes the letters out, as its host does.
      if (round % 16 == 15) TakeNotifyTexts(NotifyFileOf(ws, "KIL"), PosixFileOps());
    } else if (kind == "lock") {
      if (TryLock(ws, test::kKillLock, "KILL")) ReleaseLock(ws, test::kKillLock);
    } else {
      return 2;
    }
    if (round == 1) std::fclose(std::fopen((folder + "/READY." + kind).c_str(), "wb"));
  }
}
