#include "board/cli_write.h"

#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <map>
#include <new>
#include <ostream>
#include <set>
#include <stdexcept>

#include "board/board_commands.h"
#include "board/board_list.h"
#include "board/cli.h"
#include "board/refresh.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/form.h"
#include "messages/form_rules.h"
#include "platform/codepage.h"
#include "platform/console_platform.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"
#include "text/shown_text.h"

namespace egresso {

namespace {

constexpr int kKeyEsc = 27;
constexpr int kMaxWaitSeconds = 3600;

// Dialogs of the routines, kept instead of shown. A question gets its
// default button, which never confirms more than the command line asked
// for; a notice (leading "*") is a passing note and is left out.
class CollectedDialogs : public Dialogs {
 public:
  std::vector<std::string> texts;
  int ultimateDialog(const DialogRequest& r) override {
    if (!r.message.empty() && r.message[0] == '*') return 0;
    texts.push_back(r.detail.empty() ? r.message : r.message + "\r" + r.detail);
    return r.defaultButton;
  }
  void closeNotice() override {}
  void messageBox(std::string_view text, BoxKind, std::string_view) override { texts.emplace_back(text); }
  void beep() override {}
};

// The signals that end a command. While it runs they are held back, so that
// no step is cut off with a lock file left in the folder: a lock wait gives
// up when one is pending, any other step runs to its end, the locks are
// released, and then the command exits with the signal's code.
class HeldSignals {
 public:
  HeldSignals() {
    sigemptyset(&set_);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set_, sig);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

  bool pending() const {
    sigset_t now;
    if (sigpending(&now) != 0) return false;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
      if (sigismember(&set_, sig) && sigismember(&now, sig)) return true;
    return false;
  }
  // Takes a pending signal off (0 when none), so that it does not end the
  // process when the mask is restored.
  int take() {
    if (!pending()) return 0;
    timespec none{0, 0};
    const int sig = sigtimedwait(&set_, nullptr, &none);
    return sig > 0 ? sig : 0;
  }

 private:
  sigset_t set_;
  sigset_t previous_;
};

// The lock wait ends as a user would end it, with Esc, once the wait has
// passed or a signal asks the command to stop; pauses are the platform's.
// The wait counts from the last time the lock changed hands: a lock taken
// by one workstation after another is an office at work, and a command
// that waits its turn there goes through. Only one holder keeping the lock
// for the whole wait stops it, or the office staying that busy for
// kBusyOfficeWaits waits in all, so that a script always ends.
class DeadlineEvents : public EventPump {
 public:
  DeadlineEvents(Clock& clock, EventPump* inner, std::int64_t waitMs, const HeldSignals& signals)
      : clock_(clock),
        inner_(inner),
        waitMs_(waitMs),
        startMs_(clock.monotonicMs()),
        deadlineMs_(startMs_ + waitMs),
        signals_(signals) {}
  // The locks whose holders the wait follows.
  void follow(const LockState& locks) { locks_ = &locks; }
  int processEvents() override {
    const std::int64_t now = clock_.monotonicMs();
    if (locks_ != nullptr && locks_->Examined.known && !(locks_->Examined == seen_)) {
      seen_ = locks_->Examined;
      deadlineMs_ = std::min(std::max(deadlineMs_, now + waitMs_), startMs_ + kBusyOfficeWaits * waitMs_);
    }
    return now >= deadlineMs_ || signals_.pending() ? kKeyEsc : 0;
  }
  void sleepMs(int ms) override {
    if (inner_) inner_->sleepMs(ms);
  }
  // The wait ended because the office stayed busy, not one holder.
  bool busyOffice() const { return deadlineMs_ >= startMs_ + kBusyOfficeWaits * waitMs_; }

  static constexpr int kBusyOfficeWaits = 6;

