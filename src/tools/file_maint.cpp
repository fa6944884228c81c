#include "tools/file_maint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "board/board_list.h"
#include "core/waiting.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "config/config_store.h"
#include "storage/dates.h"
#include "storage/file_set.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"

namespace egresso {

namespace {

constexpr int kCatalogueKinds = 62;
constexpr std::int64_t kBlockRecords = 256;
constexpr int kProgressEvery = 64;  // records between two progress reports
constexpr int kDaysBack = 90, kDaysAhead = 70;

// A staged file written in large blocks: the file is new and nobody else
// reads it, so nothing needs flushing record by record.
class StagedWriter {
 public:
  // The name is the switch's own and unguessable; the file is made new.
  StagedWriter(FileOps& ops, const std::string& path) : ops_(ops), path_(path) {
    fd_ = ops_.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd_ < 0) result_ = io::fromErrno(errno);
  }
  ~StagedWriter() { close(); }
  StagedWriter(const StagedWriter&) = delete;
  StagedWriter& operator=(const StagedWriter&) = delete;

  void append(const std::uint8_t* p, std::size_t n) {
    if (fd_ >= 0 && result_ == io::Ok) result_ = WriteAll(ops_, fd_, p, n);
  }
  int close() {
    if (fd_ >= 0) {
      if (ops_.close(fd_) != 0 && result_ == io::Ok) result_ = io::DiskWriteError;
      fd_ = -1;
    }
    return result_;
  }
  int result() const { return result_; }

 private:
  FileOps& ops_;
  std::string path_;
  int fd_ = -1;
  int result_ = io::Ok;
};

// Reads a record file block by block.
class BlockReader {
 public:
  // No more than maxRecords are read: more than a file can number.
  BlockReader(FileOps& ops, const std::string& path, std::size_t recordSize, std::int64_t maxRecords = INT32_MAX)
      : size_(recordSize) {
    result_ = file_.open(path, recordSize, RecordFile::Mode::ReadOnly, ops);
    if (result_ == io::Ok) records_ = std::min(file_.recordCount(), maxRecords);
    buffer_.resize(static_cast<std::size_t>(kBlockRecords) * recordSize);
  }
  int result() const { return result_; }
  std::int64_t records() const { return records_; }
  // Record k (read in order), or nullptr when it cannot be read.
  const std::uint8_t* record(std::int64_t k) {
    if (k < first_ || k >= first_ + count_) {
      first_ = k;
      count_ = file_.readRecords(k, buffer_);
      if (count_ <= 0) {
        count_ = 0;
        result_ = io::DiskReadError;
        return nullptr;
      }
    }
    return buffer_.data() + static_cast<std::size_t>(k - first_) * size_;
  }

