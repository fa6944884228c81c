// Storage of the main configuration CFGMAIN.DAF (shared by every
// workstation, so reads retry and a damaged or missing file is restored
// from the copies kept beside it), of the personal configuration
// CFG<initials>.DAF, and the daily backup of the data files.
#include "config/config_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <array>
#include <cctype>
#include <ctime>
#include <vector>

#include "config/records_init.h"
#include "core/waiting.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/dates.h"
#include "storage/file_access.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

constexpr int kReadPauseMs = 250;
constexpr int kRestoreEvery = 9;  // attempts between two restores
constexpr int kAskEvery = 18;     // attempts between two questions to the user
constexpr int kCatalogueKinds = 62;
constexpr int kTermCount = 5;
constexpr std::size_t kTermStride = 16;  // string[15]

bool traceLogOn(const Workstation& ws) { return ws.mcfg.flag(mcfg::TraceLog); }

// MainConfigPath with its extension replaced ("BAK", "BAC").
std::string configSibling(const Workstation& ws, std::string_view ext) {
  const std::string& p = ws.paths.MainConfigPath;
  return p.substr(0, p.size() >= 3 ? p.size() - 3 : 0) + std::string(ext);
}

// The fields that end every trace line about the main configuration.
std::string configFields(Workstation& ws, std::string_view tag) {
  return traceSuffix(ws) + " lastDate=" + PadText(FormatDay(ws, ws.mcfg.i16(mcfg::LastDateUsed)), -9) +
         PadText(" Prsn1=\"" + ws.mcfg.empInitials(1) + "\"", 12) + "  Src=" + std::string(tag);
}

// The fields of the start-up repair lines (" BAKmcfgFyl: " and the like).
std::string repairFields(Workstation& ws, int level) {
  return ws.ThisUser + "  " + FormatDay(ws, ws.Today) + " : " + traceTime(ws) + "  Lvl=" + std::to_string(level);
}

void showOk(Workstation& ws, const std::string& message) {
  UltimateDialog(ws, message, 0, "", "", MessageText(ws, 29), 3);
}

// "Is the configuration to be restored and read again?" Returns the answer.
int askRetry(Workstation& ws, int defaultButton) {
  return UltimateDialog(ws, MessageText(ws, 1720) + ws.paths.MainConfigPath + MessageText(ws, 1721), 3,
                        MessageText(ws, 407), MessageText(ws, 408), "", defaultButton);
}

