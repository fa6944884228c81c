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

// The text shown when the program folder holds no NOTICES.TXT.
std::string MissingNoticesText(const std::string& programFolder);

// Position 1..50 of the initials in the employee table, the last one when
// they stand there twice; 0 when empty or not found.
int FindUserSlot(const Workstation& ws, std::string_view initials);

// The file names of the data folder, and those that depend on the user.
void BuildDataPaths(Workstation& ws);
void BuildUserPaths(Workstation& ws);

}  // namespace egresso
