// Run-time options set by the start-up switches; they live for the process
// only. Defaults are the values LoadSwitches sets before applying switches.
// Numeric options use -99 for "not given" where the switch only overrides.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace egresso {

// What the host knows about the desktop before start-up; new personal
// records take their placements and one colour from it. LoadSwitches keeps it.
struct DisplayInfo {
  int ScreenWidth = 1024;
  int ScreenHeight = 768;
  std::int32_t ButtonFace = 0x00F0F0F0;  // colour value: red lowest byte, top byte 0
};

struct Options {
  std::string MainUserOverride;   // "/MU="
  bool MuStar = false, MuHash = false, MuMinus = false;
  int CalcPrinter = -1;           // "/LP=" n-1, -1 none
  int PhoneDigitsMin = 7;         // "/PN="
  int KeepDays = 20;              // "/EM="
  bool StartMinimised = false;    // "/IM"
  bool ArchiveOn = false;         // "/AM"
  bool ArchiveOff = false;        // "/DA"
  int LockTimeoutSwitch = -1;     // "/EL=", -1 leave
  bool SignAllOutMinus = false, SignAllOutPlus = false;      // "/SI-", "/SI+"
  bool OwnSignInMinus = false, OwnSignInPlus = false;        // "/SJ-", "/SJ+"
  bool ReportsUserPlus = false, ReportsUserMinus = false;    // "/IL+", "/IL-"
  bool NoReportUser = false;      // "/IL*"
  bool PasswordPlus = false;      // "/PW+"
  bool AllPasswordPlus = false, AllPasswordMinus = false;    // "/UA+", "/UA-"
  bool PrintTitle = true;         // "/NT" off
  bool ShowEveryEntry = true;     // "/LE" off
  bool WorkClock = false;         // "/WC" toggles
  bool StartInMessages = false;   // "/MC": ListMode 0 at start
  bool ReturnFirst = false;       // "/RT"
  bool Notifications = true;      // "/NO" off, "/NL=" on
  bool NotifyAll = false;         // "/SA", "/NA-" cancels
  bool MorningRun = true;         // "/UM" off
  bool TallBoard = false;         // "/TS"
  bool MemoReadOnly = false;      // "/MM"
  bool BoldPrint = true;          // "/NB" off
  bool TimeStamped = false;       // "/OT"
  bool NoticesFromFile = false;   // "/MF"
  bool LogPlus = false, LogSharedPlus = false, LogMinus = false, LogSharedMinus = false;  // "/SL+", "/SLO+", "/SL-", "/SLO-"
  bool TracePlus = false, TraceMinus = false;                // "/TB+", "/TB-"
  bool NoSwitch = false;          // "/MS"
  bool SortedBoard = true;        // "/DS" off
  bool IndexedScan = true;        // "/QR-" toggles
  bool ReturnDateTime = false;    // "/DT"
  bool StretchPrint = true;       // "/NS" off
  int ZoneHours = -99;            // "/SZ="
  bool TrayIcon = true;           // "/TY" off
  bool FlashMode = false;         // "/FI"
  int DailyOffsetSwitch = -99;    // "/UT="
  bool QuietBoard = false;        // "/SS"
  int HostTimerSwitch = -99;      // "/FT="
  int BoardTimerSwitch = -99;     // "/BT="
  bool DailyBackup = true;        // "/BU" off
  int OutColour = 0;              // "/OC="
  bool StaggerPlus = false, StaggerMinus = false;            // "/SR+", "/SR-"
  bool OwnEntryOnly = false;      // "/LS"
  bool AutoInOut = false;         // "/SX"
  bool CompactMode = false;       // "/PD"
  int PanelHeight = -99, PanelWidth = -99, PanelTop = -99, PanelLeft = -99;  // "/PDH=" ...
  bool DecimalComma = false;      // "/EC"
  int CalcRowsSwitch = 0;         // "/CL="
  bool NoDisplayNames = false;    // turns explicit client display names off
  bool MarkFlaggedClients = false;
  bool CdGiven = false, TwelveGiven = false;                 // "/CD", "/12"
  int EtValue = -99;              // "/ET="
  int EeValue = -99;              // "/EE="
  bool FlagLogMode = false;       // "/FL"
  bool NormalDataPresent = false; // "/RD=": the normal data folder held a configuration
  // "/ED=" and "/BD=" texts of a switch file that named a folder outside the
  // data folder, refused (shown once at start).
  std::vector<std::string> RefusedFolderSwitches;
  // Keys of the office suite that this program accepts without acting on
  // them, each with its value text ("" for keys without "=").
  std::map<std::string, std::string> SuiteOptions;

  // Derived at start-up.
  bool LoggingOn = false;
  bool SharedLog = false;
  bool ReportsPreset = false;     // reports default to the current user
  bool MainConfigCreated = false; // this start wrote a new main configuration
  char DecimalSeparator = '.';

  // Given by the host before start-up; LoadSwitches keeps them.
  bool SmallFonts = false;
  double FontScale = 1.0;
  DisplayInfo Display;
};

}  // namespace egresso
