#include "config/startup_routine.h"

#include <algorithm>
#include <filesystem>
#include <new>

#include "config/switches.h"
#include "messages/daily.h"
#include "config/notices_file.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "storage/pending_maintenance.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"
#include "tools/dial.h"
#include "tools/password.h"

namespace egresso {

namespace {

namespace fs = std::filesystem;

std::string withoutFinalSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The file in the folder whose name is `name` when both are upper-cased:
// the program's own files may have been copied with either case.
std::string findAnyCase(const std::string& folder, const std::string& name) {
  const std::string exact = folder + "/" + name;
  if (fileExists(exact)) return exact;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "/" : folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string found = it->path().filename().string();
    if (UpperText(found) == name && fileExists(it->path())) return it->path().string();
  }
  return {};
}

bool folderHoldsBitmaps(const std::string& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = UpperText(it->path().filename().string());
    if (name.size() > 4 && name.ends_with(".BMP") && fileExists(it->path())) return true;
  }
  return false;
}

// Position 1..50 of the initials in the employee table, the last one when
// they stand there twice; 0 when empty or not found.
bool alternativeFolderInUse(const Workstation& ws) {
  return !ws.paths.AltDataFolder.empty() && !ws.options.NormalDataPresent;
}

// The main user as it will stand after the switch overrides.
std::string effectiveMainUser(const Workstation& ws) {
  return ws.options.MainUserOverride.empty() ? ws.mcfg.mainUserInitials() : ws.options.MainUserOverride;
}

// A user missing from the employee table of a multi-user installation is
// told so and the program ends. Decided before this user's personal file is
// read or created, so the data folder is left exactly as it was.
bool rejectUnknownUser(Workstation& ws) {
  const std::string mainUser = effectiveMainUser(ws);
  if (ws.ThisUser.empty() || mainUser.empty() || ws.mcfg.slotOf(ws.ThisUser) != 0 || ws.ThisUser == mainUser ||
      alternativeFolderInUse(ws))
    return false;
  ws.platform.dialogs->messageBox(ws.ThisUser + MessageText(ws, 1598) + MessageText(ws, 1874) + mainUser +
                                      MessageText(ws, 1875),
                                  BoxKind::Information);
  ws.QuitRequested = true;
  return true;
}

// The switches that replace stored bytes of the personal record.
void applyPersonalOverrides(Workstation& ws) {
  const Options& o = ws.options;
  PersonalConfig& p = ws.pcfg;
  p.setU8(pcfg::Byte140, o.CdGiven ? 0 : 1);
  // The calculator grid holds 1 to 32767 rows.
  if (o.CalcRowsSwitch > 0 && o.CalcRowsSwitch <= 32767) p.setI16(pcfg::CalcRows, static_cast<std::int16_t>(o.CalcRowsSwitch));
  if (o.EtValue != -99 && static_cast<std::int8_t>(o.EtValue & 0xFF) >= 0)
    p.setU8(pcfg::Byte158, static_cast<std::uint8_t>(o.EtValue & 0xFF));
  p.setU8(pcfg::Byte112, o.TwelveGiven ? 0 : 1);
  if (o.PasswordPlus) p.setU8(pcfg::RequestPassword, 1);
}

}  // namespace

