// A multi-user workstation on a fresh temporary data folder, with the
// notice texts the storage layer shows filled in so messages can be read.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/fake_platform.h"

namespace egresso::test {

inline void fillNotices(Workstation& ws) {
  ws.notices.lines.assign(2100, std::string());
  auto set = [&](int n, const char* text) { ws.notices.lines[n - 1] = text; };
  set(16, "Held by");
  set(17, "Esc gives up");
  set(18, "Waiting");
  set(29, "OK");
  set(301, "Read error");
  set(303, "File not open");
  set(315, "Please tell ");
  set(316, "your administrator.");
  set(407, "Yes");
  set(408, "No");
  set(1601, "Check the network");
  set(1650, "The data folder can be reached");
  set(1653, "Cannot reach");
  set(1654, " now.");
  set(1720, "Cannot read ");
  set(1721, ". Restore?");
  set(1726, "Backup error ");
  set(1727, "\" not copied.");
  set(1910, "No backup folder ");
  set(1911, ".");
  set(2069, "The file \"");
  set(2070, "\" could not be read or written: ");
  set(2072, "permission denied");
  set(2077, "Ask for access to it.");
  set(2073, "no such file or folder");
  set(2074, "input/output error");
  set(2078, "Check the network drive.");
  set(2079, "Check the network.");
  set(1995, "Configuration lost; see ");
  set(1996, " and ");
  set(1997, ".");
}

// Sets up a workstation with the given initials and station identity on folder.
inline void joinFolder(Workstation& ws, const std::string& folder, const std::string& initials,
                       const std::string& station) {
  ws.paths.DataFolder = folder;
  ws.paths.BackupFolder = folder + "/BACKUP";
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.paths.PersonalConfigPath = folder + "/CFG" + initials + ".DAF";
  ws.ThisUser = initials;
  ws.StationId = station;
  ws.MultiUser = true;
  ws.locks.TraceFolder = folder;
  fillNotices(ws);
}

class WorkstationTest : public ::testing::Test {
 protected:
  WorkstationTest() { joinFolder(ws, dir.str(), "ABC", "1111"); }

  std::string path(const std::string& name) const { return dir.str() + "/" + name; }
  std::string trace() const { return readFile(dir / "TEST"); }
  std::string shown() const { return fake.dialogs.allText(); }

  TempDir dir;
  FakePlatform fake;
  Workstation ws{fake.platform()};
};

}  // namespace egresso::test
