#include "board/cli.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "board/board_list.h"
#include "board/demo.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/record_io.h"
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

}  // namespace
}  // namespace egresso
