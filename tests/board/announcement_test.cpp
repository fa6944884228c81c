#include "board/announcement.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "board/board_world.h"
#include "board/refresh.h"
#include "messages/form_rules.h"
#include "startup/host.h"
#include "storage/notify_file.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "support/fake_host_window.h"
#include "support/faulty_file_ops.h"

namespace egresso {
namespace {

using test::BoardWorld;

struct Announcing : BoardWorld {
  Announcing() {
    ws.paths.AnnouncementFile = path("EGMEMO.TXT");
    notice(1716, "No announcement yet. ");
    notice(1717, "Click here; ");
    notice(1718, "everybody will see it.");
  }
  // The letters waiting in an employee's notification file ("" when none).
  // The texts of every record of a user's notification file, in order.
  std::string letters(const std::string& initials) {
    std::vector<std::string> texts;
    ReadNotifyTexts(PosixFileOps(), path("TIMER." + initials), texts);
    std::string all;
    for (const auto& t : texts) all += t;
    return all;
  }
  int runChild(const std::string& user, const std::string& text) {
    const std::string cmd = std::string("'") + EGRESSO_TEST_BIN_DIR + "/egresso_announcement_child' '" + dir.str() +
                            "' " + user + " '" + text + "'";
    return std::system(cmd.c_str());
  }
};

TEST(Announcement, SavedTwiceItLeavesOneLetterForEveryOtherUser) {
  Announcing a;
  EXPECT_EQ(GetAnnouncement(a.ws), "No announcement yet. Click here; everybody will see it.");
  ASSERT_EQ(PostNotification(a.ws, "CLA", 'M'), io::Ok);  // a message waits for CLA

  std::string reloaded;
  EXPECT_EQ(MemoExit(a.ws, false, "ignored", &reloaded), MemoSave::Unchanged);
  EXPECT_TRUE(a.fake.dialogs.dialogs.empty());
  EXPECT_EQ(MemoExit(a.ws, true, "Fire drill at 11\nBring a coat", &reloaded), MemoSave::Saved);
  EXPECT_EQ(MemoExit(a.ws, true, "Fire drill at 11:30\nBring a coat", &reloaded), MemoSave::Saved);
  EXPECT_EQ(test::readFile(a.dir / "EGMEMO.TXT"), "Fire drill at 11:30\r\nBring a coat\r\n");
  EXPECT_EQ(GetAnnouncement(a.ws), "Fire drill at 11:30\nBring a coat");

  const std::string today = std::to_string(a.ws.Today);
  EXPECT_EQ(a.letters("ANN"), "") << "not to oneself";
  EXPECT_EQ(a.letters("BOB"), today + "B");
  EXPECT_EQ(a.letters("CLA"), today + "MB") << "both in one record";
  EXPECT_EQ(a.letters("EVA"), today + "B");

  // Discarding gives back what the file holds; a read-only memo never asks.
  a.fake.dialogs.answers = {2};
  EXPECT_EQ(MemoExit(a.ws, true, "typo", &reloaded), MemoSave::Discarded);
  EXPECT_EQ(reloaded, "Fire drill at 11:30\nBring a coat");
  a.ws.options.MemoReadOnly = true;
  EXPECT_EQ(MemoExit(a.ws, true, "typo", &reloaded), MemoSave::Unchanged);
}

TEST(Announcement, ABusyLockSavesNothing) {
  Announcing a;
  auto bob = a.station("BOB");
  a.ws.StationId = "ann-pc";
  bob->StationId = "bob-pc";
  ASSERT_TRUE(AcquireLock(*bob, "EGMEMO", "TEST"));
  a.fake.lockAlert.keyAnswer = 27;  // the user gives up waiting
  EXPECT_EQ(MemoExit(a.ws, true, "Closed on Friday", nullptr), MemoSave::Busy);
  EXPECT_FALSE(std::filesystem::exists(a.dir / "EGMEMO.TXT"));
  EXPECT_EQ(a.letters("BOB"), "");
  ReleaseLock(*bob, "EGMEMO");
}

TEST(Announcement, SavedTwiceInAnotherProcessTheBoardReloadsIt) {
  Announcing a;
  a.ws.HostReady = true;
  a.ws.options.Notifications = true;
  ASSERT_EQ(a.runChild("BOB", "Parking closed today"), 0);
  ASSERT_EQ(a.runChild("BOB", "Parking closed until Monday"), 0);
  EXPECT_EQ(a.letters("ANN").find('B'), a.letters("ANN").rfind('B'));
  EXPECT_NE(a.letters("ANN").find('B'), std::string::npos);
  EXPECT_EQ(a.letters("CLA").size(), a.letters("ANN").size());
  EXPECT_EQ(a.letters("BOB"), "");

  // ANN's host finds the letter, and her board's next tick reloads the memo.
  test::FakeHostWindow window;
  Timer1Timer(a.ws, window);
  EXPECT_TRUE(a.ws.AnnouncementChanged);
  EXPECT_FALSE(std::filesystem::exists(a.dir / "TIMER.ANN"));
  const Timer1Result r = Timer1Timer(a.ws);
  EXPECT_TRUE(r.reloadAnnouncement);
  EXPECT_EQ(GetAnnouncement(a.ws), "Parking closed until Monday");
  EXPECT_FALSE(a.ws.AnnouncementChanged);
}

// Two people editing the announcement: the later save finds that the file
// no longer holds the text its editor started from and asks first; no
// question is asked while the lock is held.
TEST(Announcement, TheLaterOfTwoEditorsIsAskedBeforeItReplacesTheEarlier) {
  const struct {
    const char* answer;
    int reply;
    const char* onDisk;
    MemoSave result;
  } cases[] = {{"Bob puts his in place of Ann's", 1, "Bob's text", MemoSave::Saved},
               {"Bob takes Ann's", 2, "Ann's text", MemoSave::Discarded}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Announcing a;
    a.notice(2093, "Changed meanwhile. Replace it?");
    test::writeFile(a.dir / "EGMEMO.TXT", "Old text\r\n");
    auto bob = a.station("BOB");
    bob->paths.AnnouncementFile = a.ws.paths.AnnouncementFile;
    EXPECT_EQ(GetAnnouncement(a.ws), "Old text");
    EXPECT_EQ(GetAnnouncement(*bob), "Old text");
    int askedUnderLock = 0;
    std::function<void(const DialogRequest&)> watch = [&](const DialogRequest&) {
      askedUnderLock += std::filesystem::exists(a.dir / "EGMEMO.LOK");
      a.fake.dialogs.whileShown = watch;
    };
    a.fake.dialogs.whileShown = watch;

    std::string reloaded;
    EXPECT_EQ(MemoExit(a.ws, true, "Ann's text", &reloaded), MemoSave::Saved);
    a.fake.dialogs.answers = {1, c.reply};
    EXPECT_EQ(MemoExit(*bob, true, "Bob's text", &reloaded), c.result);
    EXPECT_EQ(test::readFile(a.dir / "EGMEMO.TXT"), std::string(c.onDisk) + "\r\n");
    ASSERT_EQ(a.fake.dialogs.dialogs.size(), 3u);
    EXPECT_EQ(a.fake.dialogs.dialogs.back().message, "Changed meanwhile. Replace it?");
    if (c.result == MemoSave::Discarded) {
      EXPECT_EQ(reloaded, "Ann's text");
    }
    EXPECT_EQ(askedUnderLock, 0);
    // Ann saves again over what she now is shown: no question beyond the first.
    GetAnnouncement(a.ws);
    EXPECT_EQ(MemoExit(a.ws, true, "Ann's last word", &reloaded), MemoSave::Saved);
    EXPECT_EQ(a.fake.dialogs.dialogs.size(), 4u);
  }
}

// The folder's troubles, as the board's tick meets them: a share that was
// gone shows the announcement again when it is back; a share that refuses
// writes while its client says it may be written is read-only from the
// first refused lock file until a file can be made in it again.
TEST(Announcement, TheBoardLearnsTheFoldersStateFromWhatItMeets) {
  Announcing a;
  test::writeFile(a.dir / "EGMEMO.TXT", "Parking closed\r\n");
  a.allIn();
  FormShow(a.ws);
  EXPECT_EQ(GetAnnouncement(a.ws), "Parking closed");

  const std::filesystem::path away = a.dir.path().string() + ".away";
  std::filesystem::rename(a.dir.path(), away);
  EXPECT_EQ(Timer1Timer(a.ws).folder, FolderState::Gone);
  EXPECT_NE(GetAnnouncement(a.ws), "Parking closed");  // what the box shows meanwhile
  std::filesystem::rename(away, a.dir.path());
  Timer1Result r = Timer1Timer(a.ws);
  EXPECT_EQ(r.folder, FolderState::Usable);
  EXPECT_TRUE(r.reloadAnnouncement);
  EXPECT_EQ(GetAnnouncement(a.ws), "Parking closed");

  test::FaultyFileOps refusing;
  refusing.arm(1, EACCES, test::FaultyFileOps::Changes, true);
  a.ws.files = &refusing;
  EXPECT_EQ(Timer1Timer(a.ws).folder, FolderState::Usable) << "the client says it may be written";
  EXPECT_EQ(MemoExit(a.ws, true, "Parking open", nullptr), MemoSave::Busy);
  EXPECT_EQ(test::readFile(a.dir / "EGMEMO.TXT"), "Parking closed\r\n");
  r = Timer1Timer(a.ws);
  EXPECT_EQ(r.folder, FolderState::ReadOnly);
  EXPECT_TRUE(r.folderChanged);
  a.fake.clock.advanceMs(61'000);
  EXPECT_EQ(Timer1Timer(a.ws).folder, FolderState::ReadOnly) << "still refused";
  refusing.disarm();
  a.fake.clock.advanceMs(61'000);
  EXPECT_EQ(Timer1Timer(a.ws).folder, FolderState::Usable);
  a.ws.files = &a.ws.ownFiles;
}

}  // namespace
}  // namespace egresso