 private:
  RecordFile file_;
  std::size_t size_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t records_ = 0, first_ = 0, count_ = 0;
  int result_ = io::Ok;
};

void report(const MaintProgress& progress, const std::string& text, std::int64_t done, std::int64_t total) {
  if (progress) progress(text, done, total);
}

// Stages the index of a board data file (the staged data file when the new
// set has one): key and closed flag of every record, as the record writer
// makes them.
int stageBoardIndex(Workstation& ws, const std::string& dataSource, const std::string& indexTarget, bool locations,
                    FileSetSwitch& sw, const MaintProgress& progress, const std::string& label) {
  BlockReader in(*ws.files, dataSource, brd::Size, brd::MaxRecords);
  if (in.result() != io::Ok) return in.result();  // a file that cannot be opened is skipped
  const std::string staged = sw.StagingName(indexTarget);
  StagedWriter out(*ws.files, staged);
  for (std::int64_t r = 0; r < in.records() && out.result() == io::Ok; ++r) {
    const std::uint8_t* p = in.record(r);
    if (!p) break;
    BoardRecordView v{p};
    BoardIndexEntry e{locations ? v.returnDay() : v.madeDay(), v.closed()};
    std::uint8_t b[brd::IndexSize];
    e.encode(Bytes(b, brd::IndexSize));
    out.append(b, sizeof b);
    if (r % kProgressEvery == 0 || r + 1 == in.records()) report(progress, label + std::to_string(r), r + 1, in.records());
  }
  int rc = out.close();
  if (rc == io::Ok) rc = in.result();
  if (rc != io::Ok) {
    deleteFile(staged, *ws.files);
    ReportIoError(ws, rc, "RIP3");
    return rc;
  }
  sw.Replace(staged, indexTarget);
  return io::Ok;
}

// Stages the companions of a calendar-format set from its data file: the
// paged day index, the key list and the quick list, which must describe the
// data file they will stand beside.
void stageCalCompanions(Workstation& ws, const std::string& dataSource, const std::string& dataTarget,
                        FileSetSwitch& sw) {
  BlockReader in(*ws.files, dataSource, kCalRecordSize);
  if (in.result() != io::Ok) return;
  const std::string base = dataTarget.substr(0, dataTarget.size() - 3);
  const std::string targets[] = {base + "DAI", base + "DAE", base + "DAQ"};
  StagedWriter index(*ws.files, sw.StagingName(targets[0])), keys(*ws.files, sw.StagingName(targets[1])), quick(*ws.files, sw.StagingName(targets[2]));
  auto& e = ws.engine;
  for (std::int64_t n = 0; n < in.records(); ++n) {
    const std::uint8_t* p = in.record(n);
    if (!p) break;
    std::copy(p, p + kCalRecordSize, e.CalRecord.begin());
    keys.append(p + cal::Key, kKeyEntrySize);
    BuildQuickRecord(ws);
    quick.append(e.QuickRecord.data(), e.QuickRecord.size());
  }
  const int pages = std::max(1, IndexPageCount(in.records()));
  for (int page = 0; page < pages; ++page) {
    ClearCalIndexPage(ws);
    for (int entry = 1; entry <= kIndexEntriesPerPage; ++entry) {
      const std::int64_t n = static_cast<std::int64_t>(page) * kIndexEntriesPerPage + entry;
      if (n >= in.records()) break;
      const std::uint8_t* p = in.record(n);
      if (!p) break;
      std::copy(p, p + kCalRecordSize, e.CalRecord.begin());
      SetIndexEntry(ws, entry);
    }
    index.append(e.CalIndexPage.data(), e.CalIndexPage.size());
  }
  int rc = in.result();
  for (StagedWriter* w : {&index, &keys, &quick}) {
    const int closed = w->close();
    if (rc == io::Ok) rc = closed;
  }
  if (rc != io::Ok) {
    for (const std::string& t : targets) deleteFile(sw.StagingName(t), *ws.files);
    ReportIoError(ws, rc, "RIP4");
    return;
  }
  for (const std::string& t : targets) sw.Replace(sw.StagingName(t), t);
}

// A body file under its new number: a second name for the same file where
// the file system allows it (linked), else a copy.
int stageBody(Workstation& ws, const std::string& from, const std::string& staged, bool& linked) {
  deleteFile(staged, *ws.files);
  linked = ws.files->link(from.c_str(), staged.c_str()) == 0;
  return linked ? io::Ok : copyFile(from, staged, *ws.files);
}

std::string dataFolderOf(const Workstation& ws) { return ws.paths.DataFolder; }

// Folders in which a run may have left staged files.
std::vector<std::string> stagingFolders(const Workstation& ws) {
  const std::string& d = ws.paths.DataFolder;
  const std::string& b = ws.paths.BackupFolder;
  return {d, ws.paths.BulletinFolder, d + "/PROJPLAN", d + "/PROJNOTE", b, b + "/PROJPLAN", b + "/PROJNOTE",
          b + "/" + kBodyBackupSubfolder};
}

void recover(Workstation& ws) {
  CompleteFileSetSwitch(dataFolderOf(ws), *ws.files, [&ws](int ms) { PauseMs(ws, ms); });
  DiscardStagedFiles(*ws.files, stagingFolders(ws));
}

// Carries a switch out, its refused steps tried again in the workstation's
// own waits. A step still refused (a file another workstation keeps open)
// is reported with its file and reason; the journal finishes the switch
// whole at the next take of one of its locks.
void commitSwitch(Workstation& ws, FileSetSwitch& sw, std::string_view tag,
                  const std::function<void(std::size_t, std::size_t)>& progress = {}) {
  sw.PauseWith([&ws](int ms) { PauseMs(ws, ms); });
  const int rc = sw.Commit(progress);
  if (rc != io::Ok) ReportIoError(ws, rc, tag, sw.Failure().path, sw.Failure().err);
}

constexpr int kNoticeLocksFreed = 2099;

// True while every one of the locks is still this workstation's.
bool LocksStillHeld(Workstation& ws, std::vector<const char*> locks) {
  for (const char* name : locks)
    if (!LockStillHeld(ws, name)) {
      traceLine(ws, ws.ThisUser + " LockFreed " + name + " (maintenance given up) " + traceSuffix(ws));
      return false;
    }
  return true;
}

void showInfo(Workstation& ws, const std::string& text) {
  ws.platform.dialogs->messageBox(text, BoxKind::Information);
}

bool askYesNo(Workstation& ws, const std::string& text) {
  return UltimateDialog(ws, text, 1, MessageText(ws, 407), MessageText(ws, 408), "", 2) == 1;
}

// Compacts the suite's account file into the switch when it is there and
// fits on the disk.
void stageAccountFile(Workstation& ws, FileSetSwitch& sw, std::int64_t freeBytes) {
  const std::string acct = DataFile(ws, "ACCT.DAF");
  std::error_code ec;
  if (!fileExists(acct)) return;
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(acct, ec));
  if (ec) return;
  if (freeBytes >= 0 && size >= freeBytes) {
    showInfo(ws, MessageText(ws, 345) + " " + std::to_string(size) + " (" + std::to_string(freeBytes) + ")");
    return;
  }
  BlockReader in(*ws.files, acct, kAccountRecordSize);
  if (in.result() != io::Ok) {
    ReportIoError(ws, in.result(), "EGFMOP21");
    return;
  }
  const std::string staged = sw.StagingName(acct);
  StagedWriter out(*ws.files, staged);
  for (std::int64_t r = 0; r < in.records(); ++r) {
    const std::uint8_t* p = in.record(r);
    if (!p) break;
    if (r == 0 || p[kAccountDeleted] == 0) out.append(p, kAccountRecordSize);
  }
  int rc = out.close();
  if (rc == io::Ok) rc = in.result();
  if (rc != io::Ok) {
    deleteFile(staged, *ws.files);
    ReportIoError(ws, rc, "EGFMOP22");
    return;
  }
  sw.Replace(staged, acct);
}

}  // namespace

