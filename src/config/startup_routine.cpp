// Placeholder body; replaced by the full start-up routine.
#include "config/startup_routine.h"

#include "startup/workstation.h"
#include "storage/dates.h"

namespace egresso {

void ProgramStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args) {
  ws.paths.ProgramFolder = programFolder;
  ws.paths.ProductTitle = "Egresso";
  ws.paths.DataFolder = programFolder;
  for (const auto& a : args)
    if (a.size() > 4 && (a.rfind("/MD=", 0) == 0 || a.rfind("/md=", 0) == 0)) ws.paths.DataFolder = a.substr(4);
  ws.paths.NoticesPath = programFolder + "/NOTICES.TXT";
  ws.Today = DayNumber(ws.platform.clock->now());
}

}  // namespace egresso