// The day (by this workstation's clock) a file was last written; 0 when missing.
int fileDay(Workstation& ws, const std::string& path) {
  struct stat st;
  if (ws.files->stat(path.c_str(), &st) != 0) return 0;
  std::time_t t = st.st_mtim.tv_sec;
  std::tm local{};
  if (!::localtime_r(&t, &local)) return 0;
  return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// Dates a copy with the moment it was taken by this workstation's clock,
// the same clock that gives Today, against which the once-a-day checks
// compare the copies' dates.
void stampTaken(Workstation& ws, const std::string& path) {
  const std::time_t t = static_cast<std::time_t>(EpochSeconds(ws.platform.clock->now()));
  if (t == static_cast<std::time_t>(-1)) return;
  struct timespec times[2] = {{t, 0}, {t, 0}};
  ws.files->utimens(path.c_str(), times);
}

// Made with an exclusive create: a name planted ahead is never written through.
std::string tempNameFor(const std::string& path) { return path + TempSuffix(); }

// Copies from over to, so that to is never left half written and keeps
// the permission bits and group every account relies on. A missing source
// leaves the target alone (it may be the last good copy of a lost file).
int copyGeneration(Workstation& ws, const std::string& from, const std::string& to) {
  if (!fileExists(from)) return io::Ok;
  int result = CopyReplacing(from, to, tempNameFor(to), *ws.files);
  if (result == io::Ok) stampTaken(ws, to);
  return result;
}

// Writes a whole one-record file. The new contents go to a file beside it
// that then takes its place, so a failed write (full disk, lost network)
// leaves the previous file intact instead of a truncated one; the new file
// keeps the old one's permission bits and group, so that the next account
// can save it too. A file that
// exists but cannot be opened for writing is left alone, as a plain
// rewrite would have to.
int writeWholeFile(Workstation& ws, const std::string& path, std::span<const std::uint8_t> bytes, std::int64_t& size) {
  size = 0;
  FileOps& ops = *ws.files;
  if (fileExists(path)) {
    RecordFile probe;
    int result = probe.open(path, bytes.size(), RecordFile::Mode::ReadWrite, ops);
    if (result != io::Ok) return result;
    // A file that holds these very bytes already is only stamped, as the
    // write would have stamped it: every start writes the configuration
    // back unchanged, and a new file and a rename are the slow part of that
    // on a file server.
    std::vector<std::uint8_t> current(bytes.size());
    if (probe.byteSize() == static_cast<std::int64_t>(bytes.size()) && probe.readRecords(0, current) == 1 &&
        std::equal(current.begin(), current.end(), bytes.begin()) && probe.stampNow() == io::Ok) {
      size = static_cast<std::int64_t>(bytes.size());
      return io::Ok;
    }
  }
  auto writeTo = [&](const std::string& target, RecordFile::Mode mode) {
    RecordFile f;
    int result = f.open(target, bytes.size(), mode, ops);
    if (result != io::Ok) return result;
    result = f.write(0, bytes);
    size = f.byteSize();
    int closed = f.close();
    return result != io::Ok ? result : closed;
  };
  const std::string temp = tempNameFor(path);
  int result = writeTo(temp, RecordFile::Mode::CreateNew);
  if (result == io::Ok) result = ReplaceFile(temp, path, ops);
  if (result == io::Ok) return io::Ok;
  if (result != io::AlreadyExists) deleteFile(temp, ops);
  // Written in place only where the folder or the file's access allows
  // nothing else: after a write error that would empty the file.
  if (result != io::AccessDenied) return result;
  return writeTo(path, RecordFile::Mode::Create);
}

// Moves the generations base+prefix+1..4 on by one and copies file in as
// generation 1; generations 3 and 4 move only when rotateOld.
void rotateGenerations(Workstation& ws, const std::string& file, const std::string& base, std::string_view prefix,
                       bool rotateOld) {
  // A data file that is missing keeps its generations as they are: they
  // are what it will be restored from.
  if (!fileExists(file)) return;
  auto gen = [&](int n) { return base + std::string(prefix) + std::to_string(n); };
  if (rotateOld) {
    copyGeneration(ws, gen(3), gen(4));
    copyGeneration(ws, gen(2), gen(3));
  }
  copyGeneration(ws, gen(1), gen(2));
  int result = copyGeneration(ws, file, gen(1));
  if (result != io::Ok)
    showOk(ws, MessageText(ws, 1726) + std::to_string(result) + ": \"" + file + MessageText(ws, 1727));
}

bool hasExtension(const std::string& name, std::string_view ext) {
  if (name.size() <= ext.size() + 1 || name[name.size() - ext.size() - 1] != '.') return false;
  for (std::size_t i = 0; i < ext.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[name.size() - ext.size() + i])) != ext[i]) return false;
  return true;
}

