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
#include "messages/form_state.h"
#include "platform/services.h"
#include "startup/host_state.h"
#include "text/notices.h"
#include "storage/engine_state.h"
#include "storage/file_ops.h"
#include "storage/lock_state.h"
#include "tools/accessory_state.h"
#include "tools/password_state.h"

namespace egresso {

struct Workstation {
  explicit Workstation(Platform p) : platform(p) { ownFiles.root = &paths.DataFolder; }
  // ownFiles looks at this object's own data folder.
  Workstation(const Workstation&) = delete;
  Workstation& operator=(const Workstation&) = delete;

  Platform platform;
  // The file-system calls of the storage layer (a test's may fail on purpose).
  StationFileOps ownFiles;
  FileOps* files = &ownFiles;

  // Configuration (loaded by the start-up routine).
  Paths paths;
  MainConfig mcfg;
  PersonalConfig pcfg;
  Options options;
  NoticeTable notices;

  // Identity.
  std::string ThisUser;    // initials of the user at this workstation, at most 3
  std::string StationId;   // identity of this computer, at most 15
  int UserSlot = 0;        // 1..50 in the employee table, 0 = not found
  bool MultiUser = false;

  // Program-wide flags and values.
  std::int16_t Today = 0;  // day number of the current date
  bool QuitRequested = false;
  // The start-up routine ran to its end: only then does the program act for
  // the user at exit (a start-up left at the password writes nothing).
  bool StartupFinished = false;
  bool PasswordDialogClosed = true;
  bool HostShown = false;
  bool HostReady = false;
  bool BoardOpen = false;
  bool AnnouncementChanged = false;
  bool MessageRefreshRequest = false;
  int ListMode = 1;        // 1 = in/out board, 0 = message list
  bool ArchiveView = false;
  // Waits of a command in progress (core/waiting.h): above 0, timer ticks
  // leave the files and the record buffers to the command.
  int WaitDepth = 0;

  // Subsystem state.
  EngineState engine;
  LockState locks;
  HostState host;
  BoardState board;
  FormState form;
  PasswordState password;
  AccessoryState accessories;
};

}  // namespace egresso