void ApplyMainConfigSwitches(Workstation& ws) {
  const Options& o = ws.options;
  MainConfig& m = ws.mcfg;
  if (o.MuStar || o.MuHash) {
    m.setU8(mcfg::OneUserDate, o.MuHash ? 1 : 0);
    m.setU8(mcfg::MainUserMorning, o.MuStar ? 1 : 0);
  }
  if (o.MuMinus) {
    m.setU8(mcfg::OneUserDate, 0);
    m.setU8(mcfg::MainUserMorning, 0);
  }
  if (o.EeValue >= 0) m.setI16(mcfg::EeWord, static_cast<std::int16_t>(std::min(o.EeValue, 32767)));
  if (!o.MainUserOverride.empty()) m.setStr(mcfg::MainUserInitials, 3, o.MainUserOverride);
  if (o.ArchiveOn) m.setU8(mcfg::ArchiveMessages, 1);
  if (o.ArchiveOff) m.setU8(mcfg::ArchiveMessages, 0);
  if (o.SignAllOutMinus) m.setU8(mcfg::NoSignAllOut, 1);
  if (o.SignAllOutPlus) m.setU8(mcfg::NoSignAllOut, 0);
  if (o.OwnSignInMinus) m.setU8(mcfg::OwnSignInOnly, 0);
  if (o.OwnSignInPlus) m.setU8(mcfg::OwnSignInOnly, 1);
  if (o.LogPlus) m.setU8(mcfg::InOutLog, 1);
  if (o.LogSharedPlus) m.setU8(mcfg::InOutLogShared, 1);
  if (o.LogMinus) m.setU8(mcfg::InOutLog, 0);
  if (o.LogSharedMinus) m.setU8(mcfg::InOutLogShared, 0);
  if (o.TracePlus) m.setU8(mcfg::TraceLog, 1);
  if (o.TraceMinus) m.setU8(mcfg::TraceLog, 0);
  if (o.AllPasswordPlus) m.setU8(mcfg::PasswordForAll, 1);
  if (o.AllPasswordMinus) m.setU8(mcfg::PasswordForAll, 0);
  if (o.ReportsUserPlus) m.setU8(mcfg::ReportsForUser, 1);
  if (o.ReportsUserMinus) m.setU8(mcfg::ReportsForUser, 0);
  if (o.LockTimeoutSwitch >= 0) m.setI16(mcfg::LockTimeout, static_cast<std::int16_t>(o.LockTimeoutSwitch));
  if (o.DailyOffsetSwitch != -99) {
    // Hours times 100, kept to the field's 8 bits and read back signed:
    // "/UT=3" gives 44, "/UT=2" a negative value that changes nothing.
    const auto offset = static_cast<std::int8_t>((o.DailyOffsetSwitch * 100) & 0xFF);
    if (offset > 0) m.setU8(mcfg::DailyOffset, static_cast<std::uint8_t>(offset));
  }
  if (o.StaggerPlus) m.setU8(mcfg::StaggerRefresh, 1);
  if (o.StaggerMinus) m.setU8(mcfg::StaggerRefresh, 0);
  // Timer periods are one byte of seconds - 1; values beyond that are ignored.
  if (o.HostTimerSwitch >= 1 && o.HostTimerSwitch <= 255)
    m.setU8(mcfg::HostTimerSeconds, static_cast<std::uint8_t>(o.HostTimerSwitch));
  if (o.BoardTimerSwitch >= 1 && o.BoardTimerSwitch <= 256)
    m.setU8(mcfg::BoardTimerSeconds, static_cast<std::uint8_t>(o.BoardTimerSwitch - 1));
  if (m.i8(mcfg::DailyOffset) < 0) {
    m.setU8(mcfg::DailyOffset, 0);
    ws.options.MorningRun = false;
  }
  ws.options.LoggingOn = m.flag(mcfg::InOutLog) || m.flag(mcfg::InOutLogShared);
  ws.options.SharedLog = m.flag(mcfg::InOutLogShared);
}

void ReloadMainConfig(Workstation& ws, std::string_view tag) {
  ReadMainConfig(ws, tag);
  ApplyMainConfigSwitches(ws);
}