std::int64_t FreeDiskSpace(const Workstation& ws) {
  struct statvfs s;
  if (::statvfs(ws.paths.DataFolder.c_str(), &s) != 0) return -1;
  return static_cast<std::int64_t>(s.f_bavail) * static_cast<std::int64_t>(s.f_frsize);
}

bool CompleteInterruptedMaintenance(Workstation& ws) {
  return CompleteFileSetSwitch(dataFolderOf(ws), *ws.files, [&ws](int ms) { PauseMs(ws, ms); });
}

namespace {

// The purge proper, with its two locks held; false when another workstation
// freed one of them meanwhile and nothing was changed.
bool purgeUnderLocks(Workstation& ws, const MaintProgress& progress) {
  ws.ListMode = 0;
  ws.ArchiveView = false;
  SelectBoardFiles(ws);
  recover(ws);
  const std::int64_t freeBytes = FreeDiskSpace(ws);

  const std::string data = BoardDataFile(ws, BoardSet::Messages);
  const std::string index = BoardIndexFile(ws, BoardSet::Messages);
  const std::string prefix = MessageText(ws, 347) + ": ";
  FileSetSwitch sw(dataFolderOf(ws), *ws.files);
  sw.GuardedBy({lockname::Memo, lockname::Locate});
  std::string messageSource = data;

  std::vector<int> kept;  // old number of each new number
  std::int64_t oldCount = 0;
  {
    // The reader is closed before anything is switched: a file server
    // refuses to replace a file that is still open.
    BlockReader in(*ws.files, data, brd::Size, brd::MaxRecords);
    if (in.result() == io::Ok) {
      const std::string staged = sw.StagingName(data);
      StagedWriter out(*ws.files, staged);
      oldCount = in.records();
      for (std::int64_t k = 0; k < in.records() && out.result() == io::Ok; ++k) {
        const std::uint8_t* p = in.record(k);
        if (!p) break;
        if (p[brd::Closed] == 0) {
          out.append(p, brd::Size);
          kept.push_back(static_cast<int>(k));
        }
        if (k % kProgressEvery == 0 || k + 1 == in.records()) report(progress, prefix + std::to_string(k), k + 1, in.records());
      }
      int rc = out.close();
      if (rc == io::Ok) rc = in.result();
      if (rc != io::Ok) {
        // Nothing has been changed: the old message file stays as it was.
        deleteFile(staged, *ws.files);
        ReportIoError(ws, rc, "EGFMOP11");
        kept.clear();
        oldCount = -1;
      }
    } else {
      oldCount = -1;
    }
  }
  if (oldCount >= 0) {
    const std::string staged = sw.StagingName(data);
    sw.Replace(staged, data);
    messageSource = staged;
    // Each body moves with its message; a new number whose message has no
    // body must not keep the body of the message that had it before.
    for (std::size_t j = 0; j < kept.size(); ++j) {
      const int k = kept[j];
      if (j % kProgressEvery == 0 || j + 1 == kept.size())
        report(progress, prefix + std::to_string(k), static_cast<std::int64_t>(j + 1), static_cast<std::int64_t>(kept.size()));
      if (static_cast<int>(j) == k) continue;
      const std::string target = BodyFilePath(ws, BoardSet::Messages, static_cast<int>(j)).string();
      const std::string from = BodyFilePath(ws, BoardSet::Messages, k).string();
      if (fileExists(from)) {
        const std::string stagedBody = sw.StagingName(target);
        bool linked = false;
        const int brc = stageBody(ws, from, stagedBody, linked);
        if (brc == io::Ok) sw.Replace(stagedBody, target, linked);
        else ReportIoError(ws, brc, "EGFMOP13");
      } else {
        sw.Remove(target);
      }
    }
    // Numbers beyond the new end: their bodies went with their messages.
    for (std::int64_t k = static_cast<std::int64_t>(kept.size()); k < oldCount; ++k) {
      const std::string body = BodyFilePath(ws, BoardSet::Messages, static_cast<int>(k)).string();
      if (fileExists(body)) sw.Remove(body);
    }
  }
  stageBoardIndex(ws, messageSource, index, false, sw, progress, MessageText(ws, 1672) + ": ");
  stageBoardIndex(ws, BoardDataFile(ws, BoardSet::Locations), BoardIndexFile(ws, BoardSet::Locations), true, sw, progress,
                  MessageText(ws, 1673) + ": ");
  stageAccountFile(ws, sw, freeBytes);
  // A message saved by a workstation that broke a lock meanwhile is not in
  // the copy: switching it in would drop that message.
  if (!LocksStillHeld(ws, {lockname::Memo, lockname::Locate})) {
    sw.Discard();
    return false;
  }
  if (!sw.empty())
    commitSwitch(ws, sw, "EGFMOP12", [&](std::size_t done, std::size_t total) {
      report(progress, prefix + std::to_string(done), static_cast<std::int64_t>(done), static_cast<std::int64_t>(total));
    });
  for (const std::string& f : {data, index, BoardDataFile(ws, BoardSet::Locations), BoardIndexFile(ws, BoardSet::Locations)})
    NormalizeFileAttr(ws, f);
  return true;
}

}  // namespace

