#include "storage/record_files.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/waiting.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/dates.h"
#include "storage/file_report.h"
#include "storage/locks.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr int kNoticeOk = 29;
constexpr int kNoticeYes = 407;
constexpr int kNoticeNo = 408;
constexpr int kNoticeCannotOpen1 = 1720;
constexpr int kNoticeCannotOpen2 = 1721;
constexpr int kNoticeNoDataFolder1 = 1795;
constexpr int kNoticeNoDataFolder2 = 1796;
constexpr int kNoticeFileFailure1 = 1901;
constexpr int kNoticeFileFailure2 = 1902;
constexpr int kNoticeFileFailure3 = 1903;

constexpr int kOpenRetries = 10;
constexpr int kRetryPauseMs = 1000;
// Longest name part read from a client record; the joined name is cut to 52.
constexpr std::size_t kClientNamePart = 40;
constexpr std::size_t kJoinedNameMax = 52;
constexpr std::size_t kDisplayNameMax = 30;

// Where each part of the quick record comes from in the calendar record.
struct QuickField {
  std::size_t quick, cal, size;
};
constexpr QuickField kQuickFields[] = {
    {0, 0, 2},     {2, 2, 2},     {4, 4, 1},       {5, 5, 13},      {18, 18, 1},     {19, 23, 1},     {20, 24, 2},
    {22, 26, 2},   {24, 28, 60},  {84, 802, 6},    {90, 839, 2},    {92, 849, 6},    {98, 855, 1},    {99, 856, 2},
    {101, 858, 7}, {108, 865, 7}, {115, 872, 2},   {117, 874, 30},  {147, 947, 4},
};

std::string cutTag(std::string_view tag) { return std::string(tag.substr(0, 15)); }

bool altFolderInUse(const Workstation& ws) { return !ws.paths.AltDataFolder.empty() && !ws.options.NormalDataPresent; }

// A companion file replaces the last three characters ("DAF") of the data file's name.
std::string companion(std::string_view dataName, std::string_view extension) {
  std::string s(dataName.substr(0, dataName.size() >= 3 ? dataName.size() - 3 : 0));
  return s + std::string(extension);
}

std::string inDataFolder(const Workstation& ws, std::string_view name) {
  return ws.paths.DataFolder + "/" + std::string(name);
}

void beginOperation(Workstation& ws) {
  ws.engine.LastIoResult = io::Ok;
  ws.engine.LastIoTag.clear();
}

void report(Workstation& ws, int rc, const std::string& tag) {
  if (rc != io::Ok && ws.engine.LastIoResult == io::Ok) {
    ws.engine.LastIoResult = rc;
    ws.engine.LastIoTag = tag;
  }
  ReportIoError(ws, rc, tag);
}

void showSingleButton(Workstation& ws, const std::string& message) {
  DialogRequest r = MakeDialogRequest(message, -1, "", "", MessageText(ws, kNoticeOk), 3);
  ShowReport(ws, std::move(r));
}

// Reading does not need write access: a file the workstation may only read
// is still read.
int openForReading(RecordFile& f, const std::string& path, std::size_t size, FileOps& ops) {
  int rc = f.open(path, size, RecordFile::Mode::ReadWrite, ops);
  if (rc == io::AccessDenied) rc = f.open(path, size, RecordFile::Mode::ReadOnly, ops);
  return rc;
}

// Reads record n only when the file holds it whole; on failure the buffer
// keeps what it held.
int readWhole(RecordFile& f, std::int64_t n, std::span<std::uint8_t> buf) {
  if (!f.isOpen()) return io::FileNotOpen;
  if (n < 0 || n >= f.recordCount()) return io::DiskReadError;
  std::vector<std::uint8_t> tmp(buf.size());
  int rc = f.read(n, tmp);
  if (rc == io::Ok) std::copy(tmp.begin(), tmp.end(), buf.begin());
  return rc;
}

void fileFailureDialog(Workstation& ws, const std::string& path, int rc) {
  ws.platform.dialogs->beep();
  // The program ends after this report: it names the reason first.
  DialogRequest report = GivenUpReport(ws, rc, "OPEN", path,
                                       MessageText(ws, kNoticeFileFailure1) + "\"" + path +
                                           MessageText(ws, kNoticeFileFailure2),
                                       MessageText(ws, kNoticeFileFailure3));
  ++ws.locks.FailuresReported;
  ShowReport(ws, std::move(report));
  ws.QuitRequested = true;
}

