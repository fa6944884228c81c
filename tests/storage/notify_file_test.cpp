#include "storage/notify_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/workstation.h"
#include "storage/locks.h"
#include "support/child_process.h"
#include "support/fake_platform.h"
#include "support/share_folder.h"

namespace egresso {
namespace {

using test::FakePlatform;
using test::TempDir;

std::string record(const std::string& text) {
  std::string r(kNotifyRecordSize, '\0');
  r[0] = static_cast<char>(text.size());
  r.replace(1, text.size(), text);
  return r;
}

struct NotifyFolder : ::testing::Test {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  TempDir dir;
  std::string file;

  void SetUp() override {
    ws.paths.DataFolder = dir.str();
    ws.Today = 15683;
    ws.MultiUser = true;
    ws.ThisUser = "BOB";
    ws.StationId = "2222";
    file = NotifyFileOf(ws, "ANN");
  }
};

TEST_F(NotifyFolder, EachLetterIsAddedOnceAsAWholeRecordAndTakenWithTheFile) {
  EXPECT_EQ(file, dir.str() + "/TIMER.ANN");
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'B'), io::Ok);
  // Every letter in record 0, the one record other readers know.
  EXPECT_EQ(test::readFile(file), record("15683MB"));
  EXPECT_FALSE(std::filesystem::exists(LockFilePath(ws, NotifyLockName("ANN"))));

  EXPECT_EQ(TakeNotifyTexts(file, PosixFileOps()), std::vector<std::string>{"15683MB"});
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(ClaimedNotifyFile(file)));
  EXPECT_TRUE(TakeNotifyTexts(file, PosixFileOps()).empty());

  // Taken: the same letter is put in again.
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  EXPECT_EQ(TakeNotifyTexts(file, PosixFileOps()), std::vector<std::string>{"15683M"});
}

// Whatever the file held, a letter put beside it leaves one record holding
// every letter: what a writer that stopped half way, an earlier version's
// second record, or a full text left.
TEST_F(NotifyFolder, ALetterPutBesideWhatWaitsGivesOneRecordHoldingAll) {
  struct Case {
    const char* name;
    std::string before;  // "" = no file
    char letter;
    std::string after;
  };
  const std::vector<Case> cases = {
      {"no file", "", 'M', record("15683M")},
      {"another letter waiting", record("15683B"), 'M', record("15683BM")},
      {"the same letter waiting", record("15683M"), 'M', record("15683M")},
      {"an earlier version's records", record("15683B") + record("15683M"), 'A', record("15683BAM")},
      {"part of a record", std::string("\x02" "1B", 3), 'M', record("15683MB")},
      {"a full text", record("1234567ABC"), 'M', record("234567ABCM")},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(file);
    if (!c.before.empty()) test::writeFile(file, c.before);
    EXPECT_EQ(AppendNotifyLetter(ws, "ANN", c.letter), io::Ok) << c.name;
    EXPECT_EQ(test::readFile(file), c.after) << c.name;
  }
  // Ten letters and no digit left to give way: nothing is lost by cutting.
  test::writeFile(file, record("ABCDEFGHIJ"));
  EXPECT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), kNotifyNoRoom);
  EXPECT_EQ(test::readFile(file), record("ABCDEFGHIJ"));
}

TEST_F(NotifyFolder, AFileClaimedAndLeftIsReadFirstAndNotOverwritten) {
  ASSERT_EQ(PutNotifyText(ClaimedNotifyFile(file), "1B", PosixFileOps()), io::Ok);
  ASSERT_EQ(PutNotifyText(file, "2M", PosixFileOps()), io::Ok);
  EXPECT_EQ(TakeNotifyTexts(file, PosixFileOps()), (std::vector<std::string>{"1B", "2M"}));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(ClaimedNotifyFile(file)));
}

TEST_F(NotifyFolder, AFileWithoutAWholeRecordStaysForTheNextLook) {
  test::writeFile(file, "\x01M");
  EXPECT_TRUE(TakeNotifyTexts(file, PosixFileOps()).empty());
  EXPECT_TRUE(std::filesystem::exists(file));
  // A record cut short after whole ones gives what it holds.
  test::writeFile(file, std::string("\x02MB\0\0\0\0\0\0\0\0" "\x05" "12", 14));
  EXPECT_EQ(TakeNotifyTexts(file, PosixFileOps()), (std::vector<std::string>{"MB", "12"}));
}

// A writer stopped half way leaves part of a record. The next letter still
// goes into a record place of its own, and a letter seen only in the part
// does not count as waiting: such a file is never taken by itself.
TEST_F(NotifyFolder, ALetterAfterAPartRecordStillArrives) {
  test::writeFile(file, std::string("" "1M", 3));
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  EXPECT_EQ(test::readFile(file).size() % kNotifyRecordSize, 0u);
  const auto texts = TakeNotifyTexts(file, PosixFileOps());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "15683M");
}

// Twenty workstations, each in its own process, put their own letter into
// one colleague's file, wait until it is taken and put it in again, while
// the colleague keeps taking the file under its lock: every letter put in
// arrives exactly once, none is lost between two writers or between a
// writer and the owner.
void TwentyWritersAndTheOwner(const std::string& base, int rounds) {
  TempDir dir(base);
  FakePlatform fp;
  Workstation owner(fp.platform());
  owner.paths.DataFolder = dir.str();
  owner.MultiUser = true;
  owner.ThisUser = "ANN";
  owner.StationId = "1111";
  const std::string program = test::ChildProgram("notify_writer_child");
  std::vector<pid_t> children;
  std::map<char, int> arrived;
  for (int i = 0; i < 20; ++i) {
    const char letter = static_cast<char>('A' + i);
    const pid_t pid = test::SpawnChild(program, {dir.str(), "ANN", std::string(1, letter), std::to_string(rounds)});
    ASSERT_NE(pid, 0) << program;
    children.push_back(pid);
    arrived[letter] = 0;
  }
  auto take = [&] {
    for (const auto& text : TakeOwnNotifyTexts(owner))
      for (char c : text) ++arrived[c];
  };
  std::size_t running = children.size();
  while (running > 0) {
    take();
    for (pid_t& pid : children) {
      int status = 0;
      if (pid == 0 || waitpid(pid, &status, WNOHANG) != pid) continue;
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
      pid = 0;
      --running;
    }
  }
  take();
  for (const auto& [letter, count] : arrived) EXPECT_EQ(count, rounds) << "letter " << letter;
  EXPECT_FALSE(std::filesystem::exists(NotifyFileOf(owner, "ANN")));
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".LOK") << entry.path();
}

TEST(NotifyProcesses, TwentyWritersAndTheOwnerAtOnceLoseNoLetter) { TwentyWritersAndTheOwner("", 100); }

TEST(NotifyProcesses, TwentyWritersAndTheOwnerAtOnceLoseNoLetterOnASambaShare) {
  if (test::ShareFolder().empty()) GTEST_SKIP() << test::kNoShare;
  TwentyWritersAndTheOwner(test::ShareFolder(), 10);
  if (::testing::Test::HasFailure()) ADD_FAILURE() << test::ShareVerdict();
}

}  // namespace
}  // namespace egresso
