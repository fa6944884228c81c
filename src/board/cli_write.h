// The commands of the command-line companion that change the board: signing
// an employee out and back in, sending a message and reading one. Each goes
// through the routines the windows use (the sign out and message form, the
// board's close and sign-in), under the same locks and with the same
// notification letters, so other workstations cannot tell them apart from
// entries made in a window.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace egresso {

// Exit codes of the commands.
namespace cli_exit {
inline constexpr int Ok = 0;
inline constexpr int Error = 1;      // unknown initials, a bad date or time, the data folder
inline constexpr int Usage = 2;      // the command line itself
inline constexpr int LockBusy = 3;   // a lock stayed busy for the whole wait
}  // namespace cli_exit

// How long a command waits for a busy lock unless told otherwise.
inline constexpr int kDefaultLockWaitSeconds = 10;

// "out", "in", "send" and "read".
bool IsWriteCommand(std::string_view command);

// The help text of these commands, for the program's help.
std::string WriteCommandsHelp();

// Runs one of them (args[0] is the command). The platform gives the clock
// and the pauses; dialogs are never shown: their texts go to err, each
// question is answered with its default button, and a lock wait gives up
// by itself after the wait. Returns one of the exit codes.
int RunWriteCommand(const std::vector<std::string>& args, const std::string& programFolder, Platform platform,
                    std::ostream& out, std::ostream& err);

// The station identity of the command line: the computer's and account's,
// as the board window's (EGRESSO_STATION sets it for both). Its lock lines
// name the process too, so a lock held by a board window of the same
// station is never taken for the command's own, and a lock the command
// left when it was killed is the station's own at its next run.
std::string CommandLineStationId();

}  // namespace egresso
