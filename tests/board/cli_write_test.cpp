// The writing commands of the command-line companion: in this process with
// the scripted platform (its clock stands still, so a record made here and
// one made by the form compare byte for byte), and the real program as a
// separate process.
#include "board/cli_write.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "board/cli.h"
#include "messages/form_rules.h"
#include "messages/form_world.h"
#include "platform/console_platform.h"
#include "storage/locks.h"
#include "support/child_process.h"
#include "support/message_files.h"
#include "support/share_folder.h"

namespace egresso {
namespace {

struct Result {
  int code = -1;
  std::string out, err;
};

// A second group, so a member can be named by two groups; in base (a file
// share) when given.
struct CliWorld : test::FormWorld {
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
    const int code = RunWriteCommand(args, EGRESSO_PROGRAM_DIR, fake.platform(), out, err);
    return {code, out.str(), err.str()};
  }
  std::string record(const std::string& file, int n) const {
    return test::readFile(dir / file).substr(static_cast<std::size_t>(n) * brd::Size, brd::Size);
  }
  BulBrdRcrd read(int listMode, int n) {
    mode(listMode);
    ClearRecord(ws);
    ReadBoardRecord(ws, n, "T");
    return ws.board.RecordBuffer;
  }
  std::string letters() {
    std::string all;
    for (const std::string who : {"ANN", "BOB", "CLA", "DAN", "EVA"}) {
      all += who + ":" + timer(who) + " ";
      std::filesystem::remove(dir / ("TIMER." + who));
    }
    return all;
  }
};

TEST(CommandLineWrites, SendToGroupsIsTheFormsMessageWithOneLetterPerMember) {
  CliWorld w;
  // BOB is in both groups and named on his own; OLD left the company.
  const Result r = w.run({"send", "--to", "SAL,MGT,bob", "--subject", "Budget", "--text", "First line\nsecond", "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Message 0 sent to BOB,CLA,DAN.\n");
  const std::string m = std::to_string(w.ws.Today) + "M ";
  EXPECT_EQ(w.letters(), "ANN: BOB:" + m + "CLA:" + m + "DAN:" + m + "EVA: ");

  // Saved through the form: the same letters, record, index entry and body.
  ASSERT_EQ(test::FormWorld::send(w.ws, "SAL,MGT,bob", "Budget", "First line\r\nsecond"), 1);
  EXPECT_EQ(w.letters(), "ANN: BOB:" + m + "CLA:" + m + "DAN:" + m + "EVA: ");
  EXPECT_EQ(w.record("MESSAGE.DAF", 0), w.record("MESSAGE.DAF", 1));
  const std::string index = test::readFile(w.dir / "MESSAGE.DAI");
  EXPECT_EQ(index.substr(0, 3), index.substr(3));
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/0.DA0"), "First line\r\nsecond");
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/1.DA0"), "First line\r\nsecond");

  for (const std::string user : {"DAN", "EVA"}) {
    Workstation viewer(w.fake.platform());
    std::string error, list;
    ASSERT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/MD=" + w.dir.str(), "/TU=" + user}, error)) << error;
    for (const auto& l : MessageListing(viewer)) list += l + "\n";
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n') - 2, user == "DAN" ? 2 : 0) << user << "\n" << list;
  }

  // Everyone: a letter for every employee but the sender.
  ASSERT_EQ(w.run({"send", "--to=ALL", "--subject=Fire drill", "/TU=ANN"}).code, 0);
  EXPECT_EQ(w.letters(), "ANN: BOB:" + m + "CLA:" + m + "DAN:" + m + "EVA:" + m);
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/2.DA0"), "Fire drill") << "the subject is the text";
}

// A recipient list means what its words say, the same typed into the form
// or given to --to: a word is taken whole, and a word that names nobody
// stops the message instead of widening it to the office.
TEST(CommandLineWrites, RecipientListsMeanTheSameInTheFormAndOnTheCommandLine) {
  enum class Kind { To, Everyone, Outside, Unknown, Nobody };
  struct Row {
    std::string to;
    Kind kind;
    std::string expected;  // recipients (To) or the word named (Unknown)
  };
  const std::vector<Row> rows = {
      {"Sally", Kind::Unknown, "SALLY"},  // holds ALL, starts with the group SAL
      {"ALLISON", Kind::Unknown, "ALLISON"},
      {"BOB,Sally", Kind::Unknown, "SALLY"},
      {"ALL,Sally", Kind::Unknown, "SALLY"},
      {"B.O.B", Kind::Unknown, "B.O.B"},
      {",", Kind::Nobody, ""},
      {"  ", Kind::Nobody, ""},
      {"ALL", Kind::Everyone, ""},
      {"all", Kind::Everyone, ""},
      {"BOB", Kind::To, "BOB"},
      {"eva; dan", Kind::To, "DAN,EVA"},
      {"MGT", Kind::To, "BOB,DAN"},
      {"sal", Kind::To, "BOB,CLA"},  // the group still names OLD, who left
      {"CLA <claire@example.com>", Kind::To, "CLA"},
      {"ann@hall.example.com", Kind::Outside, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("to \"" + row.to + "\"");
    CliWorld w;
    const int n = test::FormWorld::send(w.ws, row.to, "Budget", "Numbers");
    const Result r = w.run({"send", "--to", row.to, "--subject", "Budget", "/TU=ANN"});
    switch (row.kind) {
      case Kind::Unknown:
      case Kind::Nobody: {
        EXPECT_EQ(n, -1);
        ASSERT_FALSE(w.fake.dialogs.dialogs.empty());
        EXPECT_EQ(w.fake.dialogs.dialogs.back().message,
                  row.kind == Kind::Nobody ? "No recipient was given. "
                                           : "There is no employee or group with the initials " + row.expected);
        EXPECT_EQ(r.code, 1) << r.out;
        EXPECT_NE(r.err.find(row.kind == Kind::Nobody ? "no recipient" : "\"" + row.expected + "\""),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(std::filesystem::exists(w.dir / "MESSAGE.DAF"));
        EXPECT_EQ(w.letters(), "ANN: BOB: CLA: DAN: EVA: ");
        break;
      }
      case Kind::To:
      case Kind::Everyone:
      case Kind::Outside: {
        ASSERT_EQ(n, 0);
        const BulBrdRcrd rec = w.read(0, n);
        EXPECT_EQ(RecipientText(rec), row.expected);
        EXPECT_EQ(rec.toList(1) == "", row.kind == Kind::Everyone) << "an empty first entry means everyone";
        EXPECT_EQ(r.code, 0) << r.err;
        const std::string shown = row.kind == Kind::To ? row.expected : row.kind == Kind::Everyone ? "ALL" : row.to;
        EXPECT_EQ(r.out, "Message 1 sent to " + shown + ".\n");
        EXPECT_EQ(w.read(0, 1).toList(1), rec.toList(1)) << "the same record either way";
        break;
      }
    }
  }
}

TEST(CommandLineWrites, OutAndInAsTheBoardAndTheFormDo) {
  CliWorld w;  // 9:00 on the scripted clock
  ASSERT_EQ(w.run({"out", "--who", "BOB", "--to", "Joe's", "--back", "2:30P", "--date", "+1", "/TU=ANN"}).err, "");
  BulBrdRcrd bob = w.read(1, 2);
  EXPECT_EQ(bob.closed(), 0);
  EXPECT_EQ(bob.who() + bob.enteredBy() + bob.headline(), "BOBANNJoe's");
  EXPECT_EQ(bob.returnDay(), w.ws.Today + 1);
  EXPECT_EQ(bob.returnAt(), 1430);
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/2.DA1"), "Joe's");

  // The form's afternoon rule for an hour that has passed; without /TU=
  // the employee signs out himself.
  ASSERT_EQ(w.run({"out", "--who", "cla", "--to", "Dentist", "--back", "8", "--date", "T"}).code, 0);
  EXPECT_EQ(w.read(1, 3).returnAt(), 2000);
  EXPECT_EQ(w.read(1, 3).enteredBy(), "CLA");
  // An abbreviation of the office by its name: back in an hour.
  test::writeFile(w.dir / "PLACE.DAF", "Meeting@1100!\r\nLunch<60>\r\n");
  ASSERT_EQ(w.run({"out", "--who", "DAN", "--abbrev", "lunch", "/TU=ANN"}).code, 0);
  EXPECT_EQ(w.read(1, 4).headline(), "Lunch ");
  EXPECT_EQ(w.read(1, 4).returnAt(), 1000);
  // A destination given over two lines heads the entry whole.
  const Result two = w.run({"out", "--who", "EVA", "--to", "Bank\nthen lunch", "--back", "3P", "/TU=ANN"});
  ASSERT_EQ(two.code, 0) << two.err;
  EXPECT_EQ(w.read(1, 5).headline(), "Bank then lunch");
  EXPECT_NE(two.out.find("EVA out: Bank then lunch (back"), std::string::npos) << two.out;
  EXPECT_EQ(test::readFile(w.dir / "BULLETIN/5.DA1"), "Bank\r\nthen lunch");

  Result r = w.run({"in", "--who", "BOB", "/TU=ANN"});
  EXPECT_EQ(r.out, "BOB in.\n");
  EXPECT_TRUE(w.index("LOCATE.DAI", 2).closed());
  const std::string after = test::readFile(w.dir / "LOCATE.DAF");
  r = w.run({"in", "--who", "BOB", "/TU=ANN"});
  EXPECT_EQ(r.out, "BOB is in already.\n");
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF"), after);
}

TEST(CommandLineWrites, RefusalsSayWhyAndChangeNothing) {
  CliWorld w;
  ASSERT_EQ(test::FormWorld::send(w.ws, "BOB", "Budget", "Numbers"), 0);
  const std::string before = test::readFile(w.dir / "LOCATE.DAF") + test::readFile(w.dir / "MESSAGE.DAF");
  test::TempDir empty;
  const std::string dataFolder = "/MD=" + w.dir.str();
  const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
      {{"out", "--who", "XYZ", "--to", "x", "--back", "3P"}, 1, "unknown initials \"XYZ\""},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "31/31/26"}, 1, "not a return date: \"31/31/26\""},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "-1"}, 1, "That return date is in the past."},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "-5"}, 1, "That return date is in the past."},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "+-1"}, 1, "not a return date: \"+-1\""},
      {{"out", "--who", "BOB", "--to", "x", "--back", "3P", "--date", "12/01/26"}, 1, "in the past"},
      {{"out", "--who", "BOB", "--to", "x", "--back", "soon"}, 1, "not a return time: \"soon\""},
      {{"out", "--who", "BOB", "--to", "x"}, 1, "Please enter the return date and time."},
      {{"out", "--who", "BOB", "--to", "", "--back", "3P"}, 1, "Please say where you are going."},
      {{"out", "--who", "BOB", "--abbrev", "Golf"}, 1, "no destination abbreviation \"GOLF\""},
      {{"send", "--to", "BOB,QQ", "--subject", "x", "/TU=ANN"}, 1, "unknown initials or group \"QQ\""},
      {{"send", "--to", "BOB", "--subject", "x", "/TU=ZZZ"}, 1, "unknown initials \"ZZZ\""},
      {{"send", "--to", "BOB", "--subject", "x"}, 2, "/TU="},
      {{"send", "--to", "BOB", "/TU=ANN"}, 2, "--subject or --text"},
      {{"read", "7", "/TU=BOB"}, 1, "no message 7 for BOB"},
      {{"read", "0", "/TU=EVA"}, 1, "no message 0 for EVA"},
      {{"read", "first", "/TU=BOB"}, 2, "not a message number"},
      {{"in", "--who", "BOB", "--wait", "soon"}, 2, "--wait"},
      {{"in", "--who", "BOB", "--subject", "x"}, 2, "in takes no --subject"},
      {{"in", dataFolder, "--who"}, 2, "--who needs a value"},
      {{"in", "--who", "BOB", dataFolder + "/gone"}, 1, "no such folder"},
      {{"in", "--who", "BOB", "/MD=" + empty.str()}, 1, "CFGMAIN.DAF is missing"},
  };
  for (const auto& [args, code, says] : cases) {
    const Result r = w.run(args);
    EXPECT_EQ(r.code, code) << args[0] << " " << args.back() << "\n" << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << says << "\n" << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF") + test::readFile(w.dir / "MESSAGE.DAF"), before);
  EXPECT_TRUE(std::filesystem::is_empty(empty.path())) << "nothing started in a folder that is not a data folder";
}

