#include "board/cli.h"

#include <algorithm>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "board/board_list.h"
#include "board/cli_data.h"
#include "board/cli_write.h"
#include "platform/console_platform.h"
#include "board/demo.h"
#include "config/records_init.h"
#include "config/startup_routine.h"
#include "config/switches.h"
#include "messages/board_files.h"
#include "platform/codepage.h"
#include "config/notices_file.h"
#include "config/password_hash.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/file_report.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"
#include "text/shown_text.h"

namespace egresso {

namespace {

// Record 0 of path; an I/O result.
template <std::size_t N>
int ReadRecordFile(FileOps& ops, const std::string& path, std::array<std::uint8_t, N>& bytes, int& err) {
  RecordFile f;
  errno = 0;
  const int opened = f.open(path, N, RecordFile::Mode::ReadOnly, ops);
  const int result = opened != io::Ok ? opened : f.read(0, bytes);
  err = errno;
  return result;
}

// The folders the switches name must be there: the viewer creates nothing.
bool FoldersExist(const std::vector<std::string>& switches, std::string& error) {
  for (const auto& s : switches) {
    const std::string key = UpperText(s.substr(0, std::min<std::size_t>(4, s.size())));
    if (key != "/MD=" && key != "/RD=") continue;
    std::string folder = s.substr(4);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
      error = "no such folder: " + folder;
      return false;
    }
  }
  return true;
}

// The lines are on their way to a terminal, which obeys what the folder's
// texts may hold.
std::vector<std::string> ToUtf8(const std::vector<BoardLine>& lines) {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const auto& l : lines) out.push_back(TerminalText(cp1252ToUtf8(l.text)));
  return out;
}

// One line typed on the terminal of fd without echo, after the prompt;
// false when the user ended it with a signal (sig) or the input ended.
// Signals are held and watched meanwhile, so that the terminal always gets
// its echo back.
bool ReadHiddenLine(int fd, std::ostream& out, const std::string& prompt, std::string& line, int& sig) {
  sigset_t set, previous;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, s);
  pthread_sigmask(SIG_BLOCK, &set, &previous);
  const int signals = ::signalfd(-1, &set, SFD_CLOEXEC);
  termios old{};
  const bool terminal = ::tcgetattr(fd, &old) == 0;
  if (terminal) {
    termios quiet = old;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ICANON;
    ::tcsetattr(fd, TCSANOW, &quiet);
  }
  // Only now: what is typed after the prompt is never shown.
  out << prompt << std::flush;
  bool done = false, ended = false;
  while (!done && !ended) {
    pollfd watch[2] = {{fd, POLLIN, 0}, {signals, POLLIN, 0}};
    if (::poll(watch, signals >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      ended = true;
      break;
    }
    if (signals >= 0 && (watch[1].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      if (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) sig = static_cast<int>(info.ssi_signo);
      ended = true;
      break;
    }
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ended = true;
    else if (c == '\n') done = true;
    else line += c;
  }
  if (terminal) ::tcsetattr(fd, TCSANOW, &old);
  out << "\n" << std::flush;
  if (signals >= 0) ::close(signals);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return done || (!line.empty() && sig == 0);
}

}  // namespace

std::string PasswordRefusal(Workstation& ws, bool fromStdin, std::ostream& prompt, int& signal) {
  signal = 0;
  const bool asks = ws.pcfg.flag(pcfg::RequestPassword) || ws.options.PasswordPlus || ws.mcfg.flag(mcfg::PasswordForAll);
  if (!asks) return {};
  const std::string who = TerminalText(cp1252ToUtf8(ws.ThisUser));
  if (ws.locks.PersonalStandIn)
    return "the personal configuration " + ws.paths.PersonalConfigPath + " of " + who +
           " cannot be read, so the password cannot be checked";
  const std::string stored = ws.pcfg.str(pcfg::UserPassword, 8);
  if (stored.empty()) return who + " has no password yet: set one when the board asks for it at start";
  std::string typed;
  if (fromStdin) {
    if (!std::getline(std::cin, typed)) return "no password on standard input";
  } else if (::isatty(STDIN_FILENO) == 1) {
    const bool got = ReadHiddenLine(STDIN_FILENO, prompt, "Password for " + who + ": ", typed, signal);
    if (!got) return signal != 0 ? "stopped while the password was typed" : "no password was typed";
  } else {
    return who + " signs in with a password: type it on a terminal, or give it with --password-stdin";
  }
  if (!typed.empty() && typed.back() == '\r') typed.pop_back();
  // As the board's password dialog takes it: in capitals, without blanks around.
  const std::string text = TrimText(UpperText(utf8ToCp1252(typed).substr(0, 8)));
  bool legacy = false;
  if (text.empty() || !PasswordMatches(ws.ThisUser, stored, text, legacy)) return "wrong password for " + who;
  return {};
}