 private:
  Clock& clock_;
  EventPump* inner_;
  std::int64_t waitMs_, startMs_, deadlineMs_;
  const HeldSignals& signals_;
  const LockState* locks_ = nullptr;
  LockFileIdentity seen_;
};

struct CommandSpec {
  const char* name;
  std::set<std::string> options;  // without the leading "--"
  int positional;                 // how many plain arguments it takes
};

const std::vector<CommandSpec>& Specs() {
  static const std::vector<CommandSpec> specs = {
      {"out", {"who", "to", "abbrev", "date", "back", "wait"}, 0},
      {"in", {"who", "wait"}, 0},
      {"send", {"to", "subject", "text", "wait"}, 0},
      {"read", {"wait"}, 1},
  };
  return specs;
}

struct Parsed {
  std::string command;
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  std::vector<std::string> switches;
  int waitSeconds = kDefaultLockWaitSeconds;
  bool passwordStdin = false;
};

// "--name VALUE" or "--name=VALUE"; "/..." are the program's switches.
bool ParseArgs(const std::vector<std::string>& args, Parsed& p, std::string& error) {
  p.command = args[0];
  const CommandSpec* spec = nullptr;
  for (const auto& s : Specs())
    if (p.command == s.name) spec = &s;
  if (!spec) {
    error = "unknown command \"" + p.command + "\"";
    return false;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.starts_with("/")) {
      p.switches.push_back(a);
      continue;
    }
    if (!a.starts_with("--")) {
      p.positional.push_back(a);
      continue;
    }
    if (a == "--password-stdin") {
      p.passwordStdin = true;
      continue;
    }
    std::string name = a.substr(2), value;
    if (const std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      error = "--" + name + " needs a value";
      return false;
    }
    if (!spec->options.contains(name)) {
      error = p.command + " takes no --" + name;
      return false;
    }
    if (p.options.contains(name)) {
      error = "--" + name + " given twice";
      return false;
    }
    if (!isValidUtf8(value)) {
      error = "--" + name + " is not UTF-8 text";
      return false;
    }
    p.options[name] = value;
  }
  if (static_cast<int>(p.positional.size()) != spec->positional) {
    error = spec->positional ? p.command + " needs one message number" : "unexpected argument \"" + p.positional[0] + "\"";
    return false;
  }
  if (auto w = p.options.find("wait"); w != p.options.end()) {
    const std::string& v = w->second;
    int seconds = -1;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
    if (ec != std::errc() || end != v.data() + v.size() || seconds < 0 || seconds > kMaxWaitSeconds) {
      error = "--wait takes whole seconds from 0 to " + std::to_string(kMaxWaitSeconds);
      return false;
    }
    p.waitSeconds = seconds;
  }
  return true;
}

bool HasUserSwitch(const std::vector<std::string>& switches) {
  for (const auto& s : switches)
    if (UpperText(s.substr(0, std::min<std::size_t>(4, s.size()))) == "/TU=") return true;
  return false;
}

// Text for the console: the records' code page to UTF-8, line ends as the
// console has them (the dialogs' texts break lines with a CR alone), every
// other control marked.
std::string ConsoleText(std::string_view text) {
  std::string s = cp1252ToUtf8(text), lines;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      lines += '\n';
    } else {
      lines += s[i];
    }
  }
  std::string out = TerminalText(lines, true);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// A message's text as the console shows it: its line breaks kept, but a CR