void PurgeTaggedMessages(Workstation& ws, const MaintProgress& progress) {
  // Maintenance locks: taken only now that the dialog has asked, and
  // tagged so that no stale-lock timeout breaks them while the run works.
  bool done = false;
  {
    HeldLock memo(ws, lockname::Memo, kPurgeMemoTag);
    if (!memo) return;
    HeldLock locate(ws, lockname::Locate, kPurgeLocateTag);
    if (!locate) return;
    done = purgeUnderLocks(ws, progress);
  }
  if (!done) showInfo(ws, MessageText(ws, kNoticeLocksFreed));
}

void RebuildBoardIndexes(Workstation& ws, const MaintProgress& progress) {
  FileSetSwitch sw(dataFolderOf(ws), *ws.files);
  sw.GuardedBy({lockname::Memo, lockname::Locate});
  stageBoardIndex(ws, BoardDataFile(ws, BoardSet::Messages), BoardIndexFile(ws, BoardSet::Messages), false, sw, progress,
                  MessageText(ws, 1672) + ": ");
  stageBoardIndex(ws, BoardDataFile(ws, BoardSet::Locations), BoardIndexFile(ws, BoardSet::Locations), true, sw, progress,
                  MessageText(ws, 1673) + ": ");
  if (!sw.empty()) commitSwitch(ws, sw, "RIP3");
}

