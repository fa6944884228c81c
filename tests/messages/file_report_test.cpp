// Reports of failed file steps: shown only once the workstation holds no
// lock, naming the file, the system's reason, what to do and what was not
// done, with the code and tag on a line of their own.
#include <gtest/gtest.h>

#include <cerrno>

#include "messages/form_world.h"
#include "storage/file_report.h"
#include "storage/locks.h"

namespace egresso {
namespace {

// Every record write fails with the chosen error; lock files (written
// with plain writes) are made as usual.
class FailingRecordWrites : public FileOps {
 public:
  explicit FailingRecordWrites(int err) : err_(err) {}
  ssize_t pwrite(int, const void*, std::size_t, off_t) override {
    errno = err_;
    return -1;
  }

 private:
  int err_;
};

TEST(FileFailureReports, ComeAfterTheLocksNameTheReasonAndLetOthersWorkMeanwhile) {
  const struct {
    int err;
    const char *reason, *advice;
  } cases[] = {
      {EROFS, "read-only file system", "make it writable again"},
      {EACCES, "permission denied", "give your account write access"},
      {EIO, "input/output error", "Check the network connection"},
      {ENOSPC, "no space left on the disk", "Make room on the disk"},
      {ENOENT, "no such file or folder", "the network drive is connected"},
  };
  for (const auto& c : cases) {
    test::FormWorld w;
    auto bob = w.other("BOB");
    FailingRecordWrites failing(c.err);
    w.ws.files = &failing;
    // Bob signs out while Ann's report stands unanswered; had Ann's
    // workstation kept its lock, his wait would end at its first look.
    bool bobSaved = false, locksLeft = true;
    w.fake.dialogs.whileShown = [&](const DialogRequest&) {
      locksLeft = std::filesystem::exists(LockFilePath(w.ws, "LOCATELK"));
      w.fake.events.keys.assign(8, 27);
      auto form = test::FormWorld::show(*bob, 1, 'N');
      form->f.ReturnTime = "4:30P";
      form->f.Location = "Bank";
      form->OKbtnClick();
      bobSaved = form->closed();
    };

    auto form = test::FormWorld::show(w.ws, 1, 'N');
    form->f.ReturnTime = "4:30P";
    form->f.Location = "Dentist";
    form->OKbtnClick();
    SCOPED_TRACE(c.reason);
    EXPECT_FALSE(locksLeft);
    EXPECT_TRUE(bobSaved) << w.fake.dialogs.allText();
    EXPECT_EQ(w.record("LOCATE.DAF", 2).headline(), "Bank");
    ASSERT_FALSE(w.fake.dialogs.dialogs.empty());
    const DialogRequest& d = w.fake.dialogs.dialogs.front();
    EXPECT_EQ(d.message.rfind("Not done: the change to the in/out board was not saved.", 0), 0u) << d.message;
    EXPECT_NE(d.message.find(w.path("LOCATE.DAF") + "\" could not be read or written: " + c.reason + "."),
              std::string::npos)
        << d.message;
    EXPECT_NE(d.message.find(c.advice), std::string::npos) << d.message;
    EXPECT_NE(d.detail.find("(WBR-1-"), std::string::npos) << d.detail;
    EXPECT_NE(d.detail.find("errno " + std::to_string(c.err)), std::string::npos) << d.detail;
  }
}

TEST(FileFailureReports, ReportsHeldUnderSeveralLocksAreShownOnceWhenTheLastGoes) {
  test::FormWorld w;
  ASSERT_TRUE(AcquireLock(w.ws, "MEMOLK", "T"));
  ASSERT_TRUE(AcquireLock(w.ws, "EGLOG", "T"));
  errno = 0;
  for (int i = 0; i < 3; ++i) ReportIoError(w.ws, io::DiskWriteError, "EGOK-LOG", w.path("INOUT.DAF"), EIO);
  ReleaseLock(w.ws, "EGLOG");
  EXPECT_TRUE(w.fake.dialogs.dialogs.empty());
  ReleaseLock(w.ws, "MEMOLK");
  ASSERT_EQ(w.fake.dialogs.dialogs.size(), 1u) << w.fake.dialogs.allText();
  const std::string& m = w.fake.dialogs.dialogs[0].message;
  EXPECT_EQ(m.rfind("Not done: the message was not saved; the line of the in/out journal was not written.", 0), 0u)
      << m;
  EXPECT_NE(w.fake.dialogs.dialogs[0].detail.find("(EGOK-LOG)\"  errno 5"), std::string::npos)
      << w.fake.dialogs.dialogs[0].detail;
}

}  // namespace
}  // namespace egresso
