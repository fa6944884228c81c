// The start-up routine: paths, notice texts, configuration, switches, the
// user's identity and the start-of-day steps.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace egresso {

struct Workstation;

// args are the command-line arguments without the program name;
// programFolder is the folder of the program file. Ends with
// ws.QuitRequested set when the program must not go on.
void ProgramStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args);

// Applies this run's switches to the main configuration record in memory,
// as start-up did after reading it.
void ApplyMainConfigSwitches(Workstation& ws);
// Reads the shared main configuration again (another workstation changed
// it) and applies this run's switches to it again.
void ReloadMainConfig(Workstation& ws, std::string_view tag);

// The file names of the data folder, and those that depend on the user.
void BuildDataPaths(Workstation& ws);
void BuildUserPaths(Workstation& ws);

}  // namespace egresso
