// The commands of the command-line companion that give the board as data:
// the roll call, the calendar feed and the board as JSON. Like `board` they
// only read the data folder.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace egresso {

// roll-call, calendar, and board with --format.
bool IsDataCommand(const std::vector<std::string>& args);
// Runs one of them (args without the program name); returns the exit code.
int RunDataCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err);
std::string DataCommandsHelp();

}  // namespace egresso
