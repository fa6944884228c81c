// Start-up switches: "/" and key letters, optionally "=" and a value, from
// the command line and from the two switch files of the data folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace egresso {

struct Workstation;

// Longest switch text; anything after it is ignored.
inline constexpr std::size_t kSwitchTextMax = 254;

// Every run-time option to its default, then the command-line arguments
// (those longer than two characters) and the lines of DataFolder/F<user>.DAF
// and DataFolder/FALL.DAF, in that order. A folder outside the data folder
// is taken from the command line only.
void LoadSwitches(Workstation& ws, const std::vector<std::string>& args);

// Applies one switch text. Keys are matched upper-cased; every key the text
// begins with is applied. Folder values keep their case. Returns how many
// keys matched (0: not a switch, nothing changed).
int ApplySwitch(Workstation& ws, std::string_view text);

// A switch file of the data folder may name the extra and the backup folder
// ("/ED=", "/BD=") only inside the data folder; the ones it named outside
// were refused by LoadSwitches. Traces them and shows them in one note, once.
void ReportRefusedSwitches(Workstation& ws);

}  // namespace egresso
