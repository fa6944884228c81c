// One running copy of the program: every record, buffer and flag that the
// program keeps for the life of the process. Nothing is global, so tests can
// run several workstations side by side on one data folder.
#pragma once

#include <cstdint>
#include <string>

#include "board/board_state.h"
#include "config/options.h"
#include "config/paths.h"
#include "config/records.h"
#include "platform/services.h"
#include "startup/host_state.h"
#include "startup/notices.h"
#include "storage/engine_state.h"
#include "storage/lock_state.h"

namespace egresso {

struct Workstation {
  explicit Workstation(Platform p) : platform(p) {}

  Platform platform;

  // Configuration (loaded by the start-up routine).
  Paths paths;
  MainConfig mcfg;
  PersonalConfig pcfg;
  Options options;
  NoticeTable notices;

  // Identity.
  std::string thisUser;    // initials of the user at this workstation, at most 3
  std::string stationId;   // identity of this computer, at most 15
  int userSlot = 0;        // 1..50 in the employee table, 0 = not found
  bool multiUser = false;

  // Program-wide flags and values.
  std::int16_t today = 0;  // day number of the current date
  bool quitRequested = false;
  bool passwordDialogClosed = true;
  bool hostShown = false;
  bool hostReady = false;
  bool boardOpen = false;
  bool announcementChanged = false;
  bool messageRefreshRequest = false;
  int listMode = 1;        // 1 = in/out board, 0 = message list
  bool archiveView = false;

  // Subsystem state.
  EngineState engine;
  LockState locks;
  HostState host;
  BoardState board;
};

}  // namespace egresso