// The files of one extra backup group, in name order.
std::vector<std::string> groupFiles(const std::string& folder, std::string_view ext) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    std::string name = it->path().filename().string();
    if (hasExtension(name, ext)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Moves the body generations of one group on by one (renamed, not copied:
// a generation is a day's set whole, and the oldest goes) and copies the
// live bodies in as generation 1; generations 3 and 4 move only when
// rotateOld.
void rotateBodyGroup(Workstation& ws, const std::string& live, const std::string& backup, const BodyGroup& g,
                     bool rotateOld) {
  FileOps& ops = *ws.files;
  auto ext = [&](int n) { return std::string(g.prefix) + std::to_string(n); };
  auto stem = [](const std::string& name) { return name.substr(0, name.find('.')); };
  for (int to = rotateOld ? 4 : 2; to >= 2; --to) {
    for (const std::string& name : BodyFiles(backup, ext(to))) deleteFile(backup + "/" + name, ops);
    for (const std::string& name : BodyFiles(backup, ext(to - 1)))
      ops.rename((backup + "/" + name).c_str(), (backup + "/" + stem(name) + "." + ext(to)).c_str());
  }
  for (const std::string& name : BodyFiles(backup, ext(1))) deleteFile(backup + "/" + name, ops);
  for (const std::string& name : BodyFiles(live, g.extension)) {
    const std::string file = live + "/" + name;
    const int result = copyGeneration(ws, file, backup + "/" + stem(name) + "." + ext(1));
    if (result != io::Ok)
      showOk(ws, MessageText(ws, 1726) + std::to_string(result) + ": \"" + file + MessageText(ws, 1727));
  }
}

// A copy of the main configuration that holds a whole record: a copy that
// is itself cut short is no better than the file it would replace.
bool wholeConfigCopy(Workstation& ws, const std::string& path) {
  RecordFile f;
  std::array<std::uint8_t, mcfg::Size> record{};
  return f.open(path, mcfg::Size, RecordFile::Mode::ReadOnly, *ws.files) == io::Ok && f.read(0, record) == io::Ok;
}

// The newest whole copy in the backup folder ("" when there is none).
std::string newestBackupCopy(Workstation& ws) {
  std::string best;
  std::int64_t bestAge = -1;
  for (char generation = '0'; generation <= '4'; ++generation) {
    const std::string copy = ws.paths.BackupFolder + "/CFGMAIN.BA" + generation;
    const std::int64_t age = fileAgeNs(copy, *ws.files);
    if (age > bestAge && fileExists(copy) && wholeConfigCopy(ws, copy)) {
      best = copy;
      bestAge = age;
    }
  }
  return best;
}

// Where a damaged or missing main configuration is restored from: the
// daily copy, the one of the day before, then the backup folder's newest.
std::string restoreSource(Workstation& ws) {
  for (const char* ext : {"BAK", "BAC"}) {
    const std::string copy = configSibling(ws, ext);
    if (fileExists(copy) && wholeConfigCopy(ws, copy)) return copy;
  }
  return ws.paths.BackupFolder.empty() ? std::string() : newestBackupCopy(ws);
}

bool missingResult(int result) { return result == io::FileNotFound || result == io::PathNotFound; }

}  // namespace

bool PeekMainConfig(Workstation& ws, MainConfig& out) {
  RecordFile file;
  if (file.open(ws.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadOnly, *ws.files) != io::Ok) return false;
  std::array<std::uint8_t, mcfg::Size> record{};
  if (file.read(0, record) != io::Ok) return false;
  out.bytes = record;
  return true;
}

std::vector<std::string> BodyFiles(const std::string& folder, std::string_view extension) {
  std::string upper(extension);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<std::string> names;
  for (std::string& name : groupFiles(folder, upper)) {
    const std::size_t dot = name.size() - upper.size() - 1;
    if (dot > 0 && dot <= 5 && std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(dot),
                                            [](char c) { return c >= '0' && c <= '9'; }))
      names.push_back(std::move(name));
  }
  return names;
}

