#include "board/cli.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "board/board_list.h"
#include "board/demo.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/record_io.h"
#include "config/password_hash.h"
#include "support/cli_run.h"
#include "support/demo_folder.h"

namespace egresso {
namespace {

using test::DemoFolder;
using test::Snapshot;
using test::TempDir;

TEST(CommandLine, ListsWhatTheBoardShowsAndChangesNothing) {
  DemoFolder d;
  // A sign-out of yesterday and a message older than the keeping period:
  // the board would write their expiry; the viewer must not.
  Workstation& w = d.writer;
  w.ListMode = 1;
  SelectBoardFiles(w);
  ReadBoardRecord(w, 6, "T");
  w.board.RecordBuffer.setReturnDay(static_cast<std::int16_t>(w.Today - 1));
  WriteBoardRecord(w, 6, "T");
  w.ListMode = 0;
  SelectBoardFiles(w);
  ReadBoardRecord(w, 0, "T");
  w.board.RecordBuffer.setMadeDay(static_cast<std::int16_t>(w.Today - 30));
  WriteBoardRecord(w, 0, "T");
  const auto before = Snapshot(d.dir.path());

  Workstation viewer(d.fake.platform());
  std::string error;
  ASSERT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/md=" + d.dir.str(), "/TU=ann", "/LE"}, error));
  EXPECT_EQ(viewer.ThisUser, "ANN");
  EXPECT_EQ(viewer.UserSlot, 1);
  EXPECT_TRUE(viewer.board.ReadOnlyView);
  EXPECT_FALSE(viewer.board.ShowEveryEntry);
  const auto board = BoardListing(viewer);
  std::string all;
  for (const auto& l : board) all += l + "\n";
  EXPECT_NE(all.find("Bob Carter"), std::string::npos);
  EXPECT_EQ(all.find("Frank Garcia"), std::string::npos) << "yesterday's entry is shown as expired";
  EXPECT_EQ(all.find("Ann Baker"), std::string::npos) << "/LE leaves out who is in";

  const auto messages = MessageListing(viewer);
  std::string text;
  for (const auto& l : messages) text += l + "\n";
  EXPECT_EQ(text.find("Lindqvist"), std::string::npos) << "too old";
  EXPECT_NE(text.find("Team meeting"), std::string::npos);
  EXPECT_NE(text.find("Please sign the expense reports"), std::string::npos);

  EXPECT_EQ(Snapshot(d.dir.path()), before) << "no file written, touched or locked";
}

TEST(CommandLine, NoTraceLineEvenWhenTracingIsOn) {
  DemoFolder d;
  d.writer.mcfg.setU8(mcfg::TraceLog, 1);
  {
    RecordFile f;
    ASSERT_EQ(f.open(d.writer.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
    ASSERT_EQ(f.write(0, d.writer.mcfg.bytes), 0);
  }
  // A message index that cannot be read: the board would trace its attempts.
  std::filesystem::remove(d.dir.path() / "MESSAGE.DAI");
  std::filesystem::create_directory(d.dir.path() / "MESSAGE.DAI");
  TempDir cwd;
  const auto home = std::filesystem::current_path();
  std::filesystem::current_path(cwd.path());
  Workstation viewer(d.fake.platform());
  std::string error;
  const bool loaded = LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/MD=" + d.dir.str(), "/TU=ANN"}, error);
  const auto messages = loaded ? MessageListing(viewer) : std::vector<std::string>{};
  std::filesystem::current_path(home);
  ASSERT_TRUE(loaded) << error;
  EXPECT_FALSE(std::filesystem::exists(cwd.path() / "TEST"));
  EXPECT_FALSE(std::filesystem::exists(d.dir.path() / "TEST"));
}

TEST(CommandLine, TheSameLinesAsTheBoard) {
  DemoFolder d;
  Workstation viewer(d.fake.platform());
  std::string error;
  ASSERT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {"/MD=" + d.dir.str(), "/TU=ANN"}, error));
  const auto lines = BoardListing(viewer);
  d.writer.ListMode = 1;
  SelectBoardFiles(d.writer);
  BuildBoardList(d.writer);
  ASSERT_EQ(lines.size(), d.writer.board.BBSlist.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], d.writer.board.BBSlist[i].text);
}

TEST(CommandLine, HelpCommandsAndRefusals) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--help"}, EGRESSO_PROGRAM_DIR, out, err), 0);
  EXPECT_NE(out.str().find("demo"), std::string::npos);
  EXPECT_NE(out.str().find("/TU="), std::string::npos);
  EXPECT_EQ(RunCli({}, EGRESSO_PROGRAM_DIR, out, err), 2);
  EXPECT_EQ(RunCli({"frobnicate"}, EGRESSO_PROGRAM_DIR, out, err), 2);
  EXPECT_EQ(RunCli({"demo"}, EGRESSO_PROGRAM_DIR, out, err), 2);

  DemoFolder d;
  std::ostringstream out2, err2;
  EXPECT_EQ(RunCli({"demo", d.dir.str()}, EGRESSO_PROGRAM_DIR, out2, err2), 1) << "a configuration is never overwritten";
  EXPECT_EQ(RunCli({"main-user", "/MD=" + d.dir.str()}, EGRESSO_PROGRAM_DIR, out2, err2), 0);
  EXPECT_EQ(out2.str(), "ANN\n");