enum class OpenOutcome { Opened, Created, Failed, GaveUp };

// Opens a record file for writing, creating it when it does not exist. A
// file that exists but cannot be opened (held by the network or another
// program) is never re-created: with retries it gets ten more attempts a
// second apart and then the failure dialog (GaveUp, QuitRequested set);
// without, the open fails with its I/O result in rc.
OpenOutcome openForWriting(Workstation& ws, RecordFile& f, const std::string& path, std::size_t size, bool retries,
                           int& rc) {
  bool created = false;
  rc = OpenRecordFileCreating(f, path, size, &created, *ws.files);
  if (rc == io::Ok) return created ? OpenOutcome::Created : OpenOutcome::Opened;
  if (!retries || !fileExists(path)) return OpenOutcome::Failed;
  for (int attempt = 0; attempt < kOpenRetries; ++attempt) {
    ws.platform.dialogs->beep();
    PauseMs(ws, kRetryPauseMs);
    rc = f.open(path, size, RecordFile::Mode::ReadWrite, *ws.files);
    if (rc == io::Ok) return OpenOutcome::Opened;
  }
  fileFailureDialog(ws, path, rc);
  return OpenOutcome::GaveUp;
}

int closeKeepingFirst(RecordFile& f, int rc) {
  int c = f.close();
  return rc != io::Ok ? rc : c;
}

