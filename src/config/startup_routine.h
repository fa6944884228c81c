// The start-up routine: paths, notice texts, configuration, switches, the
// user's identity and the start-of-day steps.
#pragma once

#include <string>
#include <vector>

namespace egresso {

struct Workstation;

// args are the command-line arguments without the program name;
// programFolder is the folder of the program file. Ends with
// ws.QuitRequested set when the program must not go on.
void ProgramStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args);

// The file names of the data folder, and those that depend on the user.
void BuildDataPaths(Workstation& ws);
void BuildUserPaths(Workstation& ws);

}  // namespace egresso
