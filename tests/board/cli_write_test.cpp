// The writing commands of the command-line companion: in this process with
// the scripted platform (its clock stands still, so a record made here and
// one made by the form can be compared byte for byte), and the real program
// as a separate process next to a workstation of this one.
#include "board/cli_write.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <sstream>

#include "board/cli.h"
#include "messages/form_world.h"
#include "platform/console_platform.h"
#include "storage/locks.h"
#include "storage/text.h"
#include "support/share_folder.h"

namespace egresso {
namespace {

using test::FormWorld;

struct Result {
  int code = -1;
  std::string out, err;
};

// A world with a second group, so a member can be named by two groups; in
// base (a file share) when given.
struct CliWorld : FormWorld {
  explicit CliWorld(const std::filesystem::path& base = {}) : FormWorld("ANN", base) {
    ws.mcfg.setStr(mcfg::GroupNames + 4, 3, "MGT");
    ws.mcfg.setStr(mcfg::GroupMembers + 60, 3, "BOB");
    ws.mcfg.setStr(mcfg::GroupMembers + 64, 3, "DAN");
    saveConfig();
  }
  Result run(std::vector<std::string> args) {
    if (std::none_of(args.begin(), args.end(), [](const std::string& a) { return a.starts_with("/MD="); }))
      args.push_back("/MD=" + dir.str());
    std::ostringstream out, err;
    Result r;
    r.code = RunWriteCommand(args, EGRESSO_PROGRAM_DIR, fake.platform(), out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
  }
  std::string record(const std::string& file, int n) const {
    return test::readFile(dir / file).substr(static_cast<std::size_t>(n) * brd::Size, brd::Size);
  }
  BulBrdRcrd location(int slot) {
    mode(1);
    ClearRecord(ws);
    ReadBoardRecord(ws, slot, "T");
    return ws.board.RecordBuffer;
  }
  BulBrdRcrd message(int n) {
    mode(0);
    ClearRecord(ws);
    ReadBoardRecord(ws, n, "T");
    return ws.board.RecordBuffer;
  }
  std::string allTimers() const {
    std::string all;
    for (const char* who : {"ANN", "BOB", "CLA", "DAN", "EVA"}) all += std::string(who) + ":" + timer(who) + " ";
    return all;
  }
  void clearTimers() {
    for (const char* who : {"ANN", "BOB", "CLA", "DAN", "EVA"}) std::filesystem::remove(dir / ("TIMER." + std::string(who)));
  }
};

std::string Letter(const Workstation& ws) { return std::to_string(ws.Today) + "M"; }

TEST(CommandLineWrites, SendToGroupsIsTheFormsMessageWithOneLetterPerMember) {
  CliWorld w;
  // BOB is in both groups and named on his own; OLD left the company.
  const Result r = w.run({"send", "--to", "SAL,MGT,bob", "--subject", "Budget", "--text", "First line\nsecond", "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Message 0 sent to BOB,CLA,DAN.\n");
  const std::string letters = w.allTimers();
  EXPECT_EQ(letters, "ANN: BOB:" + Letter(w.ws) + " CLA:" + Letter(w.ws) + " DAN:" + Letter(w.ws) + " EVA: ");

  // The same message saved through the form: the same letters, and record,
  // index entry and body alike to the byte.
  w.clearTimers();
  const int formNumber = FormWorld::send(w.ws, "SAL,MGT,bob", "Budget", "First line\r\nsecond");
  ASSERT_EQ(formNumber, 1);
  EXPECT_EQ(w.allTimers(), letters);
  EXPECT_EQ(w.record("MESSAGE.DAF", 0), w.record("MESSAGE.DAF", 1));
  const std::string index = test::readFile(w.dir / "MESSAGE.DAI");
  ASSERT_EQ(index.size(), 6u);
  EXPECT_EQ(index.substr(0, 3), index.substr(3, 3));
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/0.DA0"), "First line\r\nsecond");
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/0.DA0"), test::readFile(w.dir / "BULLETIN/1.DA0"));

  // Both are in each member's list and in nobody else's.
  for (const std::string user : {"BOB", "CLA", "DAN", "EVA"}) {
    Workstation viewer(w.fake.platform());
    std::string error;
    ASSERT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/MD=" + w.dir.str(), "/TU=" + user}, error)) << error;
    std::string list;
    for (const auto& l : MessageListing(viewer)) list += l + "\n";
    const bool member = user != "EVA";
    EXPECT_EQ(list.find("Budget") != std::string::npos, member) << user << "\n" << list;
    EXPECT_EQ(list.find("00000") != std::string::npos && list.find("00001") != std::string::npos, member) << user;
  }

  // Everyone: every employee but the sender gets a letter.
  w.clearTimers();
  ASSERT_EQ(w.run({"send", "--to=ALL", "--subject=Fire drill at ten", "/TU=ANN"}).code, 0);
  EXPECT_EQ(w.allTimers(), "ANN: BOB:" + Letter(w.ws) + " CLA:" + Letter(w.ws) + " DAN:" + Letter(w.ws) +
                               " EVA:" + Letter(w.ws) + " ");
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/2.DA0"), "Fire drill at ten") << "the subject is the text";
}

TEST(CommandLineWrites, OutAndInAsTheBoardAndTheFormDo) {
  CliWorld w;  // 9:00 on the scripted clock
  Result r = w.run({"out", "--who", "BOB", "--to", "Lunch at Joe's", "--back", "2:30P", "--date", "+1", "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  BulBrdRcrd bob = w.location(2);
  EXPECT_EQ(bob.closed(), 0);
  EXPECT_EQ(bob.who(), "BOB");
  EXPECT_EQ(bob.enteredBy(), "ANN");
  EXPECT_EQ(bob.headline(), "Lunch at Joe's");
  EXPECT_EQ(bob.returnDay(), w.ws.Today + 1);
  EXPECT_EQ(bob.returnAt(), 1430);
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/2.DA1"), "Lunch at Joe's");
  EXPECT_FALSE(w.index("LOCATE.DAI", 2).closed());

  // The form's reading of a time: an hour that has passed today is the
  // afternoon's. Without /TU= the employee signs out himself.
  r = w.run({"out", "--who", "cla", "--to", "Dentist", "--back", "8", "--date", "T"});
  ASSERT_EQ(r.code, 0) << r.err;
  BulBrdRcrd cla = w.location(3);
  EXPECT_EQ(cla.returnAt(), 2000);
  EXPECT_EQ(cla.returnDay(), w.ws.Today);
  EXPECT_EQ(cla.enteredBy(), "CLA");

  // A destination abbreviation of the office, by its name: back in an hour.
  test::writeFile(w.dir / "PLACE.DAF", "Meeting@1100!\r\nLunch<60>\r\n");
  r = w.run({"out", "--who", "DAN", "--abbrev", "lunch", "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(TrimText(w.location(4).headline()), "Lunch");
  EXPECT_EQ(w.location(4).returnAt(), 1000);

  // Back in, and once more: the second changes nothing.
  r = w.run({"in", "--who", "BOB", "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "BOB in.\n");
  EXPECT_TRUE(w.index("LOCATE.DAI", 2).closed());
  const std::string after = test::readFile(w.dir / "LOCATE.DAF");
  r = w.run({"in", "--who", "BOB", "/TU=ANN"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "BOB is in already.\n");
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF"), after);
}

TEST(CommandLineWrites, RefusalsSayWhyAndChangeNothing) {
  CliWorld w;
  const int message = FormWorld::send(w.ws, "BOB", "Budget", "Numbers");
  ASSERT_EQ(message, 0);
  const std::string locations = test::readFile(w.dir / "LOCATE.DAF");
  const std::string messages = test::readFile(w.dir / "MESSAGE.DAF");
  test::TempDir empty;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string says;
  };
  const std::vector<Case> cases = {
      {{"out", "--who", "XYZ", "--to", "x", "--back", "3P"}, 1, "unknown initials \"XYZ\""},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "31/31/26"}, 1, "not a return date: \"31/31/26\""},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "-1"}, 1, "That return date is in the past."},
      {{"out", "--who", "BOB", "--to", "x", "--back", "soon"}, 1, "not a return time: \"soon\""},
      {{"out", "--who", "BOB", "--to", "x"}, 1, "Please enter the return date and time."},
      {{"out", "--who", "BOB", "--to", "", "--back", "3P"}, 1, "Please say where you are going."},
      {{"out", "--who", "BOB", "--abbrev", "Golf", "--back", "3P"}, 1, "no destination abbreviation \"GOLF\""},
      {{"send", "--to", "BOB,QQ", "--subject", "x", "/TU=ANN"}, 1, "unknown initials or group \"QQ\""},
      {{"send", "--to", "BOB", "--subject", "x", "/TU=ZZZ"}, 1, "unknown initials \"ZZZ\""},
      {{"send", "--to", "BOB", "--subject", "x"}, 2, "/TU="},
      {{"send", "--to", "BOB", "/TU=ANN"}, 2, "--subject or --text"},
      {{"read", "7", "/TU=BOB"}, 1, "no message 7 for BOB"},
      {{"read", "0", "/TU=EVA"}, 1, "no message 0 for EVA"},
      {{"read", "first", "/TU=BOB"}, 2, "not a message number"},
      {{"read", "/TU=BOB"}, 2, "needs one message number"},
      {{"in", "--who", "BOB", "--wait", "soon"}, 2, "--wait"},
      {{"in", "--who", "BOB", "--subject", "x"}, 2, "in takes no --subject"},
      {{"in", "/MD=" + w.dir.str(), "--who"}, 2, "--who needs a value"},
      {{"in", "--who", "BOB", "/MD=" + w.dir.str() + "/gone"}, 1, "no such folder"},
      {{"in", "--who", "BOB", "/MD=" + empty.str()}, 1, "CFGMAIN.DAF is missing"},
  };
  for (const auto& c : cases) {
    const Result r = w.run(c.args);
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(r.code, c.code) << line << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << line << "\n" << r.err;
    EXPECT_EQ(r.out, "") << line;
  }
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF"), locations);
  EXPECT_EQ(test::readFile(w.dir / "MESSAGE.DAF"), messages);
  EXPECT_TRUE(std::filesystem::is_empty(empty.path())) << "nothing started in a folder that is not a data folder";
  EXPECT_FALSE(std::filesystem::exists(w.dir / "gone"));
}

TEST(CommandLineWrites, ABusyLockIsWaitedForThenGivenUp) {
  CliWorld w;
  auto dan = w.other("DAN");
  dan->StationId = "DESK-DAN";
  ASSERT_TRUE(AcquireLock(*dan, "LOCATELK", "TEST"));
  const std::string before = test::readFile(w.dir / "LOCATE.DAF");
  const std::int64_t start = w.fake.clock.mono;
  Result r = w.run({"out", "--who", "BOB", "--to", "Bank", "--back", "3P", "--wait", "2", "/TU=BOB"});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_NE(r.err.find("LOCATELK.LOK stayed busy for 2 s, held by DAN (station DESK-DAN)"), std::string::npos) << r.err;
  EXPECT_GE(w.fake.clock.mono - start, 2000);
  EXPECT_LT(w.fake.clock.mono - start, 3000) << "gave up at the end of the wait";
  EXPECT_EQ(w.run({"out", "--who", "CLA", "--to", "x", "--back", "3P", "--wait", "0"}).code, 3);
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF"), before);
  ReleaseLock(*dan, "LOCATELK");
  EXPECT_EQ(w.run({"out", "--who", "BOB", "--to", "Bank", "--back", "3P", "--wait", "2", "/TU=BOB"}).code, 0);

  // The message board's lock, for sending and for counting a message read.
  const int n = FormWorld::send(w.ws, "BOB", "Budget", "Numbers");
  ASSERT_TRUE(AcquireLock(*dan, "MEMOLK", "TEST"));
  r = w.run({"send", "--to", "CLA", "--subject", "x", "--wait", "1", "/TU=BOB"});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_NE(r.err.find("MEMOLK.LOK"), std::string::npos) << r.err;
  r = w.run({"read", std::to_string(n), "--wait", "1", "/TU=BOB"});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_NE(r.out.find("Numbers"), std::string::npos) << "shown, but not counted read";
  EXPECT_EQ(w.message(n).readMark(2), 0);
  ReleaseLock(*dan, "MEMOLK");
}

TEST(CommandLineWrites, ReadShowsTheMessageAndCountsItReadAsOpeningItDoes) {
  CliWorld w;
  const int n = FormWorld::send(w.ws, "BOB,CLA", "Budget", "Numbers for Monday\r\n\r\nAnn");
  Result r = w.run({"read", std::to_string(n), "/TU=BOB"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "From: ANN (7 DEC 26, 9:00A)\nTo: BOB,CLA\nSubject: Budget\n\nNumbers for Monday\n\nAnn\n");
  BulBrdRcrd m = w.message(n);
  EXPECT_EQ(m.readMark(2), 1);
  EXPECT_EQ(m.readMark(3), 0) << "only the reader's mark";
  EXPECT_EQ(m.readTime(), 900);

  Workstation viewer(w.fake.platform());
  std::string error;
  ASSERT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/MD=" + w.dir.str(), "/TU=BOB"}, error)) << error;
  const auto lines = MessageListing(viewer);
  const auto oldLabel = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.empty(); });
  ASSERT_NE(oldLabel, lines.end());
  EXPECT_NE(std::find_if(oldLabel, lines.end(), [](const std::string& l) { return l.find("Budget") == 0; }),
            lines.end())
      << "in the list of messages read";

  // The sender reads it without counting it read for anybody.
  const std::string before = w.record("MESSAGE.DAF", n);
  r = w.run({"read", std::to_string(n), "/TU=ANN"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(w.record("MESSAGE.DAF", n), before);
}

// ----------------------------------------------------------------- processes

std::string Cli() { return std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli"; }

// Runs the program; its exit code and standard error.
Result RunProcess(const std::vector<std::string>& args) {
  Result r;
  int errPipe[2];
  if (::pipe(errPipe) != 0) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(errPipe[1], 2);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 1);
    ::close(errPipe[0]);
    ::close(errPipe[1]);
    std::vector<char*> argv;
    const std::string program = Cli();
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(errPipe[0], buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<std::size_t>(n));
  ::close(errPipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

void ProcessSendsToAGroupAndWaitsForALockHeldHere(const std::filesystem::path& base) {
  CliWorld w(base);
  const std::string md = "/MD=" + w.dir.str();
  Result r = RunProcess({"send", "--to", "SAL,MGT,BOB", "--subject", "Budget", "--text", "Numbers", md, "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* who : {"BOB", "CLA", "DAN"}) {
    std::vector<std::string> texts;
    ASSERT_TRUE(ReadNotifyTexts((w.dir / ("TIMER." + std::string(who))).string(), texts)) << who;
    ASSERT_EQ(texts.size(), 1u) << who;
    EXPECT_EQ(texts[0].back(), 'M') << who;
  }
  EXPECT_FALSE(std::filesystem::exists(w.dir / "TIMER.ANN"));
  EXPECT_FALSE(std::filesystem::exists(w.dir / "TIMER.EVA"));

  // A lock held by a board of this computer and account (its station
  // identity is the computer's): the program waits, gives up and says who
  // holds it, instead of taking the lock for its own; it signs out once the
  // lock is free.
  ConsolePlatform console;
  Workstation dan(console.platform());
  dan.paths.DataFolder = w.dir.str();
  dan.ThisUser = "DAN";
  dan.StationId = readStationId();
  dan.MultiUser = true;
  ASSERT_TRUE(AcquireLock(dan, "LOCATELK", "TEST"));
  r = RunProcess({"out", "--who", "BOB", "--to", "Bank", "--back", "11:59P", "--wait", "1", md});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_NE(r.err.find("held by DAN (station " + dan.StationId + ")"), std::string::npos) << r.err;
  ReleaseLock(dan, "LOCATELK");
  r = RunProcess({"out", "--who", "BOB", "--to", "Bank", "--back", "11:59P", "--wait", "1", md});
  EXPECT_EQ(r.code, 0) << r.err;
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
}

TEST(CommandLineProcess, SendsToAGroupAndWaitsForALockHeldElsewhere) {
  ProcessSendsToAGroupAndWaitsForALockHeldHere({});
}

TEST(CommandLineProcess, SendsToAGroupAndWaitsForALockHeldElsewhereOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  ProcessSendsToAGroupAndWaitsForALockHeldHere(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
