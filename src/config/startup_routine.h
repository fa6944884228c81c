// The start-up routine: paths, notice texts, configuration, switches, the
// user's identity and the start-of-day steps.
#pragma once

#include <string>
#include <vector>

namespace egresso {

struct Workstation;

// args are the command-line arguments without the program name;
// programFolder is the folder of the program file.
void ProgramStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args);

}  // namespace egresso
