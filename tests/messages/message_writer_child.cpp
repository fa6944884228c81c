// Another workstation in its own process: writes messages through the
// message form's logic, as a user pressing OK does.
// Usage: egresso_message_writer_child FOLDER USER STATION COUNT TO NOTICES
// Message i gets the subject "USER #i" and the text "Text of USER #i".
#include <cstdio>
#include <string>

#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/form.h"
#include "platform/console_platform.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "support/child_station.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s FOLDER USER STATION COUNT TO NOTICES\n", argv[0]);
    return 2;
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  ws.paths.NoticesPath = argv[6];
  if (!test::SetUpChildStation(ws, argv[1], argv[2], argv[3]) || !LoadNotices(ws)) return 3;
  ws.Today = DayNumber(ws.platform.clock->now());
  ws.ListMode = 0;
  SelectBoardFiles(ws);
  const int count = std::stoi(argv[4]);
  for (int i = 0; i < count; ++i) {
    ws.form.FormCommand = ' ';
    EgressoForm form(ws);
    form.FormShow();
    const std::string tag = ws.ThisUser + " #" + std::to_string(i);
    form.f.EmpIn = argv[5];
    form.f.ReturnTime = tag;
    form.f.Location = "Text of " + tag;
    form.OKbtnClick();
    if (!form.closed() || form.recordNumber() < 0) return 4;
  }
  return 0;
}