void writeEndMark(std::span<std::uint8_t> record, std::size_t offset) {
  std::copy(kRecordEndMark.begin(), kRecordEndMark.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

void bindClientFiles(Workstation& ws, int kind) {
  auto& e = ws.engine;
  e.ClientKind = kind;
  std::string base;
  if (kind == 1) base = inDataFolder(ws, "PHONBOOK");
  if (kind == 2) base = inDataFolder(ws, "PAYEE");
  if (base.empty()) {
    e.ClientDataName = ws.paths.ClientDataPath;
    e.ClientIndexName = ws.paths.ClientIndexPath;
    e.ClientNamesName = ws.paths.ClientNamesPath;
  } else {
    e.ClientDataName = base + ".DAF";
    e.ClientIndexName = base + ".DAI";
    e.ClientNamesName = base + ".DAE";
  }
}

void ensureClientFilesBound(Workstation& ws) {
  if (ws.engine.ClientDataName.empty()) bindClientFiles(ws, ws.engine.ClientKind);
}

bool askRetry(Workstation& ws, const std::string& fileName) {
  ws.platform.dialogs->beep();
  int answer = UltimateDialog(ws, MessageText(ws, kNoticeCannotOpen1) + fileName + MessageText(ws, kNoticeCannotOpen2),
                              -1, MessageText(ws, kNoticeYes), MessageText(ws, kNoticeNo), "", 1);
  if (answer == 1) return true;
  ws.QuitRequested = true;
  return false;
}

void traceOpen(Workstation& ws, std::string_view what, const std::string& fileName) {
  traceLine(ws, std::string(what) + " \"" + fileName + "   " + traceSuffix(ws));
}

}  // namespace

// ---------------------------------------------------------------- catalogue

std::string FileNameFor(Workstation& ws, int kind) {
  const Paths& p = ws.paths;
  static constexpr const char* kFixed[] = {"CFGMAIN.DAF", nullptr,      nullptr,     nullptr,
                                           "PHONBOOK.DAF", "PAYEE.DAF", "LOCATE.DAF", "MESSAGE.DAF",
                                           "MESSARC.DAF",  "ACCT.DAF",  "CATGRY.DAF", "MEMO.DAF"};
  std::string result = "@.@";
  if (kind == 1) {
    result = p.SchedDataPath;
  } else if (kind == 2) {
    result = p.LogDataPath;
  } else if (kind == 3) {
    result = p.ClientDataPath;
  } else if (kind >= 0 && kind <= 11) {
    result = inDataFolder(ws, kFixed[kind]);
  } else if (kind >= 12 && kind <= 11 + mcfg::Employees) {
    std::string initials = ws.mcfg.empInitials(kind - 11);
    if (!initials.empty()) result = inDataFolder(ws, "MEMO" + initials + ".DAF");
  }
  ws.paths.CurrentFileName = result;
  return result;
}

bool CheckDataFolder(Workstation& ws) {
  if (!ws.MultiUser || fileExists(ws.paths.MainConfigPath)) return true;
  ws.platform.dialogs->beep();
  showSingleButton(ws, MessageText(ws, kNoticeNoDataFolder1) + ws.paths.DataFolder + MessageText(ws, kNoticeNoDataFolder2));
  return false;
}

// ------------------------------------------------------------ calendar sets

void ClearCalRecord(Workstation& ws) {
  auto& r = ws.engine.CalRecord;
  r.fill(0);
  r[812] = 122;
  r[855] = 1;
  std::fill(r.begin() + 865, r.begin() + 872, std::uint8_t{9});
  r[930] = 45;
  writeEndMark(r, cal::EndMark);
}

void ClearCalIndexPage(Workstation& ws) { ws.engine.CalIndexPage.fill(0); }

void BuildQuickRecord(Workstation& ws) {
  auto& e = ws.engine;
  for (const auto& f : kQuickFields)
    std::copy_n(e.CalRecord.begin() + static_cast<std::ptrdiff_t>(f.cal), f.size,
                e.QuickRecord.begin() + static_cast<std::ptrdiff_t>(f.quick));
}

void ExpandQuickRecord(Workstation& ws) {
  auto& e = ws.engine;
  for (const auto& f : kQuickFields)
    std::copy_n(e.QuickRecord.begin() + static_cast<std::ptrdiff_t>(f.quick), f.size,
                e.CalRecord.begin() + static_cast<std::ptrdiff_t>(f.cal));
}

void WriteCalRecord(Workstation& ws, std::string_view dataName, std::int32_t recNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  std::string data(dataName);
  std::string keyName = companion(data, "DAE");
  std::string quickName = companion(data, "DAQ");
  std::string t = cutTag(tag);
  auto finish = [&] {
    NormalizeFileAttr(ws, data);
    NormalizeFileAttr(ws, keyName);
  };

  e.CalQuickName = quickName;
  e.CalDataFile.close();
  e.CalDataName = data;
  int rc = io::Ok;
  OpenOutcome outcome = openForWriting(ws, e.CalDataFile, data, kCalRecordSize, true, rc);
  if (outcome == OpenOutcome::GaveUp) return finish();
  std::int32_t n = recNo;
  if (outcome == OpenOutcome::Failed) {
    report(ws, rc, "WCR-" + t + " (" + std::to_string(n) + ")");
    return finish();
  }
  if (outcome == OpenOutcome::Created) {
    // A new set starts with this record as its header; its key and quick
    // entries go to the same number.
    n = 0;
    RecordFile quick;
    quick.open(quickName, kQuickRecordSize, RecordFile::Mode::Create, *ws.files);
  }
  std::string reportTag = "WCR-" + t + " (" + std::to_string(n) + ")";

  if (altFolderInUse(ws)) e.CalRecord[cal::RemoteChanged] = 1;
  rc = WriteRecordKeepingTail(e.CalDataFile, n, e.CalRecord);
  if (!e.KeepCalOpen) rc = closeKeepingFirst(e.CalDataFile, rc);
  if (rc != io::Ok) {
    // The key and quick lists follow the data file; without the record they stay as they are.
    report(ws, rc, reportTag);
    return finish();
  }

  RecordFile key;
  outcome = openForWriting(ws, key, keyName, kKeyEntrySize, true, rc);
  if (outcome == OpenOutcome::GaveUp) return finish();
  if (outcome != OpenOutcome::Failed) {
    // A new key list gets empty keys (zeros) for the records before this one.
    std::copy_n(e.CalRecord.begin() + cal::Key, kKeyEntrySize, e.KeyEntry.begin());
    rc = WriteRecordKeepingTail(key, n, e.KeyEntry);
    rc = closeKeepingFirst(key, rc);
  }
  report(ws, rc, reportTag);

  RecordFile quick;
  if (quick.open(quickName, kQuickRecordSize, RecordFile::Mode::ReadWrite, *ws.files) == io::Ok) {
    BuildQuickRecord(ws);
    rc = WriteRecordKeepingTail(quick, n, e.QuickRecord);
    rc = closeKeepingFirst(quick, rc);
    report(ws, rc, "WQR-" + t + " (" + std::to_string(n) + ")");
    NormalizeFileAttr(ws, quickName);
  }
  finish();
}

void ReadCalRecord(Workstation& ws, std::string_view dataName, std::int32_t recNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  std::string t = cutTag(tag);
  int rc = io::Ok;
  if (!e.KeepCalOpen) {
    e.CalDataFile.close();
    e.CalDataName = std::string(dataName);
    rc = openForReading(e.CalDataFile, e.CalDataName, kCalRecordSize, *ws.files);
  } else if (!e.CalDataFile.isOpen()) {
    rc = io::FileNotOpen;
  }
  std::int64_t count = e.CalDataFile.isOpen() ? e.CalDataFile.recordCount() : 0;
  e.LastCalRecord = static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX) - 1);
  std::string numbers(1, ' ');
  numbers.append(std::to_string(e.LastCalRecord)).append(",").append(std::to_string(recNo)).append("    QR=");
  numbers += e.KeepCalOpen ? '1' : '0';
  if (rc == io::Ok && recNo >= 0 && recNo <= e.LastCalRecord) {
    report(ws, readWhole(e.CalDataFile, recNo, e.CalRecord), "RCR1-" + t + numbers);
  }
  if (!e.KeepCalOpen) rc = closeKeepingFirst(e.CalDataFile, rc);
  report(ws, rc, "RCR-" + t + numbers);
}

