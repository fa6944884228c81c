// The workstation of a helper program that multi-process tests start: the
// data folder's paths, a user and station, and the main configuration read
// from the folder.
#pragma once

#include <string>

#include "board/board_list.h"
#include "core/workstation.h"
#include "storage/record_io.h"

namespace egresso::test {

// False when the folder's main configuration cannot be read.
inline bool SetUpChildStation(Workstation& ws, const std::string& folder, const std::string& user,
                              const std::string& station) {
  ws.paths.DataFolder = folder;
  ws.paths.BulletinFolder = folder + "/BULLETIN";
  ws.paths.MainConfigPath = folder + "/CFGMAIN.DAF";
  ws.locks.TraceFolder = folder;
  ws.ThisUser = user;
  ws.StationId = station;
  ws.MultiUser = true;
  RecordFile cfg;
  if (cfg.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadOnly, PosixFileOps()) != io::Ok ||
      cfg.read(0, ws.mcfg.bytes) != io::Ok)
    return false;
  ws.UserSlot = FindUserSlot(ws, ws.ThisUser);
  return true;
}

}  // namespace egresso::test
