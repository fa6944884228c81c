// Another workstation in its own process: saves a changed announcement on a
// data folder, answering the save question with its default (save).
// Usage: egresso_announcement_child FOLDER USER TEXT
#include <cstdio>
#include <string>

#include "board/announcement.h"
#include "core/workstation.h"
#include "platform/console_platform.h"
#include "storage/dates.h"
#include "support/child_station.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s FOLDER USER TEXT\n", argv[0]);
    return 2;
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  if (!test::SetUpChildStation(ws, argv[1], argv[2], "child-" + std::string(argv[2]))) return 3;
  ws.paths.AnnouncementFile = std::string(argv[1]) + "/EGMEMO.TXT";
  ws.Today = DayNumber(ws.platform.clock->now());
  GetAnnouncement(ws);  // the memo shows the announcement before it is edited
  return MemoExit(ws, true, argv[3], nullptr) == MemoSave::Saved ? 0 : 4;
}