void ReadMainConfig(Workstation& ws, std::string_view tag) {
  LockState& L = ws.locks;
  const std::string tagText(tag);
  const bool lockedRead = ws.mcfg.flag(mcfg::LockedConfigReads);
  const bool traceOnEntry = traceLogOn(ws);
  if (lockedRead) {
    if (!AcquireLock(ws, lockname::ConfigRecord, "RMCfg - " + tagText)) {
      L.ConfigRead = false;
      return;
    }
  } else {
    L.LockBusy = false;
  }
  L.ConfigRead = false;
  L.ConfigUnreadable = false;

  const std::string& path = ws.paths.MainConfigPath;
  const bool quitOnEntry = ws.QuitRequested;
  bool lost = false;
  int result = io::Ok;
  int err = 0;
  for (int attempt = 1;; ++attempt) {
    RecordFile file;
    // Reading needs no write access: a configuration file that happens to
    // be read-only is read, not replaced by an older copy.
    errno = 0;
    result = file.open(path, mcfg::Size, RecordFile::Mode::ReadOnly, *ws.files);
    err = errno;
    const bool opened = result == io::Ok;
    // Only a file read and found short is damaged; one that is refused or
    // whose reading fails says nothing about its contents.
    bool damaged = false;
    if (opened) {
      std::int64_t size = file.byteSize();
      ws.mcfg.setI16(mcfg::LastDateUsed, 0);
      std::array<std::uint8_t, mcfg::Size> record{};
      errno = 0;
      result = file.read(0, record);
      err = errno;
      damaged = size < static_cast<std::int64_t>(mcfg::Size);
      file.close();
      if (result == io::Ok) {
        // Only a whole record replaces the one in memory.
        ws.mcfg.bytes = record;
        L.ConfigRead = true;
        break;
      }
      traceLine(ws, " CantRead " + configFields(ws, tagText) + "  Attmpt=" + std::to_string(attempt) + "  ERR[" +
                        std::to_string(result) + "]  Sz=" + std::to_string(size));
    } else {
      traceLine(ws, "CantReset " + configFields(ws, tagText) + "  Attmpt=" + std::to_string(attempt) +
                        "  ERR=" + std::to_string(result));
    }
    if (attempt % kRestoreEvery != 0) {
      PauseMs(ws, kReadPauseMs);
      continue;
    }
    if (!fileExists(path)) {
      if (!opened) result = io::Ok;
      break;
    }
    if (!damaged && !missingResult(result)) {
      // Restoring an older copy over it would roll the office back for a
      // file that may be whole: the report says why it cannot be read.
      L.ConfigUnreadable = true;
      break;
    }
    if (attempt % kAskEvery == 0 && askRetry(ws, 1) != 1) {
      ConfigLost(ws);
      lost = true;
      break;
    }
    RestoreMainConfig(ws, opened ? '2' : '1');
    // The user gave the configuration up in the restore's question.
    if (!quitOnEntry && ws.QuitRequested) {
      lost = true;
      break;
    }
  }

  if (!lost) {
    if (ws.mcfg.real(mcfg::ScaleReal) == 0.0) ws.mcfg.setReal(mcfg::ScaleReal, 1.0);
    ReportIoError(ws, result, "RMCfg:  " + tagText, path, result == io::Ok ? 0 : err);
    if (traceOnEntry)
      traceLine(ws, "ReadMCFG  " + configFields(ws, tagText) + "  FileRet=" + (L.ConfigRead ? "TRUE" : "FALSE"));
    NormalizeFileAttr(ws, path);
  }
  // Released exactly when taken: the flag may have changed with the read.
  if (lockedRead) ReleaseLock(ws, lockname::ConfigRecord);
}

void WriteMainConfig(Workstation& ws, std::string_view tag) {
  const std::string tagText(tag);
  HeldLock lock(ws, lockname::ConfigRecord, "MCFG - " + tagText);
  if (!lock) return;
  std::int64_t size = 0;
  int result = writeWholeFile(ws, ws.paths.MainConfigPath, ws.mcfg.bytes, size);
  ReportIoError(ws, result, "WMCfgf:  " + tagText, ws.paths.MainConfigPath);
  if (traceLogOn(ws)) traceLine(ws, "WriteMCFG " + configFields(ws, tagText) + "  Sz=" + std::to_string(size));
  NormalizeFileAttr(ws, ws.paths.MainConfigPath);
}