// alone marked, as it would let a later line overwrite an earlier one.
std::string BodyConsoleText(std::string_view text) {
  std::string out = TerminalText(cp1252ToUtf8(text), true);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class Command {
 public:
  Command(Workstation& ws, CollectedDialogs& dialogs, const Parsed& p, std::ostream& out, std::ostream& err,
          const DeadlineEvents& wait)
      : ws_(ws), dialogs_(dialogs), p_(p), out_(out), err_(err), wait_(wait) {}

  int Run() {
    if (p_.command == "out") return Out();
    if (p_.command == "in") return In();
    if (p_.command == "send") return Send();
    return Read();
  }

  // What the routines had to say, as the windows would have shown it.
  void ReportDialogs() {
    for (const auto& t : dialogs_.texts) err_ << "egresso-cli " << p_.command << ": " << ConsoleText(t) << "\n";
    dialogs_.texts.clear();
  }

  int Fail(int code, const std::string& problem) {
    ReportDialogs();
    err_ << "egresso-cli " << p_.command << ": " << problem << "\n";
    return code;
  }

  // A file step of the command failed (a record, an index, a body, the
  // journal, a letter, a lock file): reported, and the exit says so.
  bool StepFailed() const { return ws_.locks.FailuresReported > 0 || ws_.locks.ReleaseFailed; }
  int StepFailure() {
    if (ws_.locks.ReleaseFailed)
      return Fail(cli_exit::Error, "a lock file in " + ws_.paths.DataFolder +
                                       " could not be removed; other workstations wait for it until it is broken");
    return Fail(cli_exit::Error, "a file step failed (see above): the change may be incomplete");
  }

 private:
  std::string Option(const std::string& name) const {
    auto it = p_.options.find(name);
    return it == p_.options.end() ? std::string() : utf8ToCp1252(it->second);
  }
  bool Given(const std::string& name) const { return p_.options.contains(name); }

  // A lock that stayed busy for the whole wait: the take gave up.
  bool LockGaveUp() const { return ws_.locks.LockBusy && !ws_.locks.LockFailed; }
  int Busy() {
    const LockState& L = ws_.locks;
    std::string holder = L.HolderInitials.empty() ? std::string("another workstation") : L.HolderInitials;
    if (!L.HolderStation.empty()) holder += " (station " + L.HolderStation + ")";
    if (wait_.busyOffice())
      return Fail(cli_exit::LockBusy, "the lock " + LockFilePath(ws_, L.LastLockName) + " stayed busy for " +
                                          std::to_string(p_.waitSeconds * DeadlineEvents::kBusyOfficeWaits) +
                                          " s, taken by one workstation after another (last by " + holder +
                                          "); nothing was changed");
    return Fail(cli_exit::LockBusy, "the lock " + LockFilePath(ws_, L.LastLockName) + " stayed busy for " +
                                        std::to_string(p_.waitSeconds) + " s, held by " + holder +
                                        "; nothing was changed");
  }
  // After a routine that writes: busy lock, or what it reported.
  int Outcome(bool done, const std::string& problem) {
    if (done && StepFailed()) return StepFailure();
    if (done) {
      ReportDialogs();
      return cli_exit::Ok;
    }
    if (LockGaveUp()) return Busy();
    return Fail(cli_exit::Error, problem);
  }

  // The employee an entry is for: --who, else the user of the switches.
  int Employee(int& slot, std::string& who) {
    who = UpperText(TrimText(Given("who") ? Option("who") : ws_.ThisUser));
    slot = who.empty() ? 0 : FindUserSlot(ws_, who);
    if (slot < 1 || slot > brd::Slots)
      return Fail(cli_exit::Error, "unknown initials \"" + ConsoleText(who) + "\": not in the employee table");
    return cli_exit::Ok;
  }

  int Mode(int listMode) {
    ws_.ListMode = listMode;
    ws_.ArchiveView = false;
    SelectBoardFiles(ws_);
    if (!CommandMayStart(ws_)) return Fail(cli_exit::Error, "the data folder " + ws_.paths.DataFolder + " cannot be used");
    return cli_exit::Ok;
  }

  bool Stale(int slot) {
    BoardIndexEntry e;
    return ReadBoardIndexEntry(*ws_.files, ws_.paths.BoardIndexPath, slot, e) && e.stale();
  }
  bool SignedIn(int slot) {
    BoardIndexEntry e;
    return !ReadBoardIndexEntry(*ws_.files, ws_.paths.BoardIndexPath, slot, e) || e.closed();
  }

  // The employee's board entry, ready for a change. As on the board, an
  // entry left from an earlier day is signed in first (stale tells).
  int BoardEntry(int& slot, std::string& who, bool& stale) {
    if (int rc = Employee(slot, who)) return rc;
    if (int rc = Mode(1)) return rc;
    stale = Stale(slot);
    if (stale) {
      MorningSignIn(ws_, slot);
      if (LockGaveUp()) return Busy();
    }
    return cli_exit::Ok;
  }

  // The return date and time as the form would take them, checked before
  // anything is written: what the form refuses (a text it cannot read, a
  // date before today) ends the command with nothing changed.
  int CheckWhen() {
    const std::size_t told = dialogs_.texts.size();
    if (Given("date")) {
      const std::string today = FormatDay(ws_, ws_.Today);
      const ReturnDateResult r = LeaveReturnDate(ws_, Option("date"), today, ws_.Today);
      const bool refused = !r.ok || dialogs_.texts.size() != told;
      dialogs_.texts.resize(told);
      if (refused) return Fail(cli_exit::Error, "not a return date: \"" + p_.options.at("date") + "\"; nothing was changed");
      if (r.day > 0 && r.day < ws_.Today)
        return Fail(cli_exit::Error, "\"" + p_.options.at("date") + "\" (" +
                                         ConsoleText(TrimText(FormatDay(ws_, r.day))) + "): " +
                                         ConsoleText(MessageText(ws_, 1426)) + " Nothing was changed.");
    }
    if (Given("back") && ParseTime(ws_, FieldText(Option("back"), 60)) == 0) {
      dialogs_.texts.resize(told);
      return Fail(cli_exit::Error, "not a return time: \"" + p_.options.at("back") + "\"; nothing was changed");
    }
    return cli_exit::Ok;
  }

  int Out() {
    int slot = 0;
    std::string who;
    bool stale = false;
    if (int rc = CheckWhen()) return rc;
    if (int rc = BoardEntry(slot, who, stale)) return rc;
    ws_.form.FormCommand = ExistingEntryLetter(ws_);
    ws_.form.OpenRecordNumber = slot;
    ws_.form.PreselectedSlot = slot;
    // The command showed nobody the entry: it signs out over whatever is
    // there when it saves.
    ws_.form.ActOnStored = true;
    EgressoForm form(ws_);
    form.FormShow();
    FormFields& f = form.f;

    if (Given("abbrev")) {
      const std::string wanted = UpperText(TrimText(Option("abbrev")));
      int chosen = -1;
      for (std::size_t i = 0; i < f.LocAbbItems.size() && chosen < 0; ++i) {
        const std::string& item = f.LocAbbItems[i];
        if (UpperText(TrimText(item.substr(0, item.find_first_of("<@")))) == wanted) chosen = static_cast<int>(i);
      }
      if (chosen < 0) return Fail(cli_exit::Error, "no destination abbreviation \"" + ConsoleText(wanted) + "\"");
      form.LocAbbChange(chosen);
    }
    if (Given("to")) f.Location = Option("to");
    if (Given("date")) {
      // Relative dates count from today, as for a new entry.
      f.ReturnDate = FormatDay(ws_, ws_.Today);
      form.Enter(FormField::ReturnDate);
      f.ReturnDate = Option("date");
      const std::size_t told = dialogs_.texts.size();
      if (!form.Exit(FormField::ReturnDate) || dialogs_.texts.size() != told) {
        dialogs_.texts.clear();
        return Fail(cli_exit::Error, "not a return date: \"" + p_.options.at("date") + "\"");
      }
    }
    if (Given("back")) {
      const std::string back = Option("back");
      if (ParseTime(ws_, FieldText(back, 60)) == 0)
        return Fail(cli_exit::Error, "not a return time: \"" + p_.options.at("back") + "\"");
      form.Enter(FormField::ReturnTime);
      f.ReturnTime = back;
      form.Exit(FormField::ReturnTime);
    }
    form.OKbtnClick();
    const int rc = Outcome(form.saved(), who + " was not signed out");
    if (rc == cli_exit::Ok) {
      const BulBrdRcrd& rec = ws_.board.RecordBuffer;
      out_ << ConsoleText(who + " out: " + rec.headline() + " (back " + TrimText(FormatDay(ws_, rec.returnDay())) +
                          (rec.returnAt() ? " " + FormatTime(ws_, rec.returnAt(), true, true, 0) : std::string()) +
                          ")")
           << "\n";
    }
    return rc;
  }

  int In() {
    int slot = 0;
    std::string who;
    bool stale = false;
    if (int rc = BoardEntry(slot, who, stale)) return rc;
    // The stale entry was signed in just now.
    if (!stale && SignedIn(slot)) {
      out_ << who << " is in already.\n";
      ReportDialogs();
      return cli_exit::Ok;
    }
    if (!stale) {
      const CloseResult r = CloseEntry(ws_, slot, BoardSource::OutButton);
      if (int rc = Outcome(r == CloseResult::Closed, who + " was not signed in")) return rc;
    }
    if (StepFailed()) return StepFailure();
    out_ << who << " in.\n";
    ReportDialogs();
    return cli_exit::Ok;
  }

  int Send() {
    if (!Given("to")) return Fail(cli_exit::Usage, "--to is needed: initials, group names or " + EveryoneWord(ws_));
    if (!Given("subject") && !Given("text")) return Fail(cli_exit::Usage, "--subject or --text is needed");
    std::string text = Option("text");
    if (p_.options.contains("text") && p_.options.at("text") == "-") {
      const std::string in{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
      if (!isValidUtf8(in)) return Fail(cli_exit::Usage, "the text on standard input is not UTF-8");
      text = utf8ToCp1252(in);
    }
    if (int rc = Mode(0)) return rc;
    {
      // The form would stop at the recipient; say which one is unknown.
      BulBrdRcrd scratch;
      const RecipientResult r = ResolveRecipients(ws_, Option("to"), scratch);
      if (r.none)
        return Fail(cli_exit::Error, "no recipient in --to \"" + ConsoleText(Option("to")) +
                                         "\": initials, group names or " + EveryoneWord(ws_));
      if (!r.ok)
        return Fail(cli_exit::Error, "unknown initials or group \"" + ConsoleText(r.badToken) + "\"");
    }
    ws_.form.FormCommand = NewEntryLetter(ws_);
    ws_.form.OpenRecordNumber = 0;
    ws_.form.PreselectedSlot = 0;
    EgressoForm form(ws_);
    form.FormShow();
    form.f.EmpIn = Option("to");
    form.f.ReturnTime = Option("subject");
    form.f.Location = text;
    form.OKbtnClick();
    const int rc = Outcome(form.saved(), "the message was not sent");
    if (rc == cli_exit::Ok) {
      // Only outside addresses: nobody here, and not everyone either.
      const BulBrdRcrd& sent = ws_.board.RecordBuffer;
      const std::string to = RecipientText(sent);
      out_ << "Message " << form.recordNumber() << " sent to "
           << ConsoleText(!to.empty() ? to : sent.toList(1) == "nul" ? Option("to") : EveryoneWord(ws_)) << ".\n";
    }
    return rc;
  }

  int Read() {
    const std::string& arg = p_.positional[0];
    int n = -1;
    const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), n);
    if (ec != std::errc() || end != arg.data() + arg.size() || n < 0)
      return Fail(cli_exit::Usage, "not a message number: \"" + arg + "\"");
    if (int rc = Mode(0)) return rc;
    // Only a message of this user's lists, as the window offers them.
    bool listed = false;
    EntryIdentity seen;
    {
      RecordFile file;
      if (file.open(ws_.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws_.files) == io::Ok &&
          n < file.recordCount()) {
        ClearRecord(ws_);
        ReadBoardRecord(ws_, n, "CLIRD");
        const BulBrdRcrd& rec = ws_.board.RecordBuffer;
        listed = !rec.who().empty() && rec.closed() == 0 &&
                 (rec.who() == ws_.ThisUser || IsAddressedTo(rec, ws_.ThisUser));
        seen = CurrentEntry(ws_, n);
      }
    }
    if (!listed) return Fail(cli_exit::Error, "no message " + arg + " for " + ws_.ThisUser);

    bool shown = false, marked = true, gone = false, unreadable = false;
    BoardHooks hooks;
    hooks.openForm = [&](char, int) {
      EgressoForm form(ws_);
      form.FormShow();
      if (form.entryGone()) {
        // Another workstation moved the message between the look and the lock.
        gone = true;
        form.CancelBtnClick();
        return false;
      }
      if (form.bodyUnreadable()) {
        // Headers over an empty text would pass for a message without one.
        unreadable = true;
        form.CancelBtnClick();
        return false;
      }
      const std::vector<std::string> lines = form.PrintLines();
      for (std::size_t i = 0; i < 3 && i < lines.size(); ++i) out_ << TerminalText(cp1252ToUtf8(lines[i])) << "\n";
      out_ << "\n" << BodyConsoleText(form.f.Location) << "\n";
      shown = true;
      // Closing the message is what counts it as read.
      form.CancelBtnClick();
      marked = form.saved() || !LockGaveUp();
      return false;
    };
    OpenEntry(ws_, n, false, false, false, hooks, nullptr, seen);
    if (gone) return Fail(cli_exit::Error, "message " + arg + " was changed or removed on another workstation");
    if (unreadable)
      return Fail(cli_exit::Error, "the text of message " + arg + " cannot be read (see above); nothing was shown");
    if (!shown) return Fail(cli_exit::Error, "message " + arg + " could not be opened");
    if (!marked) return Busy();
    ReportDialogs();
    return cli_exit::Ok;
  }

  Workstation& ws_;
  CollectedDialogs& dialogs_;
  const Parsed& p_;
  std::ostream& out_;
  std::ostream& err_;
  const DeadlineEvents& wait_;
};

}  // namespace

