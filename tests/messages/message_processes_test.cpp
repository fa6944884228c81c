// Workstations in separate processes writing messages to one data folder:
// a temporary folder, and the shared network folder of the test script
// when EGRESSO_SHARE_DIR names one.
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <set>

#include "messages/board_files.h"
#include "messages/form_world.h"
#include "startup/host.h"

extern char** environ;

namespace egresso {
namespace {

using test::FormWorld;

// A host window that only counts what the host asks of it.
class CountingHost : public HostWindow {
 public:
  int raised = 0, switched = 0;
  int screenDpi() override { return 96; }
  ScreenArea screenArea() override { return {0, 0, 1024, 768}; }
  void createAlertForm() override {}
  void setApplicationTitle(const std::string&) override {}
  bool loadIcon(const std::string&) override { return true; }
  void setHostCaption(const std::string&) override {}
  void showHost() override {}
  void setHostBounds(int, int, int, int) override {}
  void setTimerPeriod(int) override {}
  void minimiseHost() override {}
  bool isApplicationActive() override { return false; }
  void minimiseApplication() override {}
  void restoreApplication() override { ++raised; }
  void closeHost() override {}
  void closeBoard() override {}
  void switchBoard() override { ++switched; }
  std::string showBoardModally() override { return {}; }
  void signOutOnExit(int) override {}
};

// The data folder a test runs on: the world's own, or a fresh folder on
// the share with the world's configuration copied there.
class Folder {
 public:
  Folder(FormWorld& w, bool onShare) : w_(w) {
    if (!onShare) return;
    std::string pattern = std::string(std::getenv("EGRESSO_SHARE_DIR")) + "/egresso-msg-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    share_ = pattern;
    std::filesystem::create_directory(share_ / "BULLETIN");
    for (const char* f : {"CFGMAIN.DAF", "LOCATE.DAF", "LOCATE.DAI"})
      std::filesystem::copy_file(w.dir / f, share_ / f);
    w.ws.paths.DataFolder = share_.string();
    w.ws.paths.BulletinFolder = (share_ / "BULLETIN").string();
    w.ws.paths.MainConfigPath = (share_ / "CFGMAIN.DAF").string();
    w.ws.locks.TraceFolder = share_.string();
    FormWorld::mode(w.ws, 0);
  }
  ~Folder() {
    std::error_code ec;
    if (!share_.empty()) std::filesystem::remove_all(share_, ec);
  }
  std::filesystem::path path() const { return share_.empty() ? w_.dir.path() : share_; }

 private:
  FormWorld& w_;
  std::filesystem::path share_;
};

pid_t StartWriter(const std::filesystem::path& folder, const std::string& user, int station, int count,
                  const std::string& to) {
  const std::string program = std::string(EGRESSO_TEST_BIN_DIR) + "/egresso_message_writer_child";
  std::vector<std::string> args = {program, folder.string(), user, "station-" + std::to_string(station),
                                   std::to_string(count), to, std::string(EGRESSO_SOURCE_DIR) + "/data/NOTICES.TXT"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

bool Finished(pid_t pid) {
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class MessageProcesses : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && std::getenv("EGRESSO_SHARE_DIR") == nullptr)
      GTEST_SKIP() << "EGRESSO_SHARE_DIR is not set: no network share to run on";
  }
};

TEST_P(MessageProcesses, AMessageFromAnotherProcessNotifiesOnceAndStandsUnread) {
  FormWorld w("BOB");
  Folder folder(w, GetParam());
  FormWorld::mode(w.ws, 0);
  ASSERT_TRUE(Finished(StartWriter(folder.path(), "ANN", 1, 3, "BOB")));

  // Three messages, one letter.
  const std::string timer = test::readFile(folder.path() / "TIMER.BOB");
  ASSERT_FALSE(timer.empty());
  const std::string letters = timer.substr(1, static_cast<unsigned char>(timer[0]));
  EXPECT_EQ(std::count(letters.begin(), letters.end(), 'M'), 1) << letters;
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "TIMER.ANN"));

  // The host timer finds the letter, takes the file away and raises the program.
  CountingHost host;
  w.ws.HostReady = true;
  w.ws.host.LastNotifyMinute = -1;
  Timer1Timer(w.ws, host);
  EXPECT_EQ(host.raised, 1);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "TIMER.BOB"));

  BuildBoardList(w.ws);
  ASSERT_EQ(w.ws.board.BBSlist.size(), 3u);
  EXPECT_NE(w.ws.board.BBSlist[0].text.find("ANN #0"), std::string::npos);
  EXPECT_TRUE(w.ws.board.BBSoldList.empty());
}

TEST_P(MessageProcesses, EightWorkstationsSavingAtOnceKeepEveryMessage) {
  FormWorld w("EVA");
  Folder folder(w, GetParam());
  constexpr int kStations = 8, kEach = 100;
  std::vector<pid_t> children;
  for (int s = 0; s < kStations; ++s)
    children.push_back(StartWriter(folder.path(), "W" + std::to_string(s), s, kEach, "BOB"));
  for (pid_t pid : children) EXPECT_TRUE(Finished(pid));

  FormWorld::mode(w.ws, 0);
  const BoardSet set = BoardSet::Messages;
  RecordFile data;
  ASSERT_EQ(data.open(BoardDataFile(w.ws, set), brd::Size, RecordFile::Mode::ReadOnly, PosixFileOps()), io::Ok);
  ASSERT_EQ(data.recordCount(), kStations * kEach);
  std::set<std::string> subjects;
  for (int n = 0; n < kStations * kEach; ++n) {
    BulBrdRcrd r;
    ASSERT_EQ(data.read(n, r.bytes), io::Ok);
    const std::string subject = r.headline();
    EXPECT_TRUE(subjects.insert(subject).second) << "twice: " << subject;
    EXPECT_EQ(ReadBodyText(BodyFilePath(w.ws, set, n), PosixFileOps()), "Text of " + subject) << n;
    EXPECT_EQ(r.toList(2), "BOB");
  }
  EXPECT_EQ(subjects.size(), static_cast<std::size_t>(kStations * kEach));
  for (const auto& e : std::filesystem::directory_iterator(folder.path() / "BULLETIN"))
    EXPECT_EQ(e.path().extension(), ".DA0") << e.path();
  for (const auto& e : std::filesystem::directory_iterator(folder.path()))
    EXPECT_NE(e.path().extension(), ".LOK") << e.path();
}

INSTANTIATE_TEST_SUITE_P(Folders, MessageProcesses, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("Share") : std::string("Local"); });

}  // namespace
}  // namespace egresso