void ReadCalIndexPage(Workstation& ws, std::string_view indexName, int pageNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  int rc = io::Ok;
  if (!e.KeepCalOpen) {
    e.CalIndexFile.close();
    e.CalIndexName = std::string(indexName);
    rc = openForReading(e.CalIndexFile, e.CalIndexName, kCalIndexPageSize, *ws.files);
  }
  if (rc != io::Ok || !e.CalIndexFile.isOpen()) {
    // A missing index reads as pages without entries.
    ClearCalIndexPage(ws);
    return;
  }
  if (pageNo < 0 || pageNo >= e.CalIndexFile.recordCount()) {
    ClearCalIndexPage(ws);
    // Past the end a page is simply empty; a page cut short is damage.
    auto pageStart = static_cast<std::int64_t>(pageNo) * static_cast<std::int64_t>(kCalIndexPageSize);
    if (pageNo >= 0 && e.CalIndexFile.byteSize() > pageStart) rc = io::DiskReadError;
  } else {
    rc = readWhole(e.CalIndexFile, pageNo, e.CalIndexPage);
    if (rc != io::Ok) ClearCalIndexPage(ws);
  }
  if (!e.KeepCalOpen) rc = closeKeepingFirst(e.CalIndexFile, rc);
  report(ws, rc, "RCIF-" + cutTag(tag));
}

void WriteCalIndexPage(Workstation& ws, std::string_view indexName, int pageNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  std::string path(indexName);
  if (!e.KeepCalOpen) e.CalIndexName = path;
  // Written through its own handle, so that a scan keeping the index open
  // goes on reading undisturbed.
  RecordFile index;
  int rc = io::Ok;
  if (openForWriting(ws, index, path, kCalIndexPageSize, false, rc) != OpenOutcome::Failed) {
    rc = WriteRecordKeepingTail(index, pageNo, e.CalIndexPage);
    rc = closeKeepingFirst(index, rc);
  }
  report(ws, rc, "WCIF-" + cutTag(tag));
  NormalizeFileAttr(ws, path);
}

void OpenCalFiles(Workstation& ws, std::string_view baseName) {
  auto& e = ws.engine;
  std::string base(baseName);
  std::string dataName = base + ".DAF";
  std::string indexName = base + ".DAI";
  for (;;) {
    e.CalDataFile.close();
    e.CalDataName = dataName;
    if (e.CalDataFile.open(dataName, kCalRecordSize, RecordFile::Mode::ReadWrite) == io::Ok) {
      e.CalDataFile.close();
    } else if (fileExists(dataName)) {
      traceOpen(ws, "OpenCal-F", dataName);
      if (askRetry(ws, dataName)) continue;
      return;
    } else {
      ClearCalRecord(ws);
      putI16(e.CalRecord, cal::StartDay, ws.Today);
      WriteCalRecord(ws, dataName, 0, "OCF1");
      traceOpen(ws, "OpenCal-F2", dataName);
      if (ws.QuitRequested) return;
    }

    e.CalIndexFile.close();
    e.CalIndexName = indexName;
    if (e.CalIndexFile.open(indexName, 1, RecordFile::Mode::ReadWrite) == io::Ok) {
      e.CalIndexFile.close();
      if (!e.LogMode) ReadCalIndexPage(ws, ws.paths.SchedIndexPath, 0, "OCF3");
      return;
    }
    if (!fileExists(indexName)) {
      ClearCalIndexPage(ws);
      WriteCalIndexPage(ws, indexName, 0, "OCF2");
      traceOpen(ws, "OpenCal-I2", indexName);
      return;
    }
    traceOpen(ws, "OpenCal-I1", indexName);
    if (!askRetry(ws, indexName)) return;
  }
}