bool IsWriteCommand(std::string_view command) {
  for (const auto& s : Specs())
    if (command == s.name) return true;
  return false;
}

std::string CommandLineStationId() { return readStationId(); }

std::string WriteCommandsHelp() {
  return "Commands that change the board (as the board window does, under its locks;\n"
         "the user is the one of /TU=INITIALS):\n"
         "  out [--who INITIALS] [--to TEXT] [--abbrev NAME] [--date DATE] [--back TIME]\n"
         "                    sign an employee out (default: the user) to a\n"
         "                    destination, back on DATE at TIME. --to replaces the\n"
         "                    destination text; --abbrev takes a destination\n"
         "                    abbreviation of the form by its name (with its return\n"
         "                    time). DATE as in the form: T (today; so is any word\n"
         "                    beginning with T), +N (days from today, +1 tomorrow),\n"
         "                    +NW (working days), 24, 24 DEC, or a date as the office\n"
         "                    writes it (12/24/26). TIME: 1430, 2:30P, 9A (an hour up\n"
         "                    to 12 that has passed today is read as the afternoon)\n"
         "  in [--who INITIALS]  sign an employee back in (default: the user)\n"
         "  send --to RECIPIENTS [--subject TEXT] [--text TEXT | --text -]\n"
         "                    send a message from the user: initials and group\n"
         "                    names separated by commas, or ALL for everyone;\n"
         "                    --text - reads the text from standard input\n"
         "  read NUMBER       show message NUMBER (the number the messages command\n"
         "                    lists) and count it as read, as opening it does\n"
         "  Each of them takes --wait SECONDS: how long a lock held by another\n"
         "  workstation is waited for (default 10). A lock that passes from one\n"
         "  workstation to another meanwhile is waited for anew each time, up to\n"
         "  six times as long in all. Options may also be written\n"
         "  --name=VALUE. Without /TU=, out and in act as the employee of --who.\n"
         "  A user who signs in with a password types it when asked (no echo), or\n"
         "  gives it as the first line of standard input with --password-stdin.\n"
         "\n"
         "Exit codes: 0 done, 1 error (unknown initials, bad date or time, data\n"
         "folder, a file step that failed), 2 usage, 3 a lock stayed busy for the\n"
         "whole wait, 128 + N stopped by signal N (locks released first).\n";
}