namespace {

constexpr const char* kRestoreLocks[] = {lockname::Backup, lockname::Schedule, lockname::Log,
                                         lockname::Project, lockname::Memo, lockname::Locate};

struct ExtraGroup {
  const char* subfolder;
  const char* extension;  // of the live file
  const char* prefix;     // of the backup generations
};
constexpr ExtraGroup kExtraGroups[] = {
    {"PROJPLAN", "DAP", "BA"}, {"PROJNOTE", "DAN", "BA"}, {"PROJNOTE", "DAI", "IA"},
    {"PROJNOTE", "DAW", "WA"}, {"", "DAX", "XA"},
};

bool endsWithNoCase(const std::string& name, const std::string& tail) {
  if (name.size() <= tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[name.size() - tail.size() + i])) !=
        std::toupper(static_cast<unsigned char>(tail[i])))
      return false;
  return name[name.size() - tail.size() - 1] == '.';
}

// The bodies go with the records they belong to: a restored data file
// takes the bodies of its generation, and a body that generation lacks is
// removed rather than left to a record it never belonged to (a generation
// made before bodies were backed up restores records without bodies). The
// bodies replaced become generation 9 with their records.
void restoreBodies(Workstation& ws, int n, FileSetSwitch& sw, const std::set<std::string>& restored) {
  const std::string backup = ws.paths.BackupFolder + "/" + kBodyBackupSubfolder;
  const std::string& live = ws.paths.BulletinFolder;
  auto stem = [](const std::string& name) { return name.substr(0, name.find('.')); };
  auto stageCopy = [&](const std::string& from, const std::string& to) {
    const std::string staged = sw.StagingName(to);
    const int rc = copyFile(from, staged, *ws.files);
    if (rc == io::Ok) {
      sw.Replace(staged, to);
    } else {
      deleteFile(staged, *ws.files);
      showInfo(ws, MessageText(ws, 1726) + std::to_string(rc) + ": \"" + to + MessageText(ws, 1728));
    }
    return rc == io::Ok;
  };
  for (const BodyGroup& g : kBodyGroups) {
    if (!restored.count(DataFile(ws, g.dataFile))) continue;
    createFolder(backup, *ws.files);
    const std::string safety = std::string(g.prefix) + "9";
    std::map<std::string, std::string> liveNames;  // by record number
    for (const std::string& name : BodyFiles(live, g.extension)) {
      liveNames[stem(name)] = name;
      stageCopy(live + "/" + name, backup + "/" + stem(name) + "." + safety);
    }
    for (const std::string& name : BodyFiles(backup, safety))
      if (!liveNames.count(stem(name))) sw.Remove(backup + "/" + name);
    std::set<std::string> taken;
    for (const std::string& name : BodyFiles(backup, std::string(g.prefix) + std::to_string(n))) {
      const auto present = liveNames.find(stem(name));
      const std::string target =
          live + "/" + (present != liveNames.end() ? present->second : stem(name) + "." + g.extension);
      if (stageCopy(backup + "/" + name, target)) taken.insert(stem(name));
    }
    for (const auto& [number, name] : liveNames)
      if (!taken.count(number)) sw.Remove(live + "/" + name);
  }
}