bool SelectCalFiles(Workstation& ws) {
  auto& e = ws.engine;
  const Paths& p = ws.paths;
  const std::string& data = e.LogMode ? p.LogDataPath : p.SchedDataPath;
  e.CalDataName = data;
  e.CalKeyName = companion(data, "DAE");
  e.CalQuickName = companion(data, "DAQ");
  e.CalIndexName = e.LogMode ? p.LogIndexPath : p.SchedIndexPath;
  // A missing log set is made at start-up, not here.
  if (!e.LogMode || fileExists(data)) ReadCalIndexPage(ws, e.CalIndexName, 0, "SCF");
  return true;
}

void SetLogFileNames(Workstation& ws, int day) {
  // Upper case keeps one set per month whatever case the month texts have.
  std::string month = UpperText(MonthAbbreviation(ws, MonthOfDay(day)));
  std::string base = inDataFolder(ws, month + PadNumber(std::to_string(YearOfDay2(day)), -2) + "LOG");
  ws.paths.LogDataPath = base + ".DAF";
  ws.paths.LogIndexPath = base + ".DAI";
}

int BeginCalScan(Workstation& ws, std::string_view dataName, std::string_view indexName) {
  auto& e = ws.engine;
  e.CalDataName = std::string(dataName);
  e.CalIndexName = std::string(indexName);
  int rc = openForReading(e.CalDataFile, e.CalDataName, kCalRecordSize, *ws.files);
  openForReading(e.CalIndexFile, e.CalIndexName, kCalIndexPageSize, *ws.files);
  e.KeepCalOpen = true;
  return rc;
}

void EndCalScan(Workstation& ws) {
  auto& e = ws.engine;
  e.CalDataFile.close();
  e.CalIndexFile.close();
  e.KeepCalOpen = false;
}

// --------------------------------------------------------------- day index

int IndexPageOf(std::int32_t recNo) { return recNo < 1 ? -1 : (recNo - 1) / kIndexEntriesPerPage; }
int IndexEntryOf(std::int32_t recNo) { return recNo < 1 ? 0 : (recNo - 1) % kIndexEntriesPerPage + 1; }

int IndexPageCount(std::int64_t recordCount) {
  return static_cast<int>((4 * (recordCount - 1) - 1) / static_cast<std::int64_t>(kCalIndexPageSize) + 1);
}

namespace {
bool validEntry(int entry) { return entry >= 1 && entry <= kIndexEntriesPerPage; }
constexpr std::size_t kSpanOffset = 8192;
constexpr std::size_t kLeadOffset = 12288;
}  // namespace

std::int16_t EntryDay(const Workstation& ws, int entry) {
  return validEntry(entry) ? getI16(ws.engine.CalIndexPage, 2 * static_cast<std::size_t>(entry - 1)) : 0;
}
int EntrySpan(const Workstation& ws, int entry) {
  return validEntry(entry) ? ws.engine.CalIndexPage[kSpanOffset + static_cast<std::size_t>(entry - 1)] : 0;
}
int EntryLead(const Workstation& ws, int entry) {
  return validEntry(entry) ? ws.engine.CalIndexPage[kLeadOffset + static_cast<std::size_t>(entry - 1)] : 0;
}

void SetIndexEntry(Workstation& ws, int entry) {
  if (!validEntry(entry)) return;
  auto& e = ws.engine;
  int start = getI16(e.CalRecord, cal::StartDay);
  int end = getI16(e.CalRecord, cal::EndDay);
  int warn = getI16(e.CalRecord, cal::WarnDay);
  bool repeats = e.CalRecord[cal::Repeats] != 0;
  auto i = static_cast<std::size_t>(entry - 1);
  putI16(e.CalIndexPage, 2 * i, static_cast<std::int16_t>(repeats ? -start : start));
  e.CalIndexPage[kSpanOffset + i] = static_cast<std::uint8_t>(std::clamp(end - start, 0, 255));
  e.CalIndexPage[kLeadOffset + i] = static_cast<std::uint8_t>(warn > 0 ? ((start - warn) & 0xFF) : 0);
}