namespace {

void applyPanelArea(Workstation& ws) {
  const int values[4] = {ws.options.PanelHeight, ws.options.PanelWidth, ws.options.PanelTop, ws.options.PanelLeft};
  for (int i = 0; i < 4; ++i)
    if (values[i] != -99) ws.pcfg.setI16(pcfg::PanelArea + 2 * static_cast<std::size_t>(i), static_cast<std::int16_t>(values[i]));
}

void searchModem(Workstation& ws) {
  const char port = static_cast<char>(ws.pcfg.u8(pcfg::ModemPort));
  if (port >= '1' && port <= '4') {
    if (!FindModemPort(ws, port - '0')) FindModemPort(ws, 0);
  } else {
    FindModemPort(ws, 0);
  }
}

void openWorkClockFiles(Workstation& ws) {
  if (!ws.options.WorkClock) return;
  const bool sched = AcquireLock(ws, "SCHED", "INI");
  const bool log = sched && AcquireLock(ws, "LOG", "INI");
  if (sched && log) {
    // Both sets must exist before the work clock writes to them.
    ws.engine.LogMode = true;
    SetLogFileNames(ws, ws.Today);
    const std::string& logData = ws.paths.LogDataPath;
    OpenCalFiles(ws, logData.substr(0, logData.size() - std::min<std::size_t>(4, logData.size())));
    ws.engine.LogMode = false;
    OpenCalFiles(ws, ws.paths.DataFolder + "/SCHED");
  }
  if (log) ReleaseLock(ws, "LOG");
  if (sched) ReleaseLock(ws, "SCHED");
  if (ws.options.FlagLogMode) ws.engine.LogMode = true;
}

void runStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args) {
  // Steps 1-3: the paths record and the product.
  ws.paths.ProgramFolder = withoutFinalSlash(programFolder);
  ws.paths.ProductTitle = "Egresso";
  ws.paths.AltDataFolder.clear();
  ws.paths.ExtraFolder.clear();
  ws.paths.DataFolder = ws.paths.ProgramFolder;
  ws.paths.BackupFolder = ws.paths.DataFolder + "/BACKUP";
  ws.paths.NoticesPath = ws.paths.ProgramFolder + "/NOTICES.TXT";

  // Step 5 comes before the switches: without the notice file nothing in the
  // data folder may be read, created or written.
  // A notice file that is empty or cannot be read is as good as missing:
  // without its texts every dialog would be blank.
  const std::string notices = findAnyCase(ws.paths.ProgramFolder, "NOTICES.TXT");
  if (!notices.empty()) ws.paths.NoticesPath = notices;
  if (notices.empty() || !LoadNotices(ws)) {
    ws.platform.dialogs->messageBox(NoticesMissingText(ws.paths.ProgramFolder), BoxKind::Warning);
    ws.QuitRequested = true;
    return;
  }
  // An office's own or a translated file may stop before the newest texts;
  // those then come from the program. Said once here rather than at every
  // lookup, so the user learns why some texts read differently.
  if (NoticesOlderThanProgram(ws.notices))
    ws.platform.dialogs->messageBox(MessageText(ws, kNoticesOlderNote), BoxKind::Information);

  // Step 4.
  LoadSwitches(ws, args);
  ws.ListMode = ws.options.StartInMessages ? 0 : 1;
  // The switches let an extra folder outside the data folder come only from
  // the command line; made where its path really leads, so that the way
  // there is not taken for a way out of the data folder.
  if (!ws.paths.ExtraFolder.empty()) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::weakly_canonical(ws.paths.ExtraFolder, ec);
    createFolder(ec ? std::filesystem::path(ws.paths.ExtraFolder) : real, *ws.files);
  }

  // Step 7 (the notice texts were loaded with step 5); month and day names
  // are notice texts read when needed.
  ws.StationId = readStationId();
  ws.Today = DayNumber(ws.platform.clock->now());

  // Step 8.
  BuildDataPaths(ws);
  createFolder(ws.paths.BulletinFolder, *ws.files);

  // Step 9.
  if (ws.options.DecimalComma) {
    ws.options.DecimalSeparator = ',';
  } else {
    const std::string text = MessageText(ws, 1485);
    ws.options.DecimalSeparator = text.empty() ? '.' : text[0];
  }

  // Steps 10-11: a "/TB+" traces the very first read.
  if (ws.options.TracePlus) ws.mcfg.setU8(mcfg::TraceLog, 1);
  // A purge or restore that stopped half-way (its journal is there) is
  // completed, under its locks, before any of its files is read.
  FinishPendingMaintenanceAtStart(ws);
  // A record brought back from its rotating copies is the office's old
  // configuration, not a new one that nobody has filled in yet.
  const std::string& mainPath = ws.paths.MainConfigPath;
  const std::string mainStem = mainPath.substr(0, mainPath.size() - 3);
  const bool hadMainConfig = fileExists(mainPath) || fileExists(mainStem + "BAK") || fileExists(mainStem + "BAC");
  LoadMainConfig(ws, 3);
  ws.options.MainConfigCreated = !hadMainConfig && fileExists(mainPath);
  if (ws.options.TracePlus) ws.mcfg.setU8(mcfg::TraceLog, 1);
  if (ws.options.TraceMinus) ws.mcfg.setU8(mcfg::TraceLog, 0);
  // Told once the trace setting is known.
  ReportRefusedSwitches(ws);
  if (ws.QuitRequested) return;  // the configuration is lost: nothing more is written

  // Step 12.
  if (!ws.mcfg.mainUserInitials().empty() && ws.ThisUser.empty()) {
    ws.pcfg.setStr(pcfg::UserPassword, 8, "");
    IdentifyUser(ws);
    if (ws.QuitRequested) return;  // cancelled: no personal file for nobody
    BuildUserPaths(ws);
    if (rejectUnknownUser(ws)) return;
    LoadPersonalConfig(ws, 3);
  }

  // Steps 13-14.
  BuildUserPaths(ws);
  if (ws.ThisUser.empty()) ws.MultiUser = false;
  if (rejectUnknownUser(ws)) return;
  LoadPersonalConfig(ws, 3);

  // Step 15 (the two records' fields are apart, so each record's switches
  // are applied on their own).
  applyPersonalOverrides(ws);
  ApplyMainConfigSwitches(ws);
  // The multi-user decision is final here; making it before the write below
  // lets that write take the configuration lock like every later one.
  if (!ws.mcfg.mainUserInitials().empty()) ws.MultiUser = true;

  // Step 16.
  if (ws.ThisUser == ws.mcfg.mainUserInitials() && !(!ws.paths.AltDataFolder.empty() && ws.options.NormalDataPresent))
    WriteMainConfig(ws, "StartUp");

  // Step 17.
  ws.options.ReportsPreset = ws.mcfg.flag(mcfg::ReportsForUser) && !ws.options.NoReportUser;
  applyPanelArea(ws);

  // Steps 18-21.
  searchModem(ws);
  const std::string pictures = ws.paths.ProgramFolder + "/PICTURES";
  ws.paths.PicturesFolder = folderHoldsBitmaps(pictures) ? pictures : ws.paths.ProgramFolder;
  openWorkClockFiles(ws);
  ws.UserSlot = ws.mcfg.slotOf(ws.ThisUser);

  // Step 22; the user-not-in-table check (23) was made before the personal file.
  if (alternativeFolderInUse(ws)) ws.platform.dialogs->messageBox(MessageText(ws, 1649), BoxKind::Information);

  // Step 24.
  if (ws.pcfg.flag(pcfg::RequestPassword) || ws.mcfg.flag(mcfg::PasswordForAll)) {
    CheckStartupPassword(ws);
    if (ws.QuitRequested) return;  // no day's work for a user who did not get in
  }

  // Step 25; the report presets of step 26 have nothing to preset here.
  if (ws.Today != ws.pcfg.i16(pcfg::UserLastDate)) EarlyMorningStuff(ws, false);
  ws.StartupFinished = true;
}

}  // namespace