// Message numbers are record numbers up to 32767: with every one taken a
// new message has no number left, and one handed out would overwrite.
TEST(CommandLineWrites, AFullMessageStoreRefusesANewMessageAndWritesNothing) {
  struct Case {
    std::int64_t messages;
    int closedSlot;  // -1: none
    int code;
    std::string says;
  };
  const Case cases[] = {
      {brd::MaxRecords, -1, 1, "There is no room for another message"},
      {brd::MaxRecords - 1, -1, 0, "Message 32767 sent"},
      {brd::MaxRecords, 40, 0, "Message 40 sent"},
  };
  for (const Case& c : cases) {
    CliWorld w;
    test::SizeMessageFiles(w.dir.path(), c.messages, c.messages, w.ws.Today);
    if (c.closedSlot >= 0) test::CloseMessageEntry(w.dir.path(), c.closedSlot);
    const std::string index = test::readFile(w.dir / "MESSAGE.DAI");
    const Result r = w.run({"send", "--to", "BOB", "--subject", "One more", "/TU=ANN"});
    EXPECT_EQ(r.code, c.code) << c.messages << "\n" << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    if (c.code == 0) continue;
    EXPECT_EQ(test::readFile(w.dir / "MESSAGE.DAI"), index) << "nothing written";
    EXPECT_EQ(std::filesystem::file_size(w.dir / "MESSAGE.DAF"), static_cast<std::uintmax_t>(c.messages) * brd::Size);
    EXPECT_EQ(w.record("MESSAGE.DAF", 32767), std::string(brd::Size, '\0')) << "message 32767 is kept";
    EXPECT_FALSE(std::filesystem::exists(w.dir / "BULLETIN" / "32767.DA0"));
  }
}