void ClearIndexEntry(Workstation& ws, int entry) {
  if (!validEntry(entry)) return;
  auto& e = ws.engine;
  auto i = static_cast<std::size_t>(entry - 1);
  putI16(e.CalIndexPage, 2 * i, 0);
  e.CalIndexPage[kSpanOffset + i] = 0;
  e.CalIndexPage[kLeadOffset + i] = 0;
}

// -------------------------------------------------------------- client sets

void OpenClientFiles(Workstation& ws, int clientKind) {
  ws.engine.ClientDataFile.close();
  bindClientFiles(ws, clientKind);
}

void ClearClientRecord(Workstation& ws) {
  auto& r = ws.engine.ClientRecord;
  r.fill(0);
  putI16(r, 485, 1);
  r[1007] = 1;
  putPString(r, 1003, 1, "1");
  putPString(r, 1514, 1, "1");
  writeEndMark(r, client::EndMark);
}

void NormalizeClientMoney(Workstation& ws) {
  auto& r = ws.engine.ClientRecord;
  auto toCents = [&](std::size_t off) {
    double v = getReal48(r, off);
    double cents = std::trunc((std::fabs(v) + 0.001) * 100.0) / 100.0;
    if (v < 0) cents = -cents;
    // Amounts already in whole cents keep their exact bytes.
    if (cents != v) putReal48(r, off, cents);
  };
  toCents(client::Amount);
  for (std::size_t k = 0; k < 12; ++k) {
    toCents(client::MonthAmounts + 6 * k);
    toCents(client::MonthAmounts2 + 6 * k);
  }
  std::int16_t limit = getI16(r, client::AmountLimitDay);
  for (std::size_t k = 0; k < 12; ++k)
    if (limit > getI16(r, client::MonthDays + 2 * k))
      std::fill_n(r.begin() + static_cast<std::ptrdiff_t>(client::MonthAmounts + 6 * k), 6, std::uint8_t{0});
}

void BuildClientIndexEntry(Workstation& ws) {
  auto& e = ws.engine;
  const auto& r = e.ClientRecord;
  std::copy_n(r.begin() + client::Key, 13, e.ClientIndexEntry.begin());
  e.ClientIndexEntry[13] = r[client::IndexByte];
  e.ClientIndexEntry[14] = static_cast<std::uint8_t>((r[client::Flag1] ? 1 : 0) | (r[client::Flag2] ? 2 : 0) |
                                                     (r[client::Deleted] ? 4 : 0));
}

void BuildClientNameEntry(Workstation& ws) {
  auto& e = ws.engine;
  const auto& r = e.ClientRecord;
  std::string shown = getPString(r, client::DisplayName, kDisplayNameMax);
  std::string name;
  if (!shown.empty() && e.ClientKind == 0 && !ws.options.NoDisplayNames) {
    name = shown;
  } else {
    name = getPString(r, client::MainName, kClientNamePart);
    std::string second = getPString(r, client::SecondName, kClientNamePart);
    if (!second.empty()) {
      name += ", " + second;
      name.resize(std::min(name.size(), kJoinedNameMax));
    }
  }
  name = UpperText(name);
  e.ClientNameEntry.fill(0);
  putPString(e.ClientNameEntry, 0, kDisplayNameMax, name);
}

void ReadClientRecord(Workstation& ws, std::int32_t recNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  ensureClientFilesBound(ws);
  int rc = io::Ok;
  if (!e.KeepCalOpen) {
    e.ClientDataFile.close();
    rc = openForReading(e.ClientDataFile, e.ClientDataName, kClientRecordSize, *ws.files);
  } else if (!e.ClientDataFile.isOpen()) {
    rc = io::FileNotOpen;
  }
  std::int64_t last = (e.ClientDataFile.isOpen() ? e.ClientDataFile.recordCount() : 0) - 1;
  if (rc == io::Ok) rc = readWhole(e.ClientDataFile, recNo == -1 ? last : recNo, e.ClientRecord);
  if (!e.KeepCalOpen) rc = closeKeepingFirst(e.ClientDataFile, rc);
  report(ws, rc, "RClR-" + cutTag(tag) + " (" + std::to_string(recNo) + ":" + std::to_string(last) + ")");
}