bool LoadViewer(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& switches,
                std::string& error, bool writable) {
  if (!FoldersExist(switches, error)) return false;
  ws.paths.ProgramFolder = programFolder;
  ws.paths.ProductTitle = "Egresso";
  ws.paths.DataFolder = programFolder;
  ws.paths.NoticesPath = programFolder + "/NOTICES.TXT";
  // Set before the switches: a folder named in the site's switch files is
  // looked at, never created.
  ws.board.ReadOnlyView = true;
  LoadSwitches(ws, switches);
  ws.board.ReadOnlyView = !writable;
  BuildDataPaths(ws);
  LoadNotices(ws);
  ws.Today = DayNumber(ws.platform.clock->now());
  // A folder without a main configuration is an empty board; one whose
  // configuration is there but cannot be read (refused, planted, cut short)
  // cannot be shown as if it had none: its employees and their password
  // settings are in it.
  int err = 0;
  if (const int main = ReadRecordFile(*ws.files, ws.paths.MainConfigPath, ws.mcfg.bytes, err); main != io::Ok) {
    if (main != io::FileNotFound) {
      // Said as it is: without the table every initials would be unknown.
      const FailureReason why = ClassifyFailure(ws.paths.DataFolder, main, err);
      error = "the main configuration " + ws.paths.MainConfigPath +
              " cannot be read: " + FailureReasonText(ws, why, err) + ". " + FailureAdvice(ws, why);
      return false;
    }
    InitMainConfig(ws);
  }
  if (const int personal = ReadRecordFile(*ws.files, ws.paths.PersonalConfigPath, ws.pcfg.bytes, err);
      personal != io::Ok) {
    InitPersonalConfig(ws);
    // Only a personal file that is not there says the user has no password:
    // one this account may not read, or something planted in its place, may
    // stand for one that asks.
    if (personal != io::FileNotFound) {
      ws.pcfg.setU8(pcfg::RequestPassword, 1);
      ws.locks.PersonalStandIn = true;
    }
  }
  // A viewer writes nothing, not even the trace file the site may have on.
  if (writable)
    ApplyMainConfigSwitches(ws);
  else
    ws.mcfg.setU8(mcfg::TraceLog, 0);
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  ws.MultiUser = !ws.mcfg.mainUserInitials().empty();
  InitBoardState(ws);
  return true;
}

std::vector<std::string> BoardListing(Workstation& ws) {
  ws.ListMode = 1;
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  return ToUtf8(ws.board.BBSlist);
}

std::vector<std::string> MessageListing(Workstation& ws) {
  ws.ListMode = 0;
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  std::vector<std::string> out = ToUtf8(ws.board.BBSlist);
  out.emplace_back();
  out.push_back(TerminalText(cp1252ToUtf8(MessageText(ws, 1443) + " " + ws.ThisUser + ":")));
  for (auto& l : ToUtf8(ws.board.BBSoldList)) out.push_back(std::move(l));
  return out;
}