TEST(CommandLineWrites, ABusyLockIsWaitedForThenGivenUp) {
  CliWorld w;
  const int n = test::FormWorld::send(w.ws, "BOB", "Budget", "Numbers");
  auto dan = w.other("DAN");
  dan->StationId = "DESK-DAN";
  ASSERT_TRUE(AcquireLock(*dan, "LOCATELK", "TEST"));
  ASSERT_TRUE(AcquireLock(*dan, "MEMOLK", "TEST"));
  const std::string before = test::readFile(w.dir / "LOCATE.DAF");
  const std::int64_t start = w.fake.clock.mono;
  Result r = w.run({"out", "--who", "BOB", "--to", "Bank", "--back", "3P", "--wait", "2", "/TU=BOB"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("LOCATELK.LOK stayed busy for 2 s, held by DAN (station DESK-DAN)"), std::string::npos) << r.err;
  EXPECT_GE(w.fake.clock.mono - start, 2000);
  EXPECT_LT(w.fake.clock.mono - start, 3000) << "given up at the end of the wait";
  EXPECT_EQ(test::readFile(w.dir / "LOCATE.DAF"), before);
  EXPECT_EQ(w.run({"send", "--to", "CLA", "--subject", "x", "--wait", "0", "/TU=BOB"}).code, 3);
  r = w.run({"read", std::to_string(n), "--wait", "0", "/TU=BOB"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.out.find("Numbers"), std::string::npos) << "shown, but not counted read";
  EXPECT_EQ(w.read(0, n).readMark(2), 0);
  ReleaseLock(*dan, "LOCATELK");
  EXPECT_EQ(w.run({"out", "--who", "BOB", "--to", "Bank", "--back", "3P", "/TU=BOB"}).code, 0);
  ReleaseLock(*dan, "MEMOLK");
}

TEST(CommandLineWrites, ReadShowsTheMessageAndCountsItReadAsOpeningItDoes) {
  CliWorld w;
  const int n = test::FormWorld::send(w.ws, "BOB,CLA", "Budget", "Numbers for Monday\r\n\r\nAnn");
  Result r = w.run({"read", std::to_string(n), "/TU=BOB"});
  EXPECT_EQ(r.out, "From: ANN (7 DEC 26, 9:00A)\nTo: BOB,CLA\nSubject: Budget\n\nNumbers for Monday\n\nAnn\n");
  const BulBrdRcrd m = w.read(0, n);
  EXPECT_EQ(m.readMark(2), 1);
  EXPECT_EQ(m.readMark(3), 0) << "only the reader's mark";
  EXPECT_EQ(m.readTime(), 900);
  // The sender reads it without counting it read for anybody.
  const std::string before = w.record("MESSAGE.DAF", n);
  EXPECT_EQ(w.run({"read", std::to_string(n), "/TU=ANN"}).code, 0);
  EXPECT_EQ(w.record("MESSAGE.DAF", n), before);
}

TEST(CommandLineWrites, AFailedStepIsAnErrorWithItsReasonAndLeavesNoLock) {
  const struct {
    const char* broken;  // made a folder, so that writing it fails
    std::vector<std::string> args;
    const char* says;
    const char* outcome;
  } cases[] = {
      {"INOUT.DAF", {"out", "--who", "BOB", "--to", "Bank", "--back", "3P"}, "/INOUT.DAF\" could not be read or written",
       "a file step failed"},
      {"BULLETIN/0.DA0", {"send", "--to", "BOB", "--subject", "x", "/TU=ANN"}, "/0.DA0\" could not be read or written",
       "the message was not sent"},
  };
  for (const auto& c : cases) {
    CliWorld w;
    w.ws.mcfg.setU8(mcfg::InOutLog, 1);
    w.ws.mcfg.setU8(mcfg::InOutLogShared, 1);
    w.saveConfig();
    std::filesystem::create_directory(w.dir / c.broken);
    const Result r = w.run(c.args);
    EXPECT_EQ(r.code, 1) << c.broken << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.outcome), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "no success claimed";
    for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
      EXPECT_NE(e.path().extension(), ".LOK") << e.path();
  }
}

// The real program; its exit code and standard error.
Result RunProcess(const std::vector<std::string>& args) {
  std::string command = "'" + std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli'";
  for (const auto& a : args) command += " '" + a + "'";
  Result r;
  std::FILE* p = ::popen((command + " 2>&1 >/dev/null").c_str(), "r");
  char buf[512];
  for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.err.append(buf, n);
  const int status = p ? ::pclose(p) : -1;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

void ProcessSendsToAGroupAndWaitsForALockHeldHere(const std::filesystem::path& base) {
  CliWorld w(base);
  const std::string md = "/MD=" + w.dir.str();
  Result r = RunProcess({"send", "--to", "SAL,MGT,BOB", "--subject", "Budget", md, "/TU=ANN"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string letters = w.letters();
  EXPECT_EQ(std::count(letters.begin(), letters.end(), 'M'), 3) << letters;
  EXPECT_NE(letters.find("ANN: BOB:"), std::string::npos) << letters;

  // A lock held by a board of this computer and account (the station
  // identity is the computer's): the program waits, gives up and says who
  // holds it rather than taking it for its own.
  ConsolePlatform console;
  Workstation dan(console.platform());
  dan.paths.DataFolder = w.dir.str();
  dan.ThisUser = "DAN";
  dan.StationId = readStationId();
  dan.MultiUser = true;
  ASSERT_TRUE(AcquireLock(dan, "LOCATELK", "TEST"));
  r = RunProcess({"out", "--who", "BOB", "--to", "Bank", "--back", "11:59P", "--wait", "1", md});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("held by DAN (station " + dan.StationId + ")"), std::string::npos) << r.err;
  ReleaseLock(dan, "LOCATELK");
  r = RunProcess({"out", "--who", "BOB", "--to", "Bank", "--back", "11:59P", "--wait", "1", md});
  EXPECT_EQ(r.code, 0) << r.err;
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
}

// An office's script on the share: ten rounds of four employees signing out
// and back in and one message, each a process of its own, the journal on.
// Every command goes through, every sign-out and sign-in has its journal
// line, no lock is left, the folder never goes away, and a sign-out carries
// the time it was made.
void TenRoundsOfScriptedCommands(const std::filesystem::path& base) {
  CliWorld w(base);
  w.ws.mcfg.setU8(mcfg::InOutLog, 1);
  w.saveConfig();
  const std::string md = "/MD=" + w.dir.str();
  const std::vector<std::string> staff = {"ANN", "BOB", "CLA", "DAN"};
  auto clock = [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local.tm_hour * 60 + local.tm_min;
  };
  test::MountWatch watch(w.dir.str());
  for (int round = 0; round < 10; ++round) {
    for (const auto& who : staff) {
      const int before = clock();
      Result r = RunProcess({"out", "--to", "Bank", "--back", "11:59P", md, "/TU=" + who});
      EXPECT_EQ(r.code, 0) << who << " out, round " << round << ": " << r.err;
      const int after = clock();
      const int made = w.read(1, w.ws.mcfg.slotOf(who)).madeTime();
      const int madeMinutes = made / 100 * 60 + made % 100;
      EXPECT_TRUE(madeMinutes >= before && madeMinutes <= after) << who << " signed out at " << made;
    }
    Result r = RunProcess({"send", "--to", "BOB", "--subject", "Round " + std::to_string(round), "--text", "Call back",
                           md, "/TU=ANN"});
    EXPECT_EQ(r.code, 0) << "message, round " << round << ": " << r.err;
    for (const auto& who : staff) {
      r = RunProcess({"in", md, "/TU=" + who});
      EXPECT_EQ(r.code, 0) << who << " in, round " << round << ": " << r.err;
    }
  }
  watch.stop();
  EXPECT_EQ(watch.lost(), "");
  int entries = 0;
  for (const auto& who : staff) {
    std::istringstream journal(test::readFile(w.dir / ("INOUT" + who + ".DAF")));
    // A sign-out's own text follows its line, indented.
    for (std::string line; std::getline(journal, line);) entries += !line.empty() && !line.starts_with("    ");
  }
  std::string files;
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path())) files += e.path().filename().string() + " ";
  EXPECT_EQ(entries, 80) << files;
}

TEST(CommandLineProcess, ASignalEndsTheWaitAndTheProgramWithItsCode) {
  CliWorld w;
  ConsolePlatform console;
  Workstation dan(console.platform());
  dan.paths.DataFolder = w.dir.str();
  dan.ThisUser = "DAN";
  dan.StationId = "DESK-DAN";
  dan.MultiUser = true;
  ASSERT_TRUE(AcquireLock(dan, "LOCATELK", "TEST"));
  for (const int sig : {SIGTERM, SIGINT}) {
    const pid_t child = test::SpawnChild(std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli",
                                         {"out", "--who", "BOB", "--to", "Bank", "--back", "11:59P", "--wait", "60",
                                          "/MD=" + w.dir.str()});
    ASSERT_GT(child, 0);
    // Sent once the program holds the signal back (its command has begun).
    const auto holdsBack = [&] {
      std::ifstream status("/proc/" + std::to_string(child) + "/status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1) & 1) != 0;
      return false;
    };
    for (int i = 0; i < 1000 && !holdsBack(); ++i) ::usleep(10 * 1000);
    ::usleep(100 * 1000);
    ::kill(child, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself, not by the program";
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
  }
  ReleaseLock(dan, "LOCATELK");
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
}

TEST(CommandLineProcess, TenRoundsOfScriptedCommandsAllGoThrough) { TenRoundsOfScriptedCommands({}); }

TEST(CommandLineProcess, TenRoundsOfScriptedCommandsAllGoThroughOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  TenRoundsOfScriptedCommands(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}


TEST(CommandLineProcess, SendsToAGroupAndWaitsForALockHeldElsewhere) { ProcessSendsToAGroupAndWaitsForALockHeldHere({}); }

TEST(CommandLineProcess, SendsToAGroupAndWaitsForALockHeldElsewhereOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  ProcessSendsToAGroupAndWaitsForALockHeldHere(test::ShareFolder());
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
