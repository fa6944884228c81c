// A single-user workstation on fake platform services with an empty data
// folder (which also holds the trace file) and the notice texts the storage
// routines show or build names from.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "config/startup_routine.h"
#include "core/workstation.h"
#include "storage/workstation_fixture.h"
#include "support/fake_platform.h"

namespace egresso::test {

inline void fillStorageNotices(Workstation& ws) {
  fillNotices(ws);
  auto set = [&](int n, const std::string& text) { ws.notices.lines[n - 1] = text; };
  static const char* const kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                        "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
  static const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
  for (int m = 0; m < 12; ++m) set(184 + m, kMonths[m]);
  for (int d = 0; d < 7; ++d) set(177 + d, kDays[d]);
  set(31, "is not a date");
  set(302, "Write error");
  set(403, "Not a number");
  set(1795, "The data folder ");
  set(1796, " cannot be reached.");
  set(1901, "File failure: ");
  set(1902, "\" is in use");
  set(1903, ". The program ends.");
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : ws(fp.platform()) {
    fillStorageNotices(ws);
    setDataFolder(dir.str());
    ws.locks.TraceFolder = dir.str();
    ws.Today = 5000;
  }

  void setDataFolder(const std::string& folder) {
    ws.paths.DataFolder = folder;
    BuildDataPaths(ws);
  }

  std::string path(const std::string& name) const { return dir.str() + "/" + name; }
  std::string trace() const { return readFile(dir / "TEST"); }

  TempDir dir;
  FakePlatform fp;
  Workstation ws;
};

}  // namespace egresso::test
