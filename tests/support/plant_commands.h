// The writing commands of the program, each as one call on a workstation of
// a prepared data folder, for the tests and the fuzz target that plant
// hostile files in the folder.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "board/announcement.h"
#include "board/board_list.h"
#include "board/cli_write.h"
#include "messages/form_world.h"
#include "storage/config_store.h"
#include "support/hostile_plants.h"
#include "tools/editor.h"
#include "tools/file_maint.h"

namespace egresso::test {

// How long a command waits for a busy lock.
inline constexpr int kWaitSeconds = 2;

struct PlantCommand {
  const char* name;
  std::function<void(FormWorld&)> run;
};

inline int cli(FormWorld& w, std::vector<std::string> args) {
  args.push_back("--wait=" + std::to_string(kWaitSeconds));
  args.push_back("/MD=" + w.dir.str());
  args.push_back("/TU=ANN");
  std::ostringstream out, err;
  return RunWriteCommand(args, EGRESSO_PROGRAM_DIR, w.fake.platform(), out, err);
}

inline const std::vector<PlantCommand>& commands() {
  static const std::vector<PlantCommand> kCommands = {
      {"form save", [](FormWorld& w) { FormWorld::send(w.ws, "BOB", "Budget", "Please check"); }},
      {"sign-out", [](FormWorld& w) { cli(w, {"out", "--who", "BOB", "--to", "Bank"}); }},
      {"sign-in", [](FormWorld& w) { cli(w, {"in", "--who", "CLA"}); }},
      {"send", [](FormWorld& w) { cli(w, {"send", "--to", "BOB", "--subject", "Lunch"}); }},
      {"read", [](FormWorld& w) { cli(w, {"read", "0"}); }},
      {"announcement", [](FormWorld& w) { MemoExit(w.ws, true, "Fire drill at ten", nullptr); }},
      {"memo",
       [](FormWorld& w) {
         if (!RequestMemo(w.ws, 1)) return;
         MemoEditor ed(w.ws);
         ed.FormShow({100, 100, 600, 400});
         ed.Area.Text = "Away Fridays";
         ed.Modified = true;
         ed.OKbtnClick();
       }},
      {"backup", [](FormWorld& w) { BackupDataFiles(w.ws); }},
      {"purge", [](FormWorld& w) { PurgeTaggedMessages(w.ws); }},
      {"archive",
       [](FormWorld& w) {
         w.mode(0);
         BuildBoardList(w.ws);
         CloseEntry(w.ws, 0, BoardSource::List);
       }},
  };
  return kCommands;
}

// A folder where every command has something to do: journals on, one
// message to read and archive, Claire out.
inline void prepare(FormWorld& w) {
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  FormWorld::send(w.ws, "ANN", "Earlier", "An earlier message");
  w.putLocation(3, "Lunch", w.ws.Today, 1330);
}

}  // namespace egresso::test
