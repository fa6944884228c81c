#include "storage/file_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <filesystem>
#include <utility>

#include "core/workstation.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/file_ops.h"
#include "storage/locks.h"
#include "storage/record_io.h"

namespace egresso {
namespace {

constexpr int kNoticeOk = 29;
constexpr std::int64_t kRepeatQuietMs = 60000;
constexpr std::int64_t kRefusedRetryMs = 60000;
constexpr int kNoticeFile1 = 2069;
constexpr int kNoticeFile2 = 2070;
constexpr int kNoticeReadOnlyFs = 2071;
constexpr int kNoticeDenied = 2072;
constexpr int kNoticeMissing = 2073;
constexpr int kNoticeInputOutput = 2074;
constexpr int kNoticeDiskFull = 2075;
constexpr int kNoticeAdviceReadOnly = 2076;
constexpr int kNoticeAdviceDenied = 2077;
constexpr int kNoticeAdviceMissing = 2078;
constexpr int kNoticeAdviceInputOutput = 2079;
constexpr int kNoticeAdviceDiskFull = 2080;
constexpr int kNoticeNotDone = 2081;
constexpr int kNoticeBoardNotSaved = 2082;
constexpr int kNoticeMessageNotSaved = 2083;
constexpr int kNoticeJournalNotWritten = 2084;
constexpr int kNoticeChangeNotSaved = 2085;
constexpr int kNoticeFolderGone = 2086;
constexpr int kNoticeFolderReadOnly = 2087;
constexpr int kNoticeReadOnlyFolder = 2088;
constexpr int kNoticeNotPlainFile = 2089;
constexpr int kNoticeAdviceNotPlainFile = 2090;
constexpr int kNoticeInUse = 2097;
constexpr int kNoticeAdviceInUse = 2098;

// The error texts of the I/O results, as the report's second line names them.
int codeNotice(int code) {
  switch (code) {
    case 100: return 301;
    case 101: return 302;
    case 103:
    case 104:
    case 105: return 303;
    case 150: return 304;
    case 152: return 305;
    case 154: return 306;
    case 155: return 307;
    case 156: return 308;
    case 157: return 309;
    case 158: return 310;
    case 159: return 311;
    case 160: return 312;
    case 161: return 313;
    case 162: return 314;
    default: return 0;
  }
}

// Whether an errno value is the one behind an I/O result (a write that
// failed with EIO counts as a write error).
bool errnoAgrees(int code, int err) {
  const int mapped = io::fromErrno(err);
  return mapped == code || (code == io::DiskWriteError && mapped == io::DiskReadError);
}

bool folderGone(const std::string& folder) {
  struct stat st;
  return folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

bool onReadOnlyFileSystem(const std::string& folder) {
  struct statvfs vfs;
  return ::statvfs(folder.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
}

// A folder this account may read but not change.
bool notWritable(const std::string& folder) {
  return ::access(folder.c_str(), R_OK | X_OK) == 0 && ::access(folder.c_str(), W_OK) != 0;
}

// What a refused access means in this folder.
FailureReason refusal(const std::string& folder) {
  if (onReadOnlyFileSystem(folder)) return FailureReason::ReadOnlyFileSystem;
  if (notWritable(folder)) return FailureReason::ReadOnlyFolder;
  return FailureReason::PermissionDenied;
}

// What the command that held these locks did not finish.
int notDoneNotice(std::string_view lockName) {
  if (lockName == lockname::Locate) return kNoticeBoardNotSaved;
  if (lockName == lockname::Memo) return kNoticeMessageNotSaved;
  if (lockName == lockname::InOutLog) return kNoticeJournalNotWritten;
  return kNoticeChangeNotSaved;
}

}  // namespace

FailureReason ClassifyFailure(const std::string& folder, int code, int err) {
  // Something planted in the file's place is said as such, whatever the
  // call that met it answered.
  if (code == io::NotPlainFile) return FailureReason::NotPlainFile;
  switch (err) {
    case EROFS: return FailureReason::ReadOnlyFileSystem;
    case EACCES:
    case EPERM: return refusal(folder);
    case ENOENT:
    case ENOTDIR: return FailureReason::Missing;
    // A share that lost its server answers with I/O errors for the folder
    // too; the folder's absence is the more useful thing to say then.
    case EIO: return folderGone(folder) ? FailureReason::Missing : FailureReason::InputOutput;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FailureReason::DiskFull;
    // A file server's sharing violation: another client has the file open.
    case EBUSY:
    case ETXTBSY: return FailureReason::InUse;
    case 0: break;
    default: return FailureReason::Other;
  }
  if (folderGone(folder)) return FailureReason::Missing;
  if (code == io::AccessDenied || code == io::DiskWriteError) {
    FailureReason r = refusal(folder);
    if (r != FailureReason::PermissionDenied || code == io::AccessDenied) return r;
  }
  switch (code) {
    case io::FileNotFound:
    case io::PathNotFound: return FailureReason::Missing;
    case io::DiskReadError:
    case io::DiskWriteError:
    case io::FileNotOpen: return FailureReason::InputOutput;
    default: return FailureReason::Other;
  }
}

std::string FailureReasonText(Workstation& ws, FailureReason reason, int err) {
  switch (reason) {
    case FailureReason::ReadOnlyFileSystem: return MessageText(ws, kNoticeReadOnlyFs);
    case FailureReason::ReadOnlyFolder: return MessageText(ws, kNoticeReadOnlyFolder);
    case FailureReason::PermissionDenied: return MessageText(ws, kNoticeDenied);
    case FailureReason::Missing: return MessageText(ws, kNoticeMissing);
    case FailureReason::InputOutput: return MessageText(ws, kNoticeInputOutput);
    case FailureReason::DiskFull: return MessageText(ws, kNoticeDiskFull);
    case FailureReason::NotPlainFile: return MessageText(ws, kNoticeNotPlainFile);
    case FailureReason::InUse: return MessageText(ws, kNoticeInUse);
    case FailureReason::Other: break;
  }
  if (err == 0) return MessageText(ws, kNoticeInputOutput);
  std::string text = std::strerror(err);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

std::string FailureAdvice(Workstation& ws, FailureReason reason) {
  switch (reason) {
    case FailureReason::ReadOnlyFileSystem:
    case FailureReason::ReadOnlyFolder: return MessageText(ws, kNoticeAdviceReadOnly);
    case FailureReason::PermissionDenied: return MessageText(ws, kNoticeAdviceDenied);
    case FailureReason::Missing: return MessageText(ws, kNoticeAdviceMissing);
    case FailureReason::DiskFull: return MessageText(ws, kNoticeAdviceDiskFull);
    case FailureReason::NotPlainFile: return MessageText(ws, kNoticeAdviceNotPlainFile);
    case FailureReason::InUse: return MessageText(ws, kNoticeAdviceInUse);
    default: return MessageText(ws, kNoticeAdviceInputOutput);
  }
}

DialogRequest FileFailureReport(Workstation& ws, int code, std::string_view tag, std::string_view path, int err) {
  std::string file = path.empty() ? ws.paths.DataFolder : std::string(path);
  // The name of what was planted, when the workstation's calls refused it.
  if (const auto* station = dynamic_cast<const StationFileOps*>(ws.files);
      code == io::NotPlainFile && station && !station->refused.empty())
    file = station->refused;
  std::string folder = ws.paths.DataFolder;
  if (folder.empty()) folder = std::filesystem::path(file).parent_path().string();
  const FailureReason reason = ClassifyFailure(folder, code, err);

  DialogRequest r;
  r.message = MessageText(ws, kNoticeFile1) + file + MessageText(ws, kNoticeFile2) +
              FailureReasonText(ws, reason, err) + ".\r\r" + FailureAdvice(ws, reason);
  const int notice = codeNotice(code);
  std::string codeText = notice ? MessageText(ws, notice) : std::string(1, '"') + std::to_string(code);
  codeText.resize(std::min<std::size_t>(codeText.size(), 120));
  r.detail = codeText + " (" + std::string(tag.substr(0, 25)) + ")\"" +
             (err ? "  errno " + std::to_string(err) : std::string());
  r.button3 = MessageText(ws, kNoticeOk);
  r.defaultButton = 3;
  return r;
}

DialogRequest GivenUpReport(Workstation& ws, int code, std::string_view tag, std::string_view path,
                            const std::string& lead, std::string_view ending) {
  DialogRequest r = FileFailureReport(ws, code, tag, path, 0);
  const FailureReason reason = ClassifyFailure(ws.paths.DataFolder, code, 0);
  r.message = lead + " (" + FailureReasonText(ws, reason, 0) + ")\r\r" + FailureAdvice(ws, reason) + std::string(ending);
  return r;
}

void ShowReport(Workstation& ws, DialogRequest request) {
  LockState& L = ws.locks;
  if (request.button3.empty()) {
    request.button3 = MessageText(ws, kNoticeOk);
    request.defaultButton = 3;
  }
  if (L.Taken.empty()) {
    const std::string text = request.message + "\n" + request.detail;
    const std::int64_t now = ws.platform.clock ? ws.platform.clock->monotonicMs() : 0;
    if (text == L.LastReport && now - L.LastReportMs < kRepeatQuietMs) return;
    L.LastReport = text;
    L.LastReportMs = now;
    ws.platform.dialogs->ultimateDialog(request);
    return;
  }
  for (const auto& [name, count] : L.Taken)
    if (std::find(L.HeldReportLocks.begin(), L.HeldReportLocks.end(), name) == L.HeldReportLocks.end())
      L.HeldReportLocks.push_back(name);
  // A folder that fails every step of a command says so once.
  for (const DialogRequest& held : L.HeldReports)
    if (held.message == request.message) return;
  L.HeldReports.push_back(std::move(request));
}

void ShowHeldReports(Workstation& ws) {
  LockState& L = ws.locks;
  if (L.HeldReports.empty() || !L.Taken.empty()) return;
  std::vector<DialogRequest> reports = std::exchange(L.HeldReports, {});
  std::vector<std::string> locks = std::exchange(L.HeldReportLocks, {});
  // The board or the message first, then the journal, then anything else.
  std::vector<int> said;
  for (const std::string& name : locks) said.push_back(notDoneNotice(name));
  std::sort(said.begin(), said.end());
  said.erase(std::unique(said.begin(), said.end()), said.end());
  std::string notDone;
  for (int n : said) notDone += (notDone.empty() ? MessageText(ws, kNoticeNotDone) : std::string("; ")) + MessageText(ws, n);
  notDone += ".";
  // The last report tells what the command left undone; each shown one may
  // itself take locks (a handler run by the dialog) and raise reports anew.
  reports.back().message = notDone + "\r\r" + reports.back().message;
  for (DialogRequest& r : reports) ws.platform.dialogs->ultimateDialog(r);
}

void ReportIoError(Workstation& ws, int code, std::string_view tag, std::string_view path, int err) {
  // The failed step's errno, unless a later call already changed it.
  const int last = errno;
  if (code == io::Ok) return;
  if (err == 0 && last != 0 && errnoAgrees(code, last)) err = last;
  ++ws.locks.FailuresReported;
  ShowReport(ws, FileFailureReport(ws, code, tag, path, err));
  const std::string where(tag.substr(0, 25));
  traceLine(ws, "ERR[" + std::to_string(code) + "] LOC[" + where + "] TU[" + ws.ThisUser + "] DATE[" +
                    FormatDay(ws, ws.Today) + "] TIME[" + traceTime(ws) + "]  LAST[" +
                    FormatDay(ws, ws.mcfg.i16(mcfg::LastDateUsed)) + "]" +
                    (err ? " ERRNO[" + std::to_string(err) + "]" : std::string()) +
                    (path.empty() ? std::string() : " FILE[" + std::string(path) + "]"));
}

FolderState DataFolderState(const Workstation& ws) {
  const std::string& folder = ws.paths.DataFolder;
  if (folderGone(folder)) return FolderState::Gone;
  if (ws.locks.WritesRefused || onReadOnlyFileSystem(folder) || notWritable(folder)) return FolderState::ReadOnly;
  return FolderState::Usable;
}

void RetryRefusedWrites(Workstation& ws) {
  LockState& L = ws.locks;
  if (!L.WritesRefused || ws.paths.DataFolder.empty()) return;
  const std::int64_t now = ws.platform.clock->monotonicMs();
  if (now - L.RefusedProbeMs < kRefusedRetryMs) return;
  L.RefusedProbeMs = now;
  // A file nobody else uses, made and removed at once.
  const std::string path = ws.paths.DataFolder + "/EGRESSO" + TempSuffix();
  const int fd = ws.files->open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return;
  ws.files->close(fd);
  ws.files->unlink(path.c_str());
  L.WritesRefused = false;
}

std::string FolderStateText(Workstation& ws, FolderState state) {
  switch (state) {
    case FolderState::Gone: return MessageText(ws, kNoticeFolderGone);
    case FolderState::ReadOnly: return MessageText(ws, kNoticeFolderReadOnly);
    default: return {};
  }
}

}  // namespace egresso
