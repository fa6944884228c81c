// A demonstration data folder: a main user and a handful of employees, some
// of them out with destinations and return times, and a few messages between
// them, all written through the program's own record code.
#pragma once

#include <string>

namespace egresso {

struct Workstation;

// The initials of the demo's main user.
inline constexpr const char* kDemoMainUser = "ANN";

// Creates the demo in folder (made when missing) for the workstation's
// clock and notice texts; ws.paths and the board paths are set to the
// folder. Returns false, with a reason in error, when a file cannot be
// written or the folder already holds a configuration.
bool CreateDemoFolder(Workstation& ws, const std::string& folder, std::string& error);

}  // namespace egresso