void RestoreMainConfig(Workstation& ws, char level) {
  const std::string& target = ws.paths.MainConfigPath;
  const std::string source = restoreSource(ws);
  if (source.empty()) return;

  std::int64_t size = -9;
  {
    RecordFile current;
    if (current.open(target, 1, RecordFile::Mode::ReadOnly, *ws.files) == io::Ok) size = current.byteSize();
  }
  const int closed = io::Ok;
  // The restored file is shared as the lost one was.
  FileAccess access = NoteAccess(target, *ws.files);
  if (!access.known) access = NoteAccess(source, *ws.files);
  const int deleted = deleteFile(target, *ws.files);
  int copied = copyFile(source, target, *ws.files);
  if (copied == io::Ok) {
    GiveAccess(target, access, *ws.files);
    stampTaken(ws, target);
  }
  traceLine(ws, std::string("   ") + level + " RestoreMCFG  " + source + "->" + target + "    Cls:Del:Cpy[" +
                    std::to_string(closed) + ":" + std::to_string(deleted) + ":" + std::to_string(copied) +
                    "]  sz=" + std::to_string(size));
  const bool deleteFailed = deleted != io::Ok && deleted != io::FileNotFound;
  if ((deleteFailed || copied != io::Ok) && askRetry(ws, 2) == 2) ConfigLost(ws);
}

void ConfigLost(Workstation& ws) {
  if (ws.platform.dialogs) ws.platform.dialogs->beep();
  showOk(ws, MessageText(ws, 1995) + ws.paths.BackupFolder + MessageText(ws, 1996) + ws.paths.MainConfigPath +
                 MessageText(ws, 1997));
  ws.QuitRequested = true;
}

