#include "storage/held_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "storage/record_io.h"
#include "workstation_fixture.h"

namespace egresso {
namespace {

class HeldLockTest : public test::WorkstationTest {};

TEST_F(HeldLockTest, EveryWayOutOfTheScopeReleasesTheLock) {
  try {
    HeldLock lock(ws, "LOCATELK", "TEST");
    ASSERT_TRUE(lock);
    EXPECT_TRUE(std::filesystem::exists(path("LOCATELK.LOK")));
    throw std::runtime_error("handler failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(std::filesystem::exists(path("LOCATELK.LOK")));
  EXPECT_TRUE(ws.locks.Taken.empty());

  {
    HeldLock outer(ws, "LOCATELK", "TEST");
    HeldLock inner(ws, "LOCATELK", "TEST");  // taken again inside a wait
    inner.release();
    inner.release();
    EXPECT_TRUE(std::filesystem::exists(path("LOCATELK.LOK")));
  }
  EXPECT_FALSE(std::filesystem::exists(path("LOCATELK.LOK")));
}

TEST_F(HeldLockTest, BusyLockIsNotReleasedForItsHolder) {
  test::writeFile(path("LOCATELK.LOK"), "XYZ BBSL1 !!        2222\r\n");
  fake.lockAlert.keyAnswer = 27;  // the user gives up waiting
  {
    HeldLock lock(ws, "LOCATELK", "TEST");
    EXPECT_FALSE(lock);
  }
  EXPECT_EQ(test::readFile(path("LOCATELK.LOK")), "XYZ BBSL1 !!        2222\r\n");
}

// Folders the program makes are used by every account sharing the data
// folder, whatever the umask of the account that made them.
TEST(CreateFolder, NewFolderIsOpenToTheGroupAndReadableByAll) {
  test::TempDir dir;
  const mode_t before = ::umask(077);
  const int rc = createFolder(dir / "BACKUP", PosixFileOps());
  ::umask(before);
  ASSERT_EQ(rc, io::Ok);
  struct stat st;
  ASSERT_EQ(::stat((dir / "BACKUP").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0775u);
  EXPECT_EQ(createFolder(dir / "BACKUP", PosixFileOps()), io::Ok);  // there already
}

}  // namespace
}  // namespace egresso