std::string CliHelp() {
  return "Usage: egresso-cli COMMAND [OPTIONS] [SWITCHES]\n"
         "\n"
         "Shows the in/out board and the messages of an Egresso data folder as the\n"
         "board window lists them, and signs out, signs in, sends and reads as the\n"
         "board window does. board, messages and main-user only read: nothing is\n"
         "changed, locked or expired on disk (entries of earlier days are shown as\n"
         "the board would show them after expiry).\n"
         "\n"
         "Commands:\n"
         "  board             the in/out board, one line per employee\n"
         "  messages [--password-stdin]\n"
         "                    the unread messages, then the messages sent or read;\n"
         "                    for a user who signs in with a password, after it\n"
         "                    (typed when asked, or the first line of standard\n"
         "                    input with --password-stdin)\n"
         "  main-user         the initials of the data folder's main user\n"
         "  demo FOLDER       create a demo data folder: a main user, employees\n"
         "                    (some out with destinations and return times) and\n"
         "                    a few messages between them\n"
         "  serve [--listen ADDRESS:PORT] [--host-name NAMES] [--protected-headlines]\n"
         "                    a read-only web page of the board (/) and of one\n"
         "                    user's message headlines (/messages/INITIALS), for\n"
         "                    phones and wall screens; it reloads itself every\n"
         "                    board tick; /roll-call the roll call to print,\n"
         "                    /calendar.ics the calendar feed, /board.json the\n"
         "                    board as JSON. Listens on 127.0.0.1:8080 unless told\n"
         "                    otherwise (0.0.0.0:8080 for the office network:\n"
         "                    anyone who reaches the port can read the headlines).\n"
         "                    Answers only requests for localhost, the listen\n"
         "                    address, this computer's name and the names or\n"
         "                    addresses given with --host-name (separated by\n"
         "                    commas; the option may be repeated).\n"
         "                    Headlines of employees whose entry asks for a\n"
         "                    password (and their calendar events) are shown only\n"
         "                    with --protected-headlines.\n"
         "                    Ctrl+C stops it\n"
         "  --help            this text\n"
         "\n" +
         DataCommandsHelp() + "\n" + WriteCommandsHelp() +
         "\n"
         "Switches, as the program takes them:\n"
         "  /MD=FOLDER        the data folder (default: the program folder)\n"
         "  /TU=INITIALS      the user: whose messages are listed, who writes\n"
         "  /LE               leave out employees who are in\n"
         "  /RT               return time and date first\n"
         "  /OT               show when each location was written\n"
         "  /DS               board in record order instead of name order\n"
         "  /PD               compact lines\n"
         "  /EM=DAYS          messages older than DAYS are shown as expired (20)\n"
         "  /LS               only the user's own entry\n";
}

int RunCli(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
           std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? err : out) << CliHelp();
    return args.empty() ? 2 : 0;
  }
  if (IsDataCommand(args)) return RunDataCommand(args, programFolder, out, err);
  ConsolePlatform console;
  if (IsWriteCommand(args[0])) return RunWriteCommand(args, programFolder, console.platform(), out, err);
  Workstation ws(console.platform());
  const std::string& command = args[0];
  if (command == "demo") {
    if (args.size() < 2) {
      err << "egresso-cli demo: a folder is needed\n";
      return 2;
    }
    ws.paths.ProgramFolder = programFolder;
    ws.paths.ProductTitle = "Egresso";
    ws.paths.NoticesPath = programFolder + "/NOTICES.TXT";
    LoadNotices(ws);
    std::string error;
    if (!CreateDemoFolder(ws, args[1], error)) {
      err << "egresso-cli demo: " << error << "\n";
      return 1;
    }
    out << "Demo data folder " << args[1] << " created; its main user is " << kDemoMainUser << ".\n";
    return 0;
  }
  std::vector<std::string> switches(args.begin() + 1, args.end());
  const auto stdinOption = std::find(switches.begin(), switches.end(), "--password-stdin");
  const bool passwordStdin = stdinOption != switches.end();
  if (passwordStdin) switches.erase(stdinOption);
  std::string error;
  if (!LoadViewer(ws, programFolder, switches, error)) {
    err << "egresso-cli: " << error << "\n";
    return 1;
  }
  if (command == "main-user") {
    out << TerminalText(cp1252ToUtf8(ws.mcfg.mainUserInitials())) << "\n";
    return 0;
  }
  std::vector<std::string> lines;
  if (command == "board")
    lines = BoardListing(ws);
  else if (command == "messages") {
    // The headlines are what the board shows this user only after the password.
    int sig = 0;
    if (const std::string refused = PasswordRefusal(ws, passwordStdin, err, sig); !refused.empty()) {
      err << "egresso-cli messages: " << refused << "\n";
      return sig != 0 ? 128 + sig : 1;
    }
    lines = MessageListing(ws);
  } else {
    err << "egresso-cli: unknown command \"" << command << "\"\n" << CliHelp();
    return 2;
  }
  for (const auto& l : lines) out << l << "\n";
  return 0;
}

}  // namespace egresso