void LoadMainConfig(Workstation& ws, int level) {
  LockState& L = ws.locks;
  const std::string lvl = std::to_string(level);
  bool write = level == 2;
  if (level != 2) {
    ws.QuitRequested = false;
    const std::string dat = ws.paths.MainConfigPath;
    const std::string bak = configSibling(ws, "BAK");
    const std::string bac = configSibling(ws, "BAC");
    bool repaired = false, restoreFailed = false, fromBackup = false;
    for (;;) {
      ReadMainConfig(ws, "Work R: (" + lvl + ")");
      // A read skipped because the user gave up waiting for the lock says
      // nothing about the file: it is neither repaired nor replaced. Nor is
      // one that is there but cannot be read (reported by the read).
      if (L.ConfigRead || level < 2 || ws.QuitRequested || L.LockBusy || L.ConfigUnreadable) break;
      repaired = true;
      InitMainConfig(ws);
      const std::string backupCopy = fromBackup ? std::string() : newestBackupCopy(ws);
      if (fileExists(bak) && wholeConfigCopy(ws, bak)) {
        if (fileExists(dat)) deleteFile(dat, *ws.files);
        if (copyGeneration(ws, bak, dat) != io::Ok) {
          restoreFailed = true;
          break;
        }
        traceLine(ws, " BAKmcfgFyl: " + repairFields(ws, level));
        if (!fileExists(bac)) copyGeneration(ws, bak, bac);
        deleteFile(bak, *ws.files);
      } else if (fileExists(bac) && wholeConfigCopy(ws, bac)) {
        if (copyGeneration(ws, bac, bak) != io::Ok) {
          restoreFailed = true;
          break;
        }
        traceLine(ws, " BACmcfgFyl: " + repairFields(ws, level));
        deleteFile(bac, *ws.files);
      } else if (!backupCopy.empty()) {
        // Both copies beside it are gone or cut short: the daily backup's
        // newest, once (it stays where it is).
        fromBackup = true;
        if (fileExists(dat)) deleteFile(dat, *ws.files);
        if (copyGeneration(ws, backupCopy, dat) != io::Ok) {
          restoreFailed = true;
          break;
        }
        traceLine(ws, " BUPmcfgFyl: " + repairFields(ws, level));
      } else {
        break;
      }
    }
    // At start the program cannot go on without its configuration; it
    // ends after the report, having changed nothing.
    if (L.ConfigUnreadable && level >= 2) ws.QuitRequested = true;
    if (repaired && !L.ConfigRead && !ws.QuitRequested && !L.LockBusy) {
      // Nothing left to restore from. A backup in the backup folder shows
      // that a configuration existed: it is lost, not to be started anew.
      if (restoreFailed || fileExists(ws.paths.BackupFolder + "/CFGMAIN.BA1")) {
        showOk(ws, MessageText(ws, 1720) + dat + ".");
        ConfigLost(ws);
      } else {
        traceLine(ws, " NEWmcfgFyl: " + repairFields(ws, level));
      }
      write = true;
    }
  }
  if (write) {
    if (traceLogOn(ws)) {
      std::string fields = ws.ThisUser + "  " + FormatDay(ws, ws.Today) + " : " + traceTime(ws) +
                           "   lastDateUsed = " + FormatDay(ws, ws.mcfg.i16(mcfg::LastDateUsed)) + "  Lvl=" + lvl;
      traceLine(ws, "WorkMcfgFyl: " + fields + " NEW FILE!!");
      traceLine(ws, "WORKMcfg  " + fields + " WRITING WORKMCFG");
    }
    if (!ws.QuitRequested) WriteMainConfig(ws, "Work W: (" + lvl + ")");
  }
  // The record keeps the five terms in the suite's order (new-record texts
  // 137, 127, 129, 128, 136); the placeholders and the term grid count rows
  // 137, 136, 127, 128, 129. Row r is therefore stored term kStoredTermOfRow[r].
  static constexpr int kStoredTermOfRow[kTermCount] = {0, 4, 1, 3, 2};
  for (int row = 0; row < kTermCount; ++row)
    ws.notices.Terms[row] = ws.mcfg.str(mcfg::SuiteTerms + kTermStride * kStoredTermOfRow[row], 15);
  NormalizeFileAttr(ws, ws.paths.MainConfigPath);
}

void ReadPersonalConfig(Workstation& ws) {
  LockState& L = ws.locks;
  L.ConfigRead = false;
  L.ConfigUnreadable = false;
  RecordFile file;
  errno = 0;
  int result = file.open(ws.paths.PersonalConfigPath, pcfg::Size, RecordFile::Mode::ReadOnly, *ws.files);
  if (missingResult(result)) {
    L.PersonalStandIn = false;
    return;
  }
  if (result == io::Ok) {
    std::array<std::uint8_t, pcfg::Size> record{};
    errno = 0;
    result = file.read(0, record);
    if (result == io::Ok) {
      ws.pcfg.bytes = record;
      L.ConfigRead = true;
      L.PersonalStandIn = false;
    }
    file.close();
  }
  const int err = errno;
  // A file that is there and was not read keeps what it holds (colours,
  // placements, dial prefix, password): the record in memory stands in.
  if (result != io::Ok) {
    L.ConfigUnreadable = true;
    L.PersonalStandIn = true;
  }
  ReportIoError(ws, result, "RPCfg", ws.paths.PersonalConfigPath, err);
}

void WritePersonalConfig(Workstation& ws) {
  if (ws.locks.PersonalStandIn) return;
  std::int64_t size = 0;
  ReportIoError(ws, writeWholeFile(ws, ws.paths.PersonalConfigPath, ws.pcfg.bytes, size), "WPCfg",
                ws.paths.PersonalConfigPath);
  NormalizeFileAttr(ws, ws.paths.PersonalConfigPath);
}