void BuildDataPaths(Workstation& ws) {
  Paths& p = ws.paths;
  const std::string& d = p.DataFolder;
  p.ProjectPlanFolder = d + "/PROJPLAN";
  p.ProjectNoteFolder = d + "/PROJNOTE";
  p.BulletinFolder = d + "/BULLETIN";
  p.MainConfigPath = d + "/CFGMAIN.DAF";
  p.SchedDataPath = d + "/SCHED.DAF";
  p.SchedIndexPath = d + "/SCHED.DAI";
  p.ClientDataPath = d + "/PROJ.DAF";
  p.ClientIndexPath = d + "/PROJ.DAI";
  p.ClientNamesPath = d + "/PROJ.DAE";
  p.CategoryPath = d + "/CATGRY.DAF";
  p.AccountPath = d + "/ACCT.DAF";
  p.AnnouncementFile = d + "/EGMEMO.TXT";
  BuildUserPaths(ws);
}

void BuildUserPaths(Workstation& ws) {
  Paths& p = ws.paths;
  const std::string& d = p.DataFolder;
  p.PersonalConfigPath = d + "/CFG" + ws.ThisUser + ".DAF";
  p.CalcFile = d + "/CALC" + ws.ThisUser + ".DAF";
  p.MemoFile = d + "/MEMO" + ws.ThisUser + ".DAF";
  p.TimeSlipFile = d + "/TMSLP." + ws.ThisUser;
}

void ProgramStartup(Workstation& ws, const std::string& programFolder, const std::vector<std::string>& args) {
  try {
    runStartup(ws, programFolder, args);
  } catch (const std::bad_alloc& e) {
    ReportException(ws, "EOutOfMemory", e.what(), "\"EIP\"");
    ws.QuitRequested = true;
  } catch (const std::exception& e) {
    ReportException(ws, "Exception", e.what(), "\"ProgramStartup\"");
    ws.QuitRequested = true;
  }
}

}  // namespace egresso
