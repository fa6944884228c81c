// Sixteen workstations, each in its own process, working on one data folder
// at once for a while: signing out and in, saving messages to employees and
// groups, reading them and taking their notification letters. Afterwards
// the folder is checked against what every workstation logged: every record
// decodes, every message saved is there once with its recipients and body,
// every read mark stayed, every recipient got a letter after its last
// message, and no lock is left. It runs on the Samba share of the test
// script when EGRESSO_SHARE_DIR names one, else on a local folder;
// EGRESSO_LOAD_SECONDS sets the time (default 120 on the share, 10 locally).
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "board/board_world.h"
#include "storage/notify_file.h"
#include "support/child_process.h"
#include "support/share_folder.h"

extern char** environ;

namespace egresso {
namespace {

constexpr int kStations = 16;

std::string Initials(int i) { return (i < 10 ? "S0" : "S") + std::to_string(i); }

// What one workstation's log says.
struct StationLog {
  bool done = false;
  std::map<std::string, int> ops;  // "OUT ok", "READ ok", ...
  struct Sent {
    long long before = 0;
    int record = -1;
    std::string subject;
    std::vector<std::string> to;
  };
  std::vector<Sent> sent;
  std::vector<int> read;
  std::vector<std::pair<long long, std::string>> takes;
  std::map<std::string, std::pair<int, long long>> spent;  // kind: steps, milliseconds
};

StationLog ReadLog(const std::filesystem::path& p) {
  StationLog log;
  std::ifstream in(p);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string kind;
    s >> kind;
    if (kind == "DONE") log.done = true;
    if (kind == "TIME") {
      std::string what;
      int count = 0;
      long long ms = 0;
      s >> what >> count >> ms;
      log.spent[what] = {count, ms};
    }
    if (kind == "OUT" || kind == "IN" || kind == "READ") {
      std::string result;
      if (kind == "READ") {
        int n = 0;
        s >> n >> result;
        if (result == "ok") log.read.push_back(n);
      } else {
        s >> result;
      }
      ++log.ops[kind + " " + result];
    } else if (kind == "SEND") {
      StationLog::Sent m;
      std::string to;
      s >> m.before >> m.record >> m.subject >> to;
      std::stringstream list(to);
      for (std::string who; std::getline(list, who, ',');) m.to.push_back(who);
      log.sent.push_back(m);
      ++log.ops[m.record >= 0 ? "SEND ok" : "SEND fail"];
    } else if (kind == "TAKE") {
      long long at = 0;
      std::string letters;
      s >> at >> letters;
      log.takes.emplace_back(at, letters);
      ++log.ops["TAKE"];
    }
  }
  return log;
}

pid_t StartStation(const std::filesystem::path& folder, int i, int seconds, unsigned seed,
                   const std::filesystem::path& log, const std::filesystem::path& errors) {
  const std::string program = test::ChildProgram("load_station_child");
  std::vector<std::string> args = {program,
                                   folder.string(),
                                   Initials(i),
                                   std::to_string(seconds),
                                   std::to_string(seed),
                                   std::string(EGRESSO_SOURCE_DIR) + "/data/NOTICES.TXT",
                                   log.string()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Whatever a workstation would have shown the user goes to its error file.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

int EnvSeconds(int fallback) {
  const char* v = std::getenv("EGRESSO_LOAD_SECONDS");
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

// Every record of a board file and its index decodes: strings within their
// fields, one index entry per record agreeing with it.
void ExpectBoardFileDecodes(const test::BoardWorld& w, const std::string& name, bool messages) {
  const std::string data = test::readFile(w.dir / (name + ".DAF"));
  const std::string index = test::readFile(w.dir / (name + ".DAI"));
  ASSERT_EQ(data.size() % brd::Size, 0u) << name;
  ASSERT_EQ(index.size(), data.size() / brd::Size * brd::IndexSize) << name;
  for (std::size_t n = 0; n * brd::Size < data.size(); ++n) {
    const BoardRecordView v{reinterpret_cast<const std::uint8_t*>(data.data()) + n * brd::Size};
    const auto length = [&](std::size_t off) { return v.p[off]; };
    bool fieldsFit = length(brd::Who) <= 3 && length(brd::Headline) <= 60 && length(brd::EnteredBy) <= 3;
    for (int slot = 1; slot <= brd::Slots; ++slot) fieldsFit = fieldsFit && length(brd::ToList + 4 * (slot - 1)) <= 3;
    EXPECT_TRUE(fieldsFit) << name << " record " << n;
    const BoardIndexEntry e = BoardIndexEntry::decode(
        ConstBytes(reinterpret_cast<const std::uint8_t*>(index.data()) + n * brd::IndexSize, brd::IndexSize));
    EXPECT_EQ(e.Key, messages ? v.madeDay() : v.returnDay()) << name << " index " << n;
    EXPECT_EQ(e.closed(), v.closed() != 0) << name << " index " << n;
  }
}

void SixteenWorkstations(const std::string& base, int seconds) {
  test::BoardWorld w("S01", base);
  // Sixteen employees, two overlapping groups.
  for (int i = 1; i <= kStations; ++i) {
    w.ws.mcfg.setEmpInitials(i, Initials(i));
    w.ws.mcfg.setEmpName(i, "Station " + std::to_string(i));
  }
  w.ws.mcfg.setStr(mcfg::GroupNames, 3, "GRA");
  w.ws.mcfg.setStr(mcfg::GroupNames + 4, 3, "GRB");
  for (int m = 0; m < 8; ++m) {
    w.ws.mcfg.setStr(mcfg::GroupMembers + 4 * m, 3, Initials(1 + m));
    w.ws.mcfg.setStr(mcfg::GroupMembers + 60 + 4 * m, 3, Initials(5 + m));
  }
  // A lock whose holder went away is broken after half a minute, as an
  // office that runs unattended workstations sets it.
  w.ws.mcfg.setI16(mcfg::LockTimeout, 30);
  // The journal on, as an office keeps it: every sign-out and sign-in
  // appends to INOUT<initials>.DAF through the share.
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  const std::string configBefore = test::readFile(w.ws.paths.MainConfigPath);
  w.allIn();
  std::filesystem::create_directory(w.dir / "LOGS");

  const unsigned seed = static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count() % 1000000);
  std::cout << "load: " << kStations << " workstations for " << seconds << " s on " << w.dir.str() << ", seed "
            << seed << " (station i uses seed + i)" << std::endl;
  const auto start = std::chrono::steady_clock::now();
  test::MountWatch watch(w.dir.str());
  std::vector<pid_t> children;
  for (int i = 1; i <= kStations; ++i)
    children.push_back(StartStation(w.dir.path(), i, seconds, seed + static_cast<unsigned>(i),
                                    w.dir / "LOGS" / (Initials(i) + ".log"), w.dir / "LOGS" / (Initials(i) + ".err")));
  // A station stuck in a call the mount never answers is ended after a
  // generous grace; whether that was the mount's doing is judged below.
  const auto deadline = start + std::chrono::seconds(seconds + 150);
  std::vector<int> statuses(children.size(), -1);
  for (std::size_t left = children.size(); left > 0;) {
    left = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
      if (children[i] == 0 || statuses[i] != -1) continue;
      int status = 0;
      if (waitpid(children[i], &status, WNOHANG) == children[i])
        statuses[i] = status;
      else
        ++left;
    }
    if (left > 0 && std::chrono::steady_clock::now() > deadline) {
      for (std::size_t i = 0; i < children.size(); ++i)
        if (children[i] != 0 && statuses[i] == -1) ::kill(children[i], SIGKILL);
    }
    if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  watch.stop();
  // The program never writes in a way that makes the mount give up the
  // folder: a folder that went away fails the run.
  const std::string mountLost = watch.lost();
  EXPECT_EQ(mountLost, "") << "the folder went away during the run";
  for (std::size_t i = 0; i < children.size(); ++i) {
    ASSERT_NE(children[i], 0) << "station " << i + 1 << " not started";
    EXPECT_TRUE(WIFEXITED(statuses[i]) && WEXITSTATUS(statuses[i]) == 0)
        << "station " << i + 1 << " status " << statuses[i];
  }

  std::map<std::string, StationLog> logs;
  std::map<std::string, int> totals;
  std::map<std::string, std::pair<int, long long>> spent;
  for (int i = 1; i <= kStations; ++i) {
    const std::string who = Initials(i);
    logs[who] = ReadLog(w.dir / "LOGS" / (who + ".log"));
    EXPECT_TRUE(logs[who].done) << who << " did not finish its log";
    for (const auto& [op, n] : logs[who].ops) totals[op] += n;
    for (const auto& [kind, t] : logs[who].spent) {
      spent[kind].first += t.first;
      spent[kind].second += t.second;
    }
    // A workstation shows the user nothing when all goes well.
    const std::string shown = test::readFile(w.dir / "LOGS" / (who + ".err"));
    EXPECT_TRUE(shown.empty()) << who << " showed:\n" << shown.substr(0, 2000);
    // One journal line for each sign-out and sign-in that went through
    // (the lines of a sign-out's text are indented below its own).
    int journalLines = 0;
    std::istringstream journal(test::readFile(w.dir / ("INOUT" + who + ".DAF")));
    for (std::string line; std::getline(journal, line);) journalLines += !line.empty() && !line.starts_with("    ");
    EXPECT_EQ(journalLines, logs[who].ops["OUT ok"] + logs[who].ops["IN ok"]) << who << "'s journal";
  }

  // Every file decodes; the configuration is as it was.
  w.mode(0);
  ExpectBoardFileDecodes(w, "LOCATE", false);
  ExpectBoardFileDecodes(w, "MESSAGE", true);
  EXPECT_EQ(test::readFile(w.ws.paths.MainConfigPath), configBefore);

  // Every message saved is there once, with its recipients and its body.
  RecordFile messages;
  ASSERT_EQ(messages.open(w.dir / "MESSAGE.DAF", brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()), io::Ok);
  std::map<std::string, int> recordOf;
  for (std::int64_t n = 0; n < messages.recordCount(); ++n) {
    BulBrdRcrd r;
    ASSERT_EQ(messages.read(n, r.bytes), io::Ok);
    EXPECT_TRUE(recordOf.emplace(r.headline(), static_cast<int>(n)).second) << "twice: " << r.headline();
  }
  std::map<std::string, int> sentTo, receivedBy;
  std::map<std::string, long long> lastSentTo;
  int saved = 0;
  for (const auto& [from, log] : logs) {
    for (const auto& m : log.sent) {
      if (m.record < 0) continue;
      ++saved;
      auto at = recordOf.find(m.subject);
      if (at == recordOf.end()) {
        ADD_FAILURE() << "message lost: " << m.subject;
        continue;
      }
      EXPECT_EQ(at->second, m.record) << m.subject;
      BulBrdRcrd r;
      messages.read(at->second, r.bytes);
      EXPECT_EQ(r.who(), from) << m.subject;
      EXPECT_EQ(ReadBodyText(BodyFilePath(w.ws, BoardSet::Messages, at->second), PosixFileOps()), "Body of " + m.subject);
      for (const auto& to : m.to) {
        EXPECT_TRUE(IsAddressedTo(r, to)) << m.subject << " to " << to;
        if (to == from) continue;
        ++sentTo[to];
        lastSentTo[to] = std::max(lastSentTo[to], m.before);
      }
    }
  }
  EXPECT_EQ(recordOf.size(), static_cast<std::size_t>(saved)) << "messages in the file beside messages saved";
  for (int n = 0; n < messages.recordCount(); ++n) {
    BulBrdRcrd r;
    messages.read(n, r.bytes);
    for (int i = 1; i <= kStations; ++i)
      if (r.who() != Initials(i) && IsAddressedTo(r, Initials(i))) ++receivedBy[Initials(i)];
  }
  EXPECT_EQ(sentTo, receivedBy) << "messages sent to each beside messages in each one's list";

  // Every message read stays read.
  int reads = 0;
  for (int i = 1; i <= kStations; ++i) {
    for (int n : logs[Initials(i)].read) {
      BulBrdRcrd r;
      messages.read(n, r.bytes);
      EXPECT_NE(r.readMark(i) & 1, 0) << Initials(i) << " read message " << n << " but its mark was lost";
      ++reads;
    }
  }

  // Letters: a letter already waiting is not put in again, so each
  // recipient must have taken an "M" after its last message was about to be
  // saved, or find one still waiting in its file.
  int letters = 0;
  for (const auto& [to, last] : lastSentTo) {
    bool arrived = false;
    for (const auto& [at, text] : logs[to].takes) {
      letters += static_cast<int>(std::count(text.begin(), text.end(), 'M'));
      arrived = arrived || (at >= last && text.find('M') != std::string::npos);
    }
    std::vector<std::string> waiting;
    ReadNotifyTexts(PosixFileOps(), (w.dir / ("TIMER." + to)).string(), waiting);
    for (const auto& t : waiting) arrived = arrived || t.find('M') != std::string::npos;
    EXPECT_TRUE(arrived) << to << ": no letter after its last message (sent at " << last << ")";
  }

  // No lock and no claimed notification file left.
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path())) {
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
    EXPECT_NE(e.path().extension(), ".RD") << e.path();
  }

  std::cout << "load: " << elapsed << " s;";
  for (const auto& [op, n] : totals) std::cout << " " << op << " " << n << ";";
  std::cout << " messages saved " << saved << ", read marks checked " << reads << ", letters taken " << letters
            << std::endl;
  std::cout << "load: mean milliseconds a step took:";
  for (const auto& [kind, t] : spent) std::cout << " " << kind << " " << (t.first ? t.second / t.first : 0) << ";";
  std::cout << std::endl;
  EXPECT_GT(totals["SEND ok"], 0);
  EXPECT_GT(totals["READ ok"], 0);
  EXPECT_GT(totals["OUT ok"], 0);
  EXPECT_GT(totals["IN ok"], 0);
  if (::testing::Test::HasFailure()) {
    const std::string kept = "/tmp/egresso-load-logs-" + std::to_string(seed);
    std::error_code ec;
    std::filesystem::copy(w.dir / "LOGS", kept, std::filesystem::copy_options::recursive, ec);
    std::cout << "load: the workstations' logs are kept in " << kept << std::endl;
  }
}

TEST(Load, SixteenWorkstationsOnOneFolder) {
  const std::string share = test::ShareFolder();
  SixteenWorkstations(share, EnvSeconds(share.empty() ? 10 : 120));
  if (!share.empty() && ::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
