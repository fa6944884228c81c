// The command-line companion: prints the in/out board and the message lists
// of a data folder as the board window lists them, without changing,
// locking or waiting for anything, and creates the demo data folder.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace egresso {

struct Workstation;

// Prepares ws as a read-only viewer of the data folder and user named by the
// switches, taken as the program takes them (command line, then the switch
// files of the data folder): notice texts from the program folder, the
// configuration records as stored (defaults when missing), today's date.
// Nothing is written; false, with the reason, when a folder named by a
// switch does not exist or the main configuration is there but cannot be
// read. A personal configuration that is there but cannot be read counts as
// asking for a password. writable: prepared for the commands that change
// the board (still no folder is created), the switches applied to the
// configuration as the program applies them.
bool LoadViewer(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& switches,
                std::string& error, bool writable = false);

// Whether the user of ws may see or change what the switches name: an entry
// that asks for a password (its own setting, the switch, the office's for
// everybody; a personal file that is there but cannot be read counts as
// asking) needs it, as the board needs it at start. It is read from the
// first line of standard input (fromStdin), else typed on the terminal
// without echo (the prompt on prompt); a command without either is refused.
// Empty when the user may go on, else why not; signal is set to the signal
// that ended the typing (Ctrl+C), the terminal left as it was.
std::string PasswordRefusal(Workstation& ws, bool fromStdin, std::ostream& prompt, int& signal);

// The lines of the in/out board.
std::vector<std::string> BoardListing(Workstation& ws);
// The unread messages; then an empty line, the label of the second list
// and the messages sent or already read.
std::vector<std::string> MessageListing(Workstation& ws);

std::string CliHelp();

// Runs one command line (without the program name); returns the exit code.
int RunCli(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
           std::ostream& err);

}  // namespace egresso