// The restore proper, with the six locks held; false when another
// workstation freed one of them meanwhile and nothing was changed.
bool restoreFiles(Workstation& ws, int n, const MaintProgress& progress) {
  const std::string folder = ws.paths.BackupFolder;
  const std::string prefix = ws.paths.DataFolder + "/";
  const std::string gen = std::to_string(n);
  FileSetSwitch sw(dataFolderOf(ws), *ws.files);
  sw.GuardedBy({std::begin(kRestoreLocks), std::end(kRestoreLocks)});
  std::set<std::string> restored;  // live data files the new set takes from the backup

  auto copyFailed = [&](int rc, const std::string& file, int notice) {
    showInfo(ws, MessageText(ws, 1726) + std::to_string(rc) + ": \"" + file + MessageText(ws, notice));
  };
  const std::int64_t steps = 2 * kCatalogueKinds + 2;
  std::int64_t done = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (int kind = 0; kind < kCatalogueKinds; ++kind, ++done) {
      const std::string file = FileNameFor(ws, kind);
      if (file.size() <= prefix.size() + 3 || file.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string base = folder + "/" + file.substr(prefix.size(), file.size() - prefix.size() - 3);
      report(progress, file, done, steps);
      if (pass == 0) {
        // The safety copy of what is replaced: generation 9.
        const std::string safety = base + "BA9";
        if (!fileExists(file)) {
          if (fileExists(safety)) sw.Remove(safety);
          continue;
        }
        const std::string staged = sw.StagingName(safety);
        const int rc = copyFile(file, staged, *ws.files);
        if (rc == io::Ok) {
          sw.Replace(staged, safety);
        } else {
          deleteFile(staged, *ws.files);
          sw.Remove(safety);
          copyFailed(rc, file, 1727);
        }
      } else {
        const std::string source = base + "BA" + gen;
        if (!fileExists(source) || restored.count(file)) continue;
        const std::string staged = sw.StagingName(file);
        const int rc = copyFile(source, staged, *ws.files);
        if (rc == io::Ok) {
          sw.Replace(staged, file);
          restored.insert(file);
        } else {
          deleteFile(staged, *ws.files);
          copyFailed(rc, file, 1728);
        }
      }
    }
  }
  for (const ExtraGroup& g : kExtraGroups) {
    const std::string sub = *g.subfolder ? std::string("/") + g.subfolder : std::string();
    const std::string backupExt = std::string(g.prefix) + gen;
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder + sub, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (endsWithNoCase(name, backupExt)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string live = ws.paths.DataFolder + sub + "/" + name.substr(0, name.size() - 3) + g.extension;
      const std::string staged = sw.StagingName(live);
      const int rc = copyFile(folder + sub + "/" + name, staged, *ws.files);
      if (rc == io::Ok) {
        sw.Replace(staged, live);
      } else {
        deleteFile(staged, *ws.files);
        copyFailed(rc, live, 1728);
      }
    }
  }
  restoreBodies(ws, n, sw, restored);
  report(progress, MessageText(ws, 1672), ++done, steps);

  // The indexes of the data files as they will be, staged from the restored
  // copies where there are some.
  auto sourceOf = [&](const std::string& file) { return restored.count(file) ? sw.StagingName(file) : file; };
  std::set<std::string> calSets = {ws.paths.SchedDataPath};
  const std::string logData = ws.paths.LogDataPath, logIndex = ws.paths.LogIndexPath;
  for (int day = ws.Today - kDaysBack; day <= ws.Today + kDaysAhead; ++day) {
    if (day < 1) continue;
    SetLogFileNames(ws, day);
    calSets.insert(ws.paths.LogDataPath);
  }
  ws.paths.LogDataPath = logData;
  ws.paths.LogIndexPath = logIndex;
  for (const std::string& set : calSets)
    if (set.size() > 3 && fileExists(sourceOf(set))) stageCalCompanions(ws, sourceOf(set), set, sw);
  const std::pair<BoardSet, bool> boards[] = {
      {BoardSet::Messages, false}, {BoardSet::Locations, true}, {BoardSet::Archive, false}};
  for (const auto& [set, locations] : boards) {
    const std::string file = BoardDataFile(ws, set);
    stageBoardIndex(ws, sourceOf(file), BoardIndexFile(ws, set), locations, sw, progress,
                    MessageText(ws, locations ? 1673 : 1672) + ": ");
  }
  report(progress, MessageText(ws, 1673), steps, steps);
  if (!LocksStillHeld(ws, {std::begin(kRestoreLocks), std::end(kRestoreLocks)})) {
    sw.Discard();
    return false;
  }
  if (!sw.empty()) commitSwitch(ws, sw, "RSTOR");
  return true;
}

}  // namespace