void LoadPersonalConfig(Workstation& ws, int level) {
  if (level == 2) {
    WritePersonalConfig(ws);
  } else {
    ReadPersonalConfig(ws);
    if (!ws.locks.ConfigRead && level > 1) {
      // Defaults only in memory for a file that is there (WritePersonalConfig
      // leaves it alone); written for one that is missing.
      InitPersonalConfig(ws);
      WritePersonalConfig(ws);
    }
  }
  NormalizeFileAttr(ws, ws.paths.PersonalConfigPath);
}

void DailyConfigBackup(Workstation& ws) {
  const std::string bak = configSibling(ws, "BAK");
  if (fileExists(bak) && fileDay(ws, bak) >= ws.Today) return;
  copyGeneration(ws, bak, configSibling(ws, "BAC"));
  copyGeneration(ws, ws.paths.MainConfigPath, bak);
}

void BackupDataFiles(Workstation& ws) {
  HeldLock lock(ws, lockname::Backup, "BACKUP");
  if (!lock) return;
  const std::string& folder = ws.paths.BackupFolder;
  // A folder given as "/" ends up empty; the copies would go to the root of
  // the file system.
  const bool unusable = folder.empty() || (createFolder(folder, *ws.files) != io::Ok && ws.MultiUser &&
                                           !fileExists(folder + "/CFGMAIN.BA0") && !fileExists(folder + "/CFGMAIN.BA1"));
  if (unusable) {
    if (ws.platform.dialogs) ws.platform.dialogs->beep();
    showOk(ws, MessageText(ws, 1910) + folder + MessageText(ws, 1911));
    return;
  }
  createFolder(folder + "/PROJNOTE", *ws.files);
  createFolder(folder + "/PROJPLAN", *ws.files);

  // Taken already today (or by a workstation whose clock runs a few days ahead).
  const std::string newest = folder + "/CFGMAIN.BA1";
  if (fileExists(newest)) {
    int day = fileDay(ws, newest);
    if (day >= ws.Today && day <= ws.Today + 6) {
      return;
    }
  }
  const std::string third = folder + "/CFGMAIN.BA3";
  const bool rotateOld = !fileExists(third) || fileDay(ws, third) <= fileDay(ws, ws.paths.DataFolder + "/CFGMAIN.DAF") - 9;

  const std::string prefix = ws.paths.DataFolder + "/";
  for (int kind = 0; kind < kCatalogueKinds; ++kind) {
    std::string file = FileNameFor(ws, kind);
    // Only files inside the data folder have a place in the backup folder.
    if (file.size() <= prefix.size() + 3 || file.compare(0, prefix.size(), prefix) != 0) continue;
    std::string relative = file.substr(prefix.size());
    rotateGenerations(ws, file, folder + "/" + relative.substr(0, relative.size() - 3), "BA", rotateOld);
  }

  struct Group {
    const char* subfolder;
    const char* extension;
    const char* prefix;
  };
  static constexpr Group kGroups[] = {
      {"PROJPLAN", "DAP", "BA"}, {"PROJNOTE", "DAN", "BA"}, {"PROJNOTE", "DAI", "IA"},
      {"PROJNOTE", "DAW", "WA"}, {"", "DAX", "XA"},
  };
  for (const Group& g : kGroups) {
    std::string sub = *g.subfolder ? std::string("/") + g.subfolder : std::string();
    for (const std::string& name : groupFiles(ws.paths.DataFolder + sub, g.extension)) {
      std::string base = folder + sub + "/" + name.substr(0, name.size() - 3);
      rotateGenerations(ws, ws.paths.DataFolder + sub + "/" + name, base, g.prefix, rotateOld);
    }
  }
  const std::string bodies = folder + "/" + kBodyBackupSubfolder;
  createFolder(bodies, *ws.files);
  for (const BodyGroup& g : kBodyGroups) rotateBodyGroup(ws, ws.paths.BulletinFolder, bodies, g, rotateOld);
}

}  // namespace egresso
