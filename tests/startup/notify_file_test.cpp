#include "startup/notify_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/workstation.h"
#include "support/child_process.h"
#include "support/fake_platform.h"

namespace egresso {
namespace {

using test::FakePlatform;
using test::TempDir;

struct NotifyFolder : ::testing::Test {
  FakePlatform fp;
  Workstation ws{fp.platform()};
  TempDir dir;
  std::string file;

  void SetUp() override {
    ws.paths.DataFolder = dir.str();
    ws.Today = 15683;
    file = NotifyFileOf(ws, "ANN");
  }
};

TEST_F(NotifyFolder, EachLetterIsAddedOnceAsAWholeRecordAndTakenWithTheFile) {
  EXPECT_EQ(file, dir.str() + "/TIMER.ANN");
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'B'), io::Ok);
  // The first record reads as the one record other readers know.
  EXPECT_EQ(test::readFile(file), std::string("\x06" "15683M\0\0\0\0" "\x06" "15683B\0\0\0\0", 22));

  EXPECT_EQ(TakeNotifyTexts(file), (std::vector<std::string>{"15683M", "15683B"}));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(ClaimedNotifyFile(file)));
  EXPECT_TRUE(TakeNotifyTexts(file).empty());

  // Taken: the same letter is put in again.
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  EXPECT_EQ(TakeNotifyTexts(file), std::vector<std::string>{"15683M"});
}

TEST_F(NotifyFolder, AFileClaimedAndLeftIsReadFirstAndNotOverwritten) {
  ASSERT_EQ(AppendNotifyRecord(ClaimedNotifyFile(file), "1B"), io::Ok);
  ASSERT_EQ(AppendNotifyRecord(file, "2M"), io::Ok);
  EXPECT_EQ(TakeNotifyTexts(file), (std::vector<std::string>{"1B", "2M"}));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(ClaimedNotifyFile(file)));
}

TEST_F(NotifyFolder, AFileWithoutAWholeRecordStaysForTheNextLook) {
  test::writeFile(file, "\x01M");
  EXPECT_TRUE(TakeNotifyTexts(file).empty());
  EXPECT_TRUE(std::filesystem::exists(file));
  // A record cut short after whole ones gives what it holds.
  test::writeFile(file, std::string("\x02MB\0\0\0\0\0\0\0\0" "\x05" "12", 14));
  EXPECT_EQ(TakeNotifyTexts(file), (std::vector<std::string>{"MB", "12"}));
}

// A writer stopped half way leaves part of a record. The next letter still
// goes into a record place of its own, and a letter seen only in the part
// does not count as waiting: such a file is never taken by itself.
TEST_F(NotifyFolder, ALetterAfterAPartRecordStillArrives) {
  test::writeFile(file, std::string("" "1M", 3));
  ASSERT_EQ(AppendNotifyLetter(ws, "ANN", 'M'), io::Ok);
  EXPECT_EQ(test::readFile(file).size() % kNotifyRecordSize, 0u);
  const auto texts = TakeNotifyTexts(file);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "15683M");
}

// Twenty workstations write to one colleague's file while the colleague
// keeps taking it: every record written arrives, none is lost between the
// reader's look and its delete or between two writers.
TEST_F(NotifyFolder, TwentyWritersAndTheOwnerAtOnceLoseNoRecord) {
  constexpr int kWriters = 20;
  constexpr int kRounds = 1000;
  const std::string program = test::ChildProgram("notify_writer_child");
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    const pid_t pid = test::SpawnChild(program, {file, "W" + std::to_string(i), std::to_string(kRounds)});
    ASSERT_NE(pid, 0) << program;
    children.push_back(pid);
  }
  std::set<std::string> arrived;
  std::size_t running = children.size();
  while (running > 0) {
    for (auto& text : TakeNotifyTexts(file)) arrived.insert(text);
    for (pid_t& pid : children) {
      if (pid == 0) continue;
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) != pid) continue;
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
      pid = 0;
      --running;
    }
  }
  for (auto& text : TakeNotifyTexts(file)) arrived.insert(text);
  std::vector<std::string> missing;
  for (int i = 0; i < kWriters; ++i)
    for (int r = 0; r < kRounds; ++r) {
      const std::string text = "W" + std::to_string(i) + ":" + std::to_string(r);
      if (arrived.count(text) == 0) missing.push_back(text);
    }
  EXPECT_TRUE(missing.empty()) << missing.size() << " lost, first " << missing.front();
  EXPECT_EQ(arrived.size(), static_cast<std::size_t>(kWriters * kRounds)) << "only the texts written arrive";
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(ClaimedNotifyFile(file)));
}

}  // namespace
}  // namespace egresso
