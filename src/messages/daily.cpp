#include "messages/daily.h"

#include <array>
#include <string>

#include "messages/board_files.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "storage/dates.h"
#include "storage/file_access.h"
#include "storage/file_ops.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

// Three bytes of the main configuration; when any is set the site keeps a
// processing day.
constexpr std::size_t kScheduleDayOptions = 4603;
constexpr std::int64_t kLeftTempAgeSeconds = 3600;

std::string TraceStamp(Workstation& ws) {
  return ws.ThisUser + "  " + FormatDay(ws, ws.Today) + " : " + traceTime(ws);
}

// The time-slip file belongs to one day; a file from another day goes.
void ClearOldTimeSlips(Workstation& ws) {
  const std::string& path = ws.paths.TimeSlipFile;
  if (path.empty() || !fileExists(path)) return;
  RecordFile f;
  std::array<std::uint8_t, 40> rec{};
  int rc = f.open(path, rec.size(), RecordFile::Mode::ReadOnly, *ws.files);
  if (rc == io::Ok) rc = f.read(1, rec);
  f.close();
  // A file whose day cannot be read is kept: nothing says it is old.
  if (rc == io::Ok && getI16(rec, 24) != ws.Today) deleteFile(path, *ws.files);
}

}  // namespace

std::int16_t ReadProcessedDay(Workstation& ws) {
  const std::string path = DataFile(ws, "1USRDATE.DAF");
  if (!fileExists(path)) WriteFileReplacing(*ws.files, path, FormatDay(ws, ws.Today - 1));
  std::string text;
  const int rc = ReadFileBounded(*ws.files, path, 10, text);
  ReportIoError(ws, rc, "FUD");
  return ParseDay(ws, text, "", false);
}

void EarlyMorningStuff(Workstation& ws, bool startedByTimer) {
  (void)startedByTimer;
  const bool trace = ws.mcfg.flag(mcfg::TraceLog);
  if (trace) traceLine(ws, "EarlyMorningStuff: " + TraceStamp(ws));
  bool firstOfDay = false;
  if (AcquireLock(ws, "CFGMAIN", "ErlMrnStf")) {
    // The shared record is read, moved on and written as it stands in the
    // file; this process keeps its own copy, with the switches applied to
    // it at start-up, and only takes the new day into it. The personal
    // record has this workstation as its only writer: the copy in memory
    // is the newer one and is written as it is.
    const MainConfig own = ws.mcfg;
    ReadMainConfig(ws, "ErlyMrn 1");
    const bool read = ws.locks.ConfigRead;
    if (read && ws.mcfg.i16(mcfg::LastDateUsed) != ws.Today) {
      DailyConfigBackup(ws);
      if (ws.options.DailyBackup) BackupDataFiles(ws);
      firstOfDay = true;
    }
    if (read) {
      ws.mcfg.setI16(mcfg::LastDateUsed, ws.Today);
      if (ws.mcfg.flag(mcfg::TraceLog))
        traceLine(ws, "EMstuff: " + TraceStamp(ws) + "   lastDateUsed = " + FormatDay(ws, ws.Today));
      WriteMainConfig(ws, "ErlyMrn 2");
    }
    ws.mcfg = own;
    if (read) ws.mcfg.setI16(mcfg::LastDateUsed, ws.Today);
    ws.pcfg.setI16(pcfg::UserLastDate, ws.Today);
    // The user's own day must reach the file now, or every start of the day
    // would take this user for a newcomer.
    WritePersonalConfig(ws);
    ReleaseLock(ws, "CFGMAIN");

    const bool anyDayOption = ws.mcfg.flag(kScheduleDayOptions) || ws.mcfg.flag(kScheduleDayOptions + 1) ||
                              ws.mcfg.flag(kScheduleDayOptions + 2);
    const bool mainUser = ws.ThisUser == ws.mcfg.mainUserInitials();
    if (ws.mcfg.flag(mcfg::OneUserDate) && anyDayOption &&
        (firstOfDay || (ws.mcfg.flag(mcfg::MainUserMorning) && mainUser)))
      ReadProcessedDay(ws);
    if (ws.MultiUser && firstOfDay && !ws.mcfg.flag(mcfg::NoSignAllOut)) SignAllOut(ws);
    // A write killed halfway (a crash, a power cut) left its temporary
    // beside the file it was to replace; the first start of a day clears
    // what is an hour old, long past any write still going on.
    if (firstOfDay)
      for (const std::string& folder : {ws.paths.DataFolder, ws.paths.BulletinFolder})
        if (!folder.empty()) RemoveLeftTempFiles(*ws.files, folder, kLeftTempAgeSeconds);
  } else if (!ws.locks.LockFailed) {
    // Only a user who gave up waiting gets here (a busy lock is waited for).
    ws.QuitRequested = true;
  }
  // A folder where no lock file can be made (read-only, say) was reported:
  // the board still shows what the folder holds, and says it is read-only.
  ClearOldTimeSlips(ws);
}

}  // namespace egresso