int RunWriteCommand(const std::vector<std::string>& args, const std::string& programFolder, Platform platform,
                    std::ostream& out, std::ostream& err) {
  Parsed p;
  std::string error;
  if (args.empty() || !ParseArgs(args, p, error)) {
    err << "egresso-cli: " << (args.empty() ? std::string("no command") : error)
        << " (egresso-cli --help lists the commands)\n";
    return cli_exit::Usage;
  }
  // Out and in for an employee without /TU= are made by that employee.
  if (!HasUserSwitch(p.switches) && (p.command == "out" || p.command == "in") && p.options.contains("who"))
    p.switches.push_back("/TU=" + p.options.at("who"));

  CollectedDialogs dialogs;
  NoLockAlert alert;
  HeldSignals signals;
  DeadlineEvents events(*platform.clock, platform.events, static_cast<std::int64_t>(p.waitSeconds) * 1000, signals);
  platform.dialogs = &dialogs;
  platform.events = &events;
  platform.lockAlert = &alert;
  Workstation ws(platform);
  events.follow(ws.locks);
  Command command(ws, dialogs, p, out, err, events);

  if (!LoadViewer(ws, programFolder, p.switches, error, true)) return command.Fail(cli_exit::Error, error);
  // A folder without the office's configuration is not a data folder: no
  // board files are started in it.
  if (!fileExists(ws.paths.MainConfigPath))
    return command.Fail(cli_exit::Error, "no data folder: " + ws.paths.MainConfigPath + " is missing");
  if (ws.ThisUser.empty()) return command.Fail(cli_exit::Usage, "no user: give /TU=INITIALS");
  if (ws.UserSlot < 1)
    return command.Fail(cli_exit::Error,
                        "unknown initials \"" + ConsoleText(ws.ThisUser) + "\": not in the employee table");
  // The program lets this user in only with the password.
  int sig = 0;
  if (const std::string refused = PasswordRefusal(ws, p.passwordStdin, err, sig); !refused.empty())
    return command.Fail(sig != 0 ? 128 + sig : cli_exit::Error, refused + "; nothing was changed");
  ws.StationId = CommandLineStationId();

  // Whatever ends the command, no lock file of it stays behind.
  int rc = cli_exit::Error;
  std::string stopped;
  try {
    rc = command.Run();
  } catch (const std::bad_alloc&) {
    stopped = "out of memory";
  } catch (const std::exception& e) {
    stopped = e.what();
  } catch (...) {
    stopped = "an unexpected failure";
  }
  ReleaseAllLocks(ws);
  if (!stopped.empty()) {
    rc = command.Fail(cli_exit::Error, "stopped by " + stopped + "; what was not yet written was not changed");
  } else if (rc == cli_exit::Ok && command.StepFailed()) {
    rc = command.StepFailure();
  }
  if (const int sig = signals.take()) {
    command.Fail(cli_exit::Error, std::string("stopped by signal ") + sigabbrev_np(sig) + " after the locks were released" +
                                      (rc == cli_exit::Ok ? " (the change had been made)" : "; nothing more was changed"));
    rc = 128 + sig;
  }
  return rc;
}

}  // namespace egresso
