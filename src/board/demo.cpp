#include "board/demo.h"

#include <filesystem>
#include <vector>

#include "board/board_list.h"
#include "config/records_init.h"
#include "messages/board_files.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

struct DemoEmployee {
  const char* initials;
  const char* name;
  const char* location;  // empty: in the office
  int returnAt;          // HHMM
  int returnInDays;      // return day relative to today
};

constexpr DemoEmployee kEmployees[] = {
    {"ANN", "Ann Baker", "", 0, 0},
    {"BOB", "Bob Carter", "Client visit, Harbour Street 12", 1430, 0},
    {"CLA", "Claire Dumont", "Dentist", 1100, 0},
    {"DAN", "Daniel Evans", "Trade fair in Lyon", 900, 2},
    {"EVA", "Eva Fischer", "", 0, 0},
    {"FRA", "Frank Garcia", "Lunch with a supplier", 1315, 0},
    {"GIL", "Gilles Hart", "Working from home, call 555-0142", 1730, 0},
};

struct DemoMessage {
  int from;              // employee index
  std::vector<int> to;   // employee indexes; empty: everyone
  const char* subject;
  const char* body;
  int daysAgo;
  int madeAt;
  std::vector<int> readBy;
};

std::vector<DemoMessage> Messages() {
  return {
      {1, {0}, "Call Mrs. Lindqvist back about the lease",
       "She called at 4 pm.\nHer number is 555-0187; she is in until 6.", 1, 1605, {}},
      {2, {0, 3}, "Team meeting moved to Thursday 10:00", "Room 2 as usual. Bring the quarterly figures.", 0, 840,
       {}},
      {0, {1}, "Please sign the expense reports", "They are on your desk, the blue folder.", 0, 910, {}},
      {3, {}, "Printer on the 2nd floor is out of toner", "I ordered new cartridges; they come on Friday.", 2, 1120,
       {0}},
      {4, {5}, "Parcel for you at reception", "It came with the morning post.", 0, 1002, {}},
  };
}

bool WriteMainConfigFile(Workstation& ws, std::string& error) {
  RecordFile f;
  int rc = f.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::Create, *ws.files);
  if (rc == io::Ok) rc = f.write(0, ws.mcfg.bytes);
  int closeRc = f.close();
  if (rc == io::Ok) rc = closeRc;
  if (rc != io::Ok) error = "cannot write " + ws.paths.MainConfigPath + " (error " + std::to_string(rc) + ")";
  return rc == io::Ok;
}

}  // namespace

bool CreateDemoFolder(Workstation& ws, const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  ws.paths.DataFolder = folder;
  ws.paths.BulletinFolder = folder + "/BULLETIN";
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.paths.BackupFolder = folder + "/BACKUP";
  if (fileExists(ws.paths.MainConfigPath)) {
    error = folder + " already holds a configuration";
    return false;
  }
  createFolder(ws.paths.BulletinFolder, *ws.files);
  ws.Today = DayNumber(ws.platform.clock->now());
  ws.ThisUser = kDemoMainUser;

  InitMainConfig(ws);
  int slot = 1;
  for (const auto& e : kEmployees) {
    ws.mcfg.setEmpInitials(slot, e.initials);
    ws.mcfg.setEmpName(slot, e.name);
    ++slot;
  }
  ws.mcfg.setStr(mcfg::MainUserInitials, 3, kDemoMainUser);
  ws.mcfg.setU8(mcfg::InOutLog, 1);
  ws.mcfg.setI16(mcfg::LastDateUsed, ws.Today);
  if (!WriteMainConfigFile(ws, error)) return false;
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  ws.MultiUser = true;

  // Locations: record j belongs to employee slot j, record 0 is never shown.
  ws.ListMode = 1;
  ws.ArchiveView = false;
  SelectBoardFiles(ws);
  const int employees = static_cast<int>(std::size(kEmployees));
  for (int j = 0; j <= brd::Slots; ++j) {
    ClearRecord(ws);
    BulBrdRcrd& rec = ws.board.RecordBuffer;
    rec.setClosed(1);
    if (j >= 1 && j <= employees) {
      const DemoEmployee& e = kEmployees[j - 1];
      rec.setWho(e.initials);
      if (*e.location != '\0') {
        rec.setClosed(0);
        rec.setHeadline(e.location);
        rec.setReturnDay(static_cast<std::int16_t>(ws.Today + e.returnInDays));
        rec.setReturnAt(static_cast<std::int16_t>(e.returnAt));
        rec.setMadeDay(ws.Today);
        rec.setMadeTime(800);
        rec.setEnteredBy(e.initials);
        WriteBodyText(BodyFilePath(ws, BoardSet::Locations, j), std::string(e.location) + "\n", *ws.files);
      }
    }
    if (WriteBoardRecord(ws, j, "DEMO") != io::Ok) {
      error = "cannot write " + ws.paths.BoardDataPath;
      return false;
    }
  }

  ws.ListMode = 0;
  SelectBoardFiles(ws);
  for (const auto& m : Messages()) {
    const int n = NextMessageNumber(ws);
    ClearRecord(ws);
    BulBrdRcrd& rec = ws.board.RecordBuffer;
    rec.setWho(kEmployees[m.from].initials);
    rec.setEnteredBy(kEmployees[m.from].initials);
    if (!m.to.empty()) {
      bool toFirst = false;
      for (int t : m.to) {
        rec.setToList(t + 1, kEmployees[t].initials);
        toFirst = toFirst || t == 0;
      }
      if (!toFirst) rec.setToList(1, "nul");
    }
    rec.setHeadline(m.subject);
    rec.setMadeDay(static_cast<std::int16_t>(ws.Today - m.daysAgo));
    rec.setReturnDay(rec.madeDay());
    rec.setMadeTime(static_cast<std::int16_t>(m.madeAt));
    for (int r : m.readBy) rec.setReadMark(r + 1, 1);
    if (WriteBoardRecord(ws, n, "DEMO") != io::Ok) {
      error = "cannot write " + ws.paths.BoardDataPath;
      return false;
    }
    WriteBodyText(BodyFilePath(ws, BoardSet::Messages, n), m.body, *ws.files);
  }
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  return true;
}

}  // namespace egresso
