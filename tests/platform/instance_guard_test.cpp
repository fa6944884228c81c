#include "platform/instance_guard.h"

#include <gtest/gtest.h>

#include <cstdlib>

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

TEST(InstanceGuard, NameCarriesTheStationOverride) {
  const char* saved = std::getenv("EGRESSO_STATION");
  std::string keep = saved ? saved : "";
  unsetenv("EGRESSO_STATION");
  EXPECT_EQ(InstanceLockName(), "Egresso");
  setenv("EGRESSO_STATION", "desk 2/b", 1);
  EXPECT_EQ(InstanceLockName(), "Egresso-desk_2_b");
  if (saved) {
    setenv("EGRESSO_STATION", keep.c_str(), 1);
  } else {
    unsetenv("EGRESSO_STATION");
  }
}

}  // namespace
}  // namespace egresso