  const std::string missing = d.dir.str() + "/not-there";
  EXPECT_EQ(RunCli({"board", "/MD=" + missing}, EGRESSO_PROGRAM_DIR, out2, err2), 1);
  EXPECT_FALSE(std::filesystem::exists(missing)) << "the viewer creates no folder";

  // Nor one that the site's switch file names.
  test::writeFile(d.dir.path() / "FALL.DAF", "/RD=" + missing + "\r\n");
  std::ostringstream out3, err3;
  EXPECT_EQ(RunCli({"board", "/MD=" + d.dir.str()}, EGRESSO_PROGRAM_DIR, out3, err3), 0);
  EXPECT_FALSE(std::filesystem::exists(missing)) << "a switch file makes the viewer create no folder";
}

// A user whose entry asks for a password sees and changes nothing from the
// command line without it, as the board shows nothing before it; only a
// personal file that is not there means no password. A main configuration
// that cannot be read is said to be so, with its reason.
TEST(CommandLine, ProtectedUsersGiveTheirPasswordFirst) {
  DemoFolder d;
  Workstation& w = d.writer;
  w.ListMode = 0;
  SelectBoardFiles(w);
  int meeting = -1;
  for (int n = 0; n < 50 && meeting < 0; ++n)
    if (ReadBoardRecord(w, n, "T") == io::Ok && w.board.RecordBuffer.headline().starts_with("Team meeting")) meeting = n;
  ASSERT_GE(meeting, 0);
  const auto personal = d.dir.path() / "CFGANN.DAF", main = d.dir.path() / "CFGMAIN.DAF";
  const std::string mainBytes = test::readFile(main);
  auto protect = [&](const std::string& stored, bool everybody) {
    PersonalConfig p;
    p.setU8(pcfg::RequestPassword, everybody ? 0 : 1);
    p.setStr(pcfg::UserPassword, 8, stored);
    test::writeFile(personal, std::string(p.bytes.begin(), p.bytes.end()));
    if (!everybody) return;
    std::string bytes = mainBytes;
    bytes[mcfg::PasswordForAll] = 1;
    test::writeFile(main, bytes);
  };
  const std::string hash = HashPassword("ANN", "OPEN"), read = std::to_string(meeting);
  struct Row {
    const char* what;
    std::function<void()> plant;
    const char* input;  // the first line of standard input (nullptr: none, not a terminal)
    std::vector<std::string> args;
    int code;
    const char* shows;
    const char* hides;
  };
  const std::vector<Row> rows{
      {"no password asked", [] {}, nullptr, {"messages"}, 0, "Team meeting", "Password"},
      {"asked, none given", [&] { protect(hash, false); }, nullptr, {"messages"}, 1, "--password-stdin", "Team meeting"},
      {"asked, given", [&] { protect(hash, false); }, "open", {"messages", "--password-stdin"}, 0, "Team meeting", ""},
      {"asked, a wrong one", [&] { protect(hash, false); }, "shut", {"messages", "--password-stdin"}, 1, "wrong password",
       "Team meeting"},
      {"the old stored form", [&] { protect(EncodePassword("OPEN"), false); }, "open", {"messages", "--password-stdin"},
       0, "Team meeting", ""},
      {"read, none given", [&] { protect(hash, false); }, nullptr, {"read", read}, 1, "nothing was changed", "Subject:"},
      {"read, given", [&] { protect(hash, false); }, "open", {"read", read, "--password-stdin"}, 0, "Team meeting", ""},
      {"asked of everybody", [&] { protect(hash, true); }, "open", {"read", read, "--password-stdin"}, 0,
       "Team meeting", ""},
      {"asked of everybody, none given", [&] { protect(hash, true); }, nullptr, {"messages"}, 1, "password",
       "Team meeting"},
      {"personal file that cannot be read", [&] { std::filesystem::create_directory(personal); }, "open",
       {"messages", "--password-stdin"}, 1, "cannot be read", "Team meeting"},
      {"main configuration that cannot be read",
       [&] {
         std::filesystem::remove(main);
         std::filesystem::create_directory(main);
       },
       nullptr, {"messages"}, 1, "CFGMAIN.DAF cannot be read: ", "unknown initials"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    r.plant();
    std::string command = "{ ";
    command += r.input ? "printf '%s\\n' " + test::ShellQuoted(r.input) + " | " : std::string();
    command += test::ShellQuoted(std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli");
    for (const auto& a : r.args) command += " " + test::ShellQuoted(a);
    command += " /MD=" + test::ShellQuoted(d.dir.str()) + " /TU=ANN" + (r.input ? "" : " </dev/null") + " 2>&1; }";
    const test::CliOutput out = test::RunCommand(command);
    EXPECT_EQ(out.code, r.code) << out.out;
    EXPECT_NE(out.out.find(r.shows), std::string::npos) << out.out;
    if (*r.hides) EXPECT_EQ(out.out.find(r.hides), std::string::npos) << out.out;
    std::filesystem::remove_all(personal);
    std::filesystem::remove_all(main);
    test::writeFile(main, mainBytes);
  }
}

}  // namespace
}  // namespace egresso