void WriteClientRecord(Workstation& ws, std::int32_t recNo, std::string_view tag) {
  auto& e = ws.engine;
  beginOperation(ws);
  ensureClientFilesBound(ws);
  e.ClientDataFile.close();
  std::string reportTag = "WClR-" + std::to_string(recNo) + "-" + cutTag(tag);
  const std::string dataName = e.ClientDataName;

  RecordFile data, index, names;
  int rc = io::Ok;
  OpenOutcome outcome = openForWriting(ws, data, dataName, kClientRecordSize, true, rc);
  if (outcome != OpenOutcome::Opened && outcome != OpenOutcome::Created) {
    if (outcome == OpenOutcome::Failed) report(ws, rc, reportTag);
    NormalizeFileAttr(ws, dataName);
    return;
  }
  int indexRc = io::Ok, namesRc = io::Ok;
  bool haveIndex = openForWriting(ws, index, e.ClientIndexName, kClientIndexEntrySize, false, indexRc) !=
                   OpenOutcome::Failed;
  bool haveNames = openForWriting(ws, names, e.ClientNamesName, kClientNameEntrySize, false, namesRc) !=
                   OpenOutcome::Failed;

  NormalizeClientMoney(ws);
  if (altFolderInUse(ws)) e.ClientRecord[client::RemoteChanged] = 1;
  rc = WriteRecordKeepingTail(data, recNo, e.ClientRecord);
  if (rc == io::Ok) {
    BuildClientIndexEntry(ws);
    BuildClientNameEntry(ws);
    rc = haveIndex ? WriteRecordKeepingTail(index, recNo, e.ClientIndexEntry) : indexRc;
    // The name list is never extended with a gap.
    int nameRc = io::Ok;
    if (haveNames && names.recordCount() >= recNo) nameRc = WriteRecordKeepingTail(names, recNo, e.ClientNameEntry);
    if (rc == io::Ok) rc = nameRc;
  }
  rc = closeKeepingFirst(data, rc);
  rc = closeKeepingFirst(index, rc);
  rc = closeKeepingFirst(names, rc);
  report(ws, rc, reportTag);
  NormalizeFileAttr(ws, dataName);
}

void LoadClientList(Workstation& ws) {
  auto& e = ws.engine;
  beginOperation(ws);
  ensureClientFilesBound(ws);
  e.ClientList.clear();
  e.ClientListRecords.clear();
  bool displayNames = !ws.options.NoDisplayNames;

  RecordFile index, names;
  int rc = openForReading(index, e.ClientIndexName, kClientIndexEntrySize, *ws.files);
  if (rc != io::Ok) {
    // A set that was never written has no clients.
    if (rc != io::FileNotFound) report(ws, rc, "LCL");
    return;
  }
  std::int64_t nameCount = 0;
  if (displayNames && openForReading(names, e.ClientNamesName, kClientNameEntrySize, *ws.files) == io::Ok)
    nameCount = names.recordCount();

  std::int64_t count = index.recordCount();
  for (std::int64_t n = 1; n < count && rc == io::Ok; ++n) {
    rc = readWhole(index, n, e.ClientIndexEntry);
    if (rc != io::Ok) break;
    std::uint8_t flags = e.ClientIndexEntry[14];
    if (flags & 4) continue;
    std::string key = getPString(e.ClientIndexEntry, 0, 12);
    std::string line = key;
    if (displayNames) {
      std::string name;
      if (n < nameCount && readWhole(names, n, e.ClientNameEntry) == io::Ok)
        name = getPString(e.ClientNameEntry, 0, kDisplayNameMax);
      line = PadText(name, static_cast<int>(kDisplayNameMax)) + std::string(kClientListSeparator) + key;
    }
    line += (ws.options.MarkFlaggedClients && (flags & 6)) ? kFlaggedClientMark : ' ';
    e.ClientList.push_back(std::move(line));
    e.ClientListRecords.push_back(static_cast<std::int32_t>(n));
  }
  report(ws, rc, "LCL");
}

}  // namespace egresso
