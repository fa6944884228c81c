// Another workstation in its own process: signs an employee out on the board
// of a data folder, under the location lock, as the sign-out form does.
// Usage: egresso_board_writer_child FOLDER USER SLOT RETURNDAY HEADLINE
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/board_list.h"
#include "platform/console_platform.h"
#include "messages/board_files.h"
#include "core/workstation.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "support/child_station.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s FOLDER USER SLOT RETURNDAY HEADLINE\n", argv[0]);
    return 2;
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  if (!test::SetUpChildStation(ws, argv[1], argv[2], "child-" + std::string(argv[2]))) return 3;
  const int slot = std::atoi(argv[3]);
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  if (!AcquireLock(ws, "LOCATELK", "EGOK1")) return 4;
  ClearRecord(ws);
  ReadBoardRecord(ws, slot, "EGOK1");
  BulBrdRcrd& r = ws.board.RecordBuffer;
  r.clearKeepingClock();
  r.setWho(ws.mcfg.empInitials(slot));
  r.setEnteredBy(ws.ThisUser);
  r.setHeadline(argv[5]);
  r.setReturnDay(static_cast<std::int16_t>(std::atoi(argv[4])));
  r.setReturnAt(1500);
  r.setClosed(0);
  const int rc = WriteBoardRecord(ws, slot, "EGOK1");
  ReleaseLock(ws, "LOCATELK");
  return rc == io::Ok ? 0 : 5;
}
