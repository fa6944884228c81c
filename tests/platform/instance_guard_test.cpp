#include "platform/instance_guard.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "support/fake_platform.h"

namespace egresso {
namespace {

TEST(InstanceGuard, SecondHolderOfTheSameNameIsRefused) {
  test::TempDir dir;
  InstanceGuard first, second, other;
  EXPECT_EQ(first.acquire(dir.str(), "Egresso"), InstanceGuard::Result::Acquired);
  EXPECT_EQ(second.acquire(dir.str(), "Egresso"), InstanceGuard::Result::Busy);
  EXPECT_EQ(other.acquire(dir.str(), "Egresso-B"), InstanceGuard::Result::Acquired);
}

TEST(InstanceGuard, LockIsFreedWhenTheHolderEnds) {
  test::TempDir dir;
  {
    InstanceGuard first;
    ASSERT_EQ(first.acquire(dir.str(), "Egresso"), InstanceGuard::Result::Acquired);
  }
  InstanceGuard again;
  EXPECT_EQ(again.acquire(dir.str(), "Egresso"), InstanceGuard::Result::Acquired);
}

TEST(InstanceGuard, UnusableFolderIsReported) {
  InstanceGuard g;
  EXPECT_EQ(g.acquire("/nonexistent/folder", "Egresso"), InstanceGuard::Result::Unavailable);
}

TEST(InstanceGuard, LinkedLockFileIsNotFollowed) {
  test::TempDir dir;
  test::writeFile(dir / "elsewhere", "keep");
  std::filesystem::create_symlink(dir / "elsewhere", dir / "Egresso.lock");
  InstanceGuard g;
  EXPECT_EQ(g.acquire(dir.str(), "Egresso"), InstanceGuard::Result::Unavailable);
  EXPECT_EQ(g.acquire("", "Egresso"), InstanceGuard::Result::Unavailable);
}

// Runs check with XDG_RUNTIME_DIR set to folder, then restores it.
void withRuntimeDir(const std::string& folder, const std::function<void()>& check) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  std::string keep = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  check();
  if (saved) {
    setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(InstanceGuard, LockFolderIsPrivateToTheUser) {
  test::TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
  withRuntimeDir(dir.str(), [&] { EXPECT_EQ(InstanceLockFolder(), dir.str()); });
  // A folder everybody may write to would let another user hold the lock.
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  withRuntimeDir(dir.str(), [&] {
    std::string folder = InstanceLockFolder();
    EXPECT_NE(folder, dir.str());
    if (!folder.empty()) {
      struct stat st {};
      ASSERT_EQ(::stat(folder.c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(st.st_uid, ::getuid());
      EXPECT_EQ(st.st_mode & 022, 0u);
    }
  });
}

TEST(InstanceGuard, NameCarriesTheStationOverride) {
  const char* saved = std::getenv("EGRESSO_STATION");
  std::string keep = saved ? saved : "";
  unsetenv("EGRESSO_STATION");
  EXPECT_EQ(InstanceLockName(), "Egresso");
  setenv("EGRESSO_STATION", "desk 2/b", 1);
  EXPECT_EQ(InstanceLockName(), "Egresso-desk_2_b");
  // As long as the workstation identity, which keeps only 15 characters.
  setenv("EGRESSO_STATION", std::string(300, 'w').c_str(), 1);
  EXPECT_EQ(InstanceLockName(), "Egresso-" + std::string(15, 'w'));
  if (saved) {
    setenv("EGRESSO_STATION", keep.c_str(), 1);
  } else {
    unsetenv("EGRESSO_STATION");
  }
}

}  // namespace
}  // namespace egresso
