// One workstation of the load test in its own process: for a given time it
// signs its user out and in, saves messages to random recipients (single
// employees, several, a group, now and then everyone), reads the messages
// addressed to it and takes its notification letters as the host timer
// does, each at random from a logged seed. Every step goes through the
// routines the board and the form use, and every step is written to the log
// so that the test can check the folder against it afterwards.
//
// Usage: egresso_load_station_child FOLDER USER SECONDS SEED NOTICES LOG
//
// Log lines (times are milliseconds of the system clock):
//   SEED s
//   OUT ok|fail                      signing out through the form
//   IN ok|busy|refused|skip          signing in on the board
//   SEND t_before record subject RCPT,RCPT,...   (record -1: not saved)
//   READ record ok|fail
//   TAKE t_end letters               letters taken from the notification file
//   TIME kind count milliseconds     at the end: how long each kind of step took
//   DONE
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/form.h"
#include "messages/form_rules.h"
#include "platform/console_platform.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "storage/notify_file.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "support/child_station.h"

namespace {

using namespace egresso;

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class Station {
 public:
  Station(Workstation& ws, std::FILE* log, unsigned seed) : ws_(ws), log_(log), rng_(seed) {}

  void SignOut(int k) {
    FormWithRequest(1, ' ', 0);
    EgressoForm form(ws_);
    form.FormShow();
    form.f.ReturnDate = FormatDay(ws_, ws_.Today + Pick(0, 3));
    form.f.ReturnTime = FormatTime(ws_, 100 * Pick(8, 17) + 15 * Pick(0, 3), true, true, 0);
    form.f.Location = "Visit " + std::to_string(k);
    form.OKbtnClick();
    Log("OUT %s\n", form.closed() ? "ok" : "fail");
  }

  void SignIn() {
    FormWithRequest(1, ' ', 0);
    ClearRecord(ws_);
    ReadBoardRecord(ws_, ws_.UserSlot, "LOAD");
    const BulBrdRcrd& r = ws_.board.RecordBuffer;
    if (r.who() != ws_.ThisUser || r.closed() != 0) return Log("IN skip\n");
    const CloseResult c = CloseEntry(ws_, ws_.UserSlot, BoardSource::List);
    Log("IN %s\n", c == CloseResult::Closed ? "ok" : c == CloseResult::LockBusy ? "busy" : "refused");
  }

  void Send(int k) {
    std::string to;
    const int kind = Pick(0, 19);
    if (kind == 0) {
      to = EveryoneWord(ws_);
    } else if (kind <= 5) {
      to = ws_.mcfg.groupName(Pick(1, 2));
    } else {
      const int n = kind <= 14 ? 1 : Pick(2, 4);
      for (int i = 0; i < n; ++i) to += (i ? "," : "") + ws_.mcfg.empInitials(Pick(1, 16));
    }
    const std::string subject = ws_.ThisUser + "-" + std::to_string(k);
    FormWithRequest(0, ' ', 0);
    EgressoForm form(ws_);
    form.FormShow();
    form.f.EmpIn = to;
    form.f.ReturnTime = subject;
    form.f.Location = "Body of " + subject;
    const long long before = NowMs();
    form.OKbtnClick();
    const BulBrdRcrd& r = ws_.board.RecordBuffer;
    std::string rcpt;
    const bool toAll = r.toList(1).empty();
    for (int i = 1; i <= brd::Slots; ++i) {
      const std::string who = toAll ? ws_.mcfg.empInitials(i) : r.toList(i);
      if (who.empty() || who == "nul") continue;
      rcpt += (rcpt.empty() ? "" : ",") + who;
    }
    const int record = form.closed() ? form.recordNumber() : -1;
    Log("SEND %lld %d %s %s\n", before, record, subject.c_str(), rcpt.c_str());
  }

  // Opens one unread message addressed to this user and saves it read.
  void Read() {
    FormWithRequest(0, ' ', 0);
    std::vector<int> unread;
    {
      RecordFile f;
      if (f.open(ws_.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) != io::Ok) return;
      const std::int64_t n = f.recordCount();
      std::vector<std::uint8_t> all(static_cast<std::size_t>(n) * brd::Size);
      const std::int64_t got = n > 0 ? f.readRecords(0, all) : 0;
      for (std::int64_t i = 0; i < got; ++i) {
        const BoardRecordView v{all.data() + i * brd::Size};
        if (v.closed() == 0 && v.who() != ws_.ThisUser && IsAddressedTo(v, ws_.ThisUser) &&
            (v.readMark(ws_.UserSlot) & 1) == 0)
          unread.push_back(static_cast<int>(i));
      }
    }
    if (unread.empty()) return;
    const int n = unread[static_cast<std::size_t>(Pick(0, static_cast<int>(unread.size()) - 1))];
    FormWithRequest(0, kOpenRecordCommand, n);
    EgressoForm form(ws_);
    form.FormShow();
    form.f.ReadBtn = true;
    form.OKbtnClick();
    Log("READ %d %s\n", n, form.closed() ? "ok" : "fail");
  }

  // The host timer's look at the notification file.
  void Take() {
    std::string letters;
    for (const auto& t : TakeOwnNotifyTexts(ws_)) letters += t;
    if (!letters.empty()) Log("TAKE %lld %s\n", NowMs(), letters.c_str());
  }

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  template <typename... A>
  void Log(const char* format, A... a) {
    std::fprintf(log_, format, a...);
    std::fflush(log_);
  }

 private:
  void FormWithRequest(int listMode, char command, int record) {
    ws_.ListMode = listMode;
    ws_.ArchiveView = false;
    SelectBoardFiles(ws_);
    ws_.form.FormCommand = command;
    ws_.form.OpenRecordNumber = record;
    ws_.form.PreselectedSlot = 0;
  }

  Workstation& ws_;
  std::FILE* log_;
  std::mt19937 rng_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s FOLDER USER SECONDS SEED NOTICES LOG\n", argv[0]);
    return 2;
  }
  ConsolePlatform console;
  Workstation ws(console.platform());
  ws.paths.NoticesPath = argv[5];
  if (!test::SetUpChildStation(ws, argv[1], argv[2], std::string("load-") + argv[2]) || !LoadNotices(ws)) return 3;
  ws.Today = DayNumber(ws.platform.clock->now());
  std::FILE* log = std::fopen(argv[6], "w");
  if (log == nullptr) return 4;
  const unsigned seed = static_cast<unsigned>(std::stoul(argv[4]));
  Station s(ws, log, seed);
  s.Log("SEED %u\n", seed);
  const long long end = NowMs() + 1000LL * std::stoi(argv[3]);
  std::map<std::string, std::pair<int, long long>> spent;
  for (int k = 0; NowMs() < end; ++k) {
    const int action = s.Pick(0, 99);
    const long long start = NowMs();
    const char* kind = action < 20 ? "OUT" : action < 35 ? "IN" : action < 65 ? "SEND" : action < 90 ? "READ" : "TAKE";
    if (action < 20) s.SignOut(k);
    else if (action < 35) s.SignIn();
    else if (action < 65) s.Send(k);
    else if (action < 90) s.Read();
    else s.Take();
    auto& [count, ms] = spent[kind];
    ++count;
    ms += NowMs() - start;
  }
  for (const auto& [kind, t] : spent) s.Log("TIME %s %d %lld\n", kind.c_str(), t.first, t.second);
  s.Log("DONE\n");
  std::fclose(log);
  return 0;
}
