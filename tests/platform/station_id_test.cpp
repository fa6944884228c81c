#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/services.h"

namespace egresso {
namespace {

// Restores EGRESSO_STATION as it was when the test began.
class StationEnv {
 public:
  StationEnv() {
    if (const char* v = std::getenv("EGRESSO_STATION")) saved_ = v, had_ = true;
  }
  ~StationEnv() {
    if (had_) setenv("EGRESSO_STATION", saved_.c_str(), 1);
    else unsetenv("EGRESSO_STATION");
  }

 private:
  std::string saved_;
  bool had_ = false;
};

TEST(StationId, OverrideIsCutToFifteenCharacters) {
  StationEnv env;
  setenv("EGRESSO_STATION", "ABCDEFGHIJKLMNOPQRS", 1);
  EXPECT_EQ(readStationId(), "ABCDEFGHIJKLMNO");
}

TEST(StationId, DerivedIdentityIsAStableDecimalNumber) {
  StationEnv env;
  unsetenv("EGRESSO_STATION");
  std::string id = readStationId();
  ASSERT_FALSE(id.empty());
  EXPECT_LE(id.size(), 10u);
  EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(readStationId(), id);
}

}  // namespace
}  // namespace egresso
