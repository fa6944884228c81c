#include "board/cli_data.h"

#include <algorithm>
#include <ostream>

#include "board/board_data.h"
#include "board/cli.h"
#include "core/workstation.h"
#include "platform/console_platform.h"

namespace egresso {

bool IsDataCommand(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  if (args[0] == "roll-call" || args[0] == "calendar") return true;
  return args[0] == "board" && std::any_of(args.begin() + 1, args.end(), [](const std::string& a) {
           return a == "--format" || a.rfind("--format=", 0) == 0;
         });
}

std::string DataCommandsHelp() {
  return "Commands that give the board as data (they only read, like board):\n"
         "  board --format text|json\n"
         "                    the board's entries; json: initials, name, status\n"
         "                    (in or out), destination, returnDate, returnTime\n"
         "                    (ISO 8601), stale, changedBy, changed (who last\n"
         "                    changed the entry, when)\n"
         "  roll-call [--format text|csv|json]\n"
         "                    every employee, in or out, where, back when and who\n"
         "                    last changed the entry when; \"In the building: N of M\"\n"
         "                    first\n"
         "  calendar [--with-protected]\n"
         "                    the sign-outs with a return date or time as an\n"
         "                    iCalendar feed; employees who sign in with a\n"
         "                    password are left out unless --with-protected\n";
}

int RunDataCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err) {
  const std::string& command = args[0];
  const std::string name = "egresso-cli " + command;
  std::string format = "text";
  bool withProtected = false;
  std::vector<std::string> switches;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (command != "calendar" && (a == "--format" || a.rfind("--format=", 0) == 0)) {
      if (a == "--format" && i + 1 >= args.size()) {
        err << name << ": --format needs a value\n";
        return 2;
      }
      format = a == "--format" ? args[++i] : a.substr(9);
      const bool known = format == "text" || format == "json" || (command == "roll-call" && format == "csv");
      if (!known) {
        err << name << ": unknown format \"" << format << "\"\n";
        return 2;
      }
    } else if (command == "calendar" && a == "--with-protected") {
      withProtected = true;
    } else if (a == "--help" || a == "-h") {
      out << DataCommandsHelp();
      return 0;
    } else if (a.rfind("--", 0) == 0) {
      err << name << ": unknown option \"" << a << "\"\n" << DataCommandsHelp();
      return 2;
    } else {
      switches.push_back(a);
    }
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  std::string error;
  if (!LoadViewer(ws, programFolder, switches, error)) {
    err << "egresso-cli: " << error << "\n";
    return 1;
  }
  if (command == "board" && format == "text") {
    for (const auto& l : BoardListing(ws)) out << l << "\n";
    return 0;
  }
  try {
    const BoardSnapshot snapshot = TakeBoardSnapshot(ws, command != "board");
    if (command == "calendar")
      out << CalendarFeed(snapshot, withProtected, LocalCalendarZone(), CalendarStamp());
    else if (format == "json")
      out << BoardJson(snapshot);
    else if (format == "csv")
      out << RollCallCsv(snapshot);
    else
      for (const auto& l : RollCallText(ws, snapshot)) out << l << "\n";
  } catch (const std::exception& e) {
    err << name << ": " << e.what() << "\n";
    return 1;
  }
  return out ? 0 : 1;
}

}  // namespace egresso