void RestoreData(Workstation& ws, int n, const MaintProgress& progress) {
  if (ws.ThisUser != ws.mcfg.mainUserInitials() || n < 0 || n > 4) return;
  // The questions come before the locks: a question left open must not
  // keep every other workstation from signing in or out.
  const std::string config = ws.paths.BackupFolder + "/CFGMAIN.BA" + std::to_string(n);
  if (!fileExists(config)) {
    showInfo(ws, MessageText(ws, 1737));
    return;
  }
  const int day = FileDay(*ws.files, config);
  const std::string first = MessageText(ws, 1779) + MessageText(ws, 1780) + "\r\n\n" +
                            MessageText(ws, n >= 1 ? 1736 : 1865) + " " + FormatDay(ws, day) + "?";
  if (!askYesNo(ws, first) ||
      !askYesNo(ws, MessageText(ws, 1748) + MessageText(ws, 1750) + "\r\r" + MessageText(ws, 1749)))
    return;
  int taken = 0;
  for (const char* name : kRestoreLocks) {
    if (!AcquireLock(ws, name, "RSTOR !!")) break;
    ++taken;
  }
  auto releaseTaken = [&] {
    while (taken > 0) ReleaseLock(ws, kRestoreLocks[--taken]);
  };
  if (taken < static_cast<int>(std::size(kRestoreLocks))) {
    releaseTaken();
    return;
  }
  // The backup may have moved on while the user was asked.
  if (FileDay(*ws.files, config) != day) {
    releaseTaken();
    showInfo(ws, MessageText(ws, 1737));
    return;
  }
  recover(ws);
  const bool done = restoreFiles(ws, n, progress);
  if (done) {
    traceLine(ws, "DataRestore " + std::to_string(n) + "  " + traceSuffix(ws));
    ReadMainConfig(ws, "RSTOR");
    // The restored table may hold this user in another slot.
    ws.UserSlot = ws.mcfg.slotOf(ws.ThisUser);
  }
  releaseTaken();
  if (!done) showInfo(ws, MessageText(ws, kNoticeLocksFreed));
}

// ---------------------------------------------------------------- dialog

void FileMaintDialog::FormShow() {
  FreeBytes = FreeDiskSpace(ws_);
  view = FileMaintView{};
  view.Caption = MessageText(ws_, 331);
  view.Label1 = MessageText(ws_, 1470);
  view.Label2 = std::string(127, ' ');
  view.OkCaption = MessageText(ws_, 343);
  view.CancelCaption = MessageText(ws_, 344);
}

void FileMaintDialog::OKbtnClick() {
  if (view.Busy || view.Closed) return;
  view.Busy = true;
  view.RcrdNumVisible = true;
  PurgeTaggedMessages(ws_, [this](const std::string& text, std::int64_t done, std::int64_t total) {
    view.RcrdNum = text;
    view.Done = done;
    view.Total = total;
    if (onProgress) onProgress();
  });
  view.Busy = false;
  view.Closed = true;
}

void FileMaintDialog::CancelBtnClick() {
  if (view.Busy) return;
  if (askYesNo(ws_, MessageText(ws_, 346))) view.Closed = true;
}

}  // namespace egresso
