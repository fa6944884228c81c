#include "config/custom.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

#include "board/board_list.h"
#include "config/records.h"
#include "config/startup_routine.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "storage/bytes.h"
#include "config/config_store.h"
#include "storage/file_access.h"
#include "storage/file_set.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr std::size_t kAmounts = 1256;    // 50 x 5 x real48, reserved
constexpr std::size_t kAmountStride = 30;
constexpr std::size_t kFlags = 4975;      // 50 x byte, reserved
constexpr int kInOfficeNotice = 1445;

bool altFolderInUse(const Workstation& ws) { return !ws.paths.AltDataFolder.empty() && !ws.options.NormalDataPresent; }

void info(Workstation& ws, const std::string& text) { ws.platform.dialogs->messageBox(text, BoxKind::Information); }

std::string cleanInitials(std::string_view s) { return UpperText(TrimText(s)).substr(0, 3); }

// Writes a string field only when its text changes, so that an unchanged
// entry keeps every byte it had (the characters after the length too).
void putIfChanged(MainConfig& m, std::size_t off, std::size_t max, const std::string& text) {
  if (m.str(off, max) != text) m.setStr(off, max, text);
}

// The hidden sound field: "count", "file", or "file /count". A file that
// cannot be found (in the current folder, or beside the program's own
// files, where the default sound is) is reported and keeps the dialog
// open; the values themselves are kept as they are.
bool checkAlarmField(Workstation& ws) {
  const std::string sound = ws.pcfg.str(pcfg::AlarmSound, 40);
  const int beeps = ws.pcfg.i16(pcfg::MaxBeeps);
  const std::string text = sound.empty() ? std::to_string(beeps) : sound + " /" + std::to_string(beeps);
  const std::string trimmed = TrimText(text);
  if (trimmed.empty() || trimmed.find_first_not_of("0123456789") == std::string::npos) return true;
  const std::string file = TrimText(trimmed.substr(0, trimmed.find('/')));
  if (file.empty() || fileExists(SoundFilePath(ws.paths, file))) return true;
  ws.platform.dialogs->messageBox("\"" + file + MessageText(ws, 933), BoxKind::Warning);
  return false;
}

// The five term texts of other suite programs: an empty one is stored as
// the text a new record has there.
constexpr std::size_t kTerms = 4628;
constexpr int kTermNotices[5] = {137, 127, 129, 128, 136};

// What the suite's form does to the values it shows and writes back
// unchanged otherwise: empty terms get their defaults, amounts keep two
// decimals, and a password not asked for is forgotten.
void normaliseCarryOver(Workstation& ws, MainConfig& m) {
  for (std::size_t t = 0; t < 5; ++t)
    if (m.str(kTerms + 16 * t, 15).empty()) m.setStr(kTerms + 16 * t, 15, MessageText(ws, kTermNotices[t]).substr(0, 15));
  for (std::size_t a = 0; a < 5 * mcfg::Employees; ++a) {
    const std::size_t off = kAmounts + 6 * a;
    const double v = getReal48(ConstBytes(m.bytes.data(), m.bytes.size()), off);
    const double cents = std::round(v * 100.0) / 100.0;
    if (std::isfinite(v) && cents != v) putReal48(Bytes(m.bytes.data(), m.bytes.size()), off, cents);
  }
  if (!ws.pcfg.flag(pcfg::RequestPassword)) ws.pcfg.setStr(pcfg::UserPassword, 8, "");
}

}  // namespace

bool CustomDialog::mayEdit() const {
  const std::string main = ws_.mcfg.mainUserInitials();
  return main.empty() || ws_.ThisUser == main || altFolderInUse(ws_);
}

void CustomDialog::FormShow() {
  Modified = false;
  Shown = false;
  view = CustomView{};
  view.Caption = MessageText(ws_, 112);
  view.BoxCaption = MessageText(ws_, 2026);
  view.EmpBoxCaption = MessageText(ws_, 113);
  view.MainUserLabel = MessageText(ws_, 2019);
  view.OkCaption = MessageText(ws_, 74);
  view.CancelCaption = MessageText(ws_, 344);
  view.EditMenu = MessageText(ws_, 48);
  view.InsertItem = MessageText(ws_, 94);
  view.DeleteItem = MessageText(ws_, 95);
  view.Grid[0] = {MessageText(ws_, 114), MessageText(ws_, 115)};
  const MainConfig& m = ws_.mcfg;
  for (int r = 1; r < kGridRows; ++r) {
    view.Grid[static_cast<std::size_t>(r)] = {m.empInitials(r), m.empName(r)};
    EmployeeExtras& x = extras_[static_cast<std::size_t>(r)];
    const std::size_t at = kAmounts + kAmountStride * static_cast<std::size_t>(r - 1);
    std::copy_n(m.bytes.begin() + static_cast<std::ptrdiff_t>(at), kAmountStride, x.amounts.begin());
    x.flag = m.bytes[kFlags + static_cast<std::size_t>(r - 1)];
  }
  view.MainUser = m.mainUserInitials();
  view.Focus = CustomFocus::CancelBtn;
  Shown = true;
  GridEntered = false;
}

bool CustomDialog::EnterGrid() {
  GridEntered = true;
  PrevRow = PrevCol = -1;
  if (!mayEdit()) {
    info(ws_, MessageText(ws_, 144) + " " + ws_.mcfg.mainUserInitials());
    view.Focus = CustomFocus::CancelBtn;
    return false;
  }
  view.InsertEnabled = view.DeleteEnabled = true;
  return true;
}

bool CustomDialog::EnterMainUser() {
  if (mayEdit()) return true;
  info(ws_, MessageText(ws_, 154) + " " + ws_.mcfg.mainUserInitials());
  view.Focus = CustomFocus::CancelBtn;
  return false;
}

void CustomDialog::normaliseInitials(int row) {
  std::string& cell = view.Grid[static_cast<std::size_t>(row)][0];
  cell = UpperText(TrimText(cell));
}

int CustomDialog::duplicateOf(int row) const {
  const std::string& mine = view.Grid[static_cast<std::size_t>(row)][0];
  if (mine.empty()) return 0;
  for (int r = 1; r < kGridRows; ++r)
    if (r != row && cleanInitials(view.Grid[static_cast<std::size_t>(r)][0]) == cleanInitials(mine)) return r;
  return 0;
}

void CustomDialog::warnDuplicate(int row) {
  const std::string& ini = view.Grid[static_cast<std::size_t>(row)][0];
  ws_.platform.dialogs->messageBox("\"" + ini + "\" " + MessageText(ws_, 119) + " \"" + ini + "\".", BoxKind::Warning);
  view.Focus = CustomFocus::Grid;
  view.Row = row;
  view.Col = 0;
}

bool CustomDialog::SelectCell(int row, int col) {
  if (PrevRow >= 1 && PrevRow < kGridRows) {
    normaliseInitials(PrevRow);
    if (PrevCol == 0 && duplicateOf(PrevRow) != 0) {
      warnDuplicate(PrevRow);
      PrevCol = 0;
      CurrentRow = PrevRow;
      return false;
    }
  }
  if (row >= 1 && row < kGridRows) CurrentRow = row;
  PrevRow = row;
  PrevCol = col;
  return true;
}

bool CustomDialog::ExitGrid() {
  view.InsertEnabled = view.DeleteEnabled = false;
  if (PrevRow < 0) return true;
  for (int r = 1; r < kGridRows; ++r) normaliseInitials(r);
  for (int r = 1; r < kGridRows; ++r) {
    if (duplicateOf(r) != 0) {
      warnDuplicate(r);
      view.InsertEnabled = view.DeleteEnabled = mayEdit();
      return false;
    }
  }
  return true;
}

void CustomDialog::InsertRow() {
  if (!CheckDataFolder(ws_) || !view.InsertEnabled) return;
  const auto row = static_cast<std::size_t>(std::clamp(CurrentRow, 1, kGridRows - 1));
  for (std::size_t r = kGridRows - 1; r > row; --r) {
    view.Grid[r] = view.Grid[r - 1];
    extras_[r] = extras_[r - 1];
  }
  view.Grid[row] = {};
  extras_[row] = {};
  Modified = true;
}

void CustomDialog::removeRow(int row) {
  for (auto r = static_cast<std::size_t>(row); r + 1 < kGridRows; ++r) {
    view.Grid[r] = view.Grid[r + 1];
    extras_[r] = extras_[r + 1];
  }
  view.Grid[kGridRows - 1] = {};
  extras_[kGridRows - 1] = {};
}

void CustomDialog::DeleteRow() {
  if (!CheckDataFolder(ws_) || !view.DeleteEnabled) return;
  removeRow(std::clamp(CurrentRow, 1, kGridRows - 1));
  Modified = true;
}

void CustomDialog::KeyPressed() {
  if (Shown) Modified = true;
}

void CustomDialog::compact() {
  for (int r = kGridRows - 2; r >= 1; --r)
    if (TrimText(view.Grid[static_cast<std::size_t>(r)][0]).empty() &&
        !TrimText(view.Grid[static_cast<std::size_t>(r) + 1][0]).empty())
      removeRow(r);
}

void CustomDialog::OKBtnClick(bool cancel) {
  if (view.Closed || !CheckDataFolder(ws_)) return;
  if (cancel) {
    if (Modified && UltimateDialog(ws_, MessageText(ws_, 28), 1, MessageText(ws_, 407), MessageText(ws_, 408), "", 2) != 1) {
      view.Focus = CustomFocus::CancelBtn;
      return;
    }
    view.Closed = true;
    return;
  }
  if (!checkAlarmField(ws_)) return;
  const std::string mainText = TrimText(view.MainUser);
  if (mainText.empty()) {
    info(ws_, MessageText(ws_, 2025) + " " + ws_.paths.ProductTitle + ".");
    view.Focus = CustomFocus::MainUser;
    return;
  }
  if (mayEdit()) {
    if (!AcquireLock(ws_, lockname::ConfigAll, "CUOK2")) {
      if (GridEntered) RebuildLocations(ws_);
      view.Closed = true;
      return;
    }
    compact();
    // The record as it is in the file now: what other workstations changed
    // since the dialog opened (the day of the morning run, say) is kept; only
    // the employee table and the main user are this dialog's. This
    // workstation's copy keeps the switches it was started with.
    const MainConfig own = ws_.mcfg;
    ReadMainConfig(ws_, "CUOK2");
    MainConfig updated = ws_.mcfg;
    ws_.mcfg = own;
    for (int m = 1; m < kGridRows; ++m) {
      const auto& row = view.Grid[static_cast<std::size_t>(m)];
      const std::size_t i = static_cast<std::size_t>(m - 1);
      putIfChanged(updated, mcfg::EmpInitials + 4 * i, 3, cleanInitials(row[0]));
      putIfChanged(updated, mcfg::EmpNames + 21 * i, 20, TrimText(row[1]).substr(0, 20));
      const EmployeeExtras& x = extras_[static_cast<std::size_t>(m)];
      std::copy(x.amounts.begin(), x.amounts.end(), updated.bytes.begin() + static_cast<std::ptrdiff_t>(kAmounts + kAmountStride * i));
      updated.bytes[kFlags + i] = x.flag;
    }
    normaliseCarryOver(ws_, updated);
    const int slot = updated.slotOf(UpperText(mainText));
    if (slot == 0) {
      info(ws_, MessageText(ws_, 2020));
      view.Focus = CustomFocus::MainUser;
      ReleaseLock(ws_, lockname::ConfigAll);
      return;
    }
    putIfChanged(updated, mcfg::MainUserInitials, 3, updated.empInitials(slot));
    ws_.mcfg = updated;
    ws_.MultiUser = true;
    LoadMainConfig(ws_, 2);
    ApplyMainConfigSwitches(ws_);
    ws_.UserSlot = ws_.mcfg.slotOf(ws_.ThisUser);
    ReleaseLock(ws_, lockname::ConfigAll);
    view.Saved = true;
  }
  if (GridEntered) RebuildLocations(ws_);
  view.Closed = true;
}

// ------------------------------------------------------------ locations

namespace {

// Steps after the rebuild, done whether or not it could be made: the files'
// attributes, and the EMP signal file of every other employee.
void TellOtherWorkstations(Workstation& ws, const std::string& data, const std::string& index) {
  NormalizeFileAttr(ws, data);
  NormalizeFileAttr(ws, index);
  const std::string main = ws.mcfg.mainUserInitials();
  for (int i = 1; i <= mcfg::Employees; ++i) {
    const std::string initials = ws.mcfg.empInitials(i);
    if (initials.empty() || initials == main) continue;
    const std::string flag = DataFile(ws, "EMP" + initials);
    WriteFileReplacing(*ws.files, flag, "1");
    NormalizeFileAttr(ws, flag);
  }
}

}  // namespace

void RebuildLocations(Workstation& ws) {
  if (!ws.MultiUser || ws.ThisUser != ws.mcfg.mainUserInitials()) return;
  const std::string inOffice = MessageText(ws, kInOfficeNotice);
  const std::string data = BoardDataFile(ws, BoardSet::Locations);
  const std::string index = BoardIndexFile(ws, BoardSet::Locations);
  // Taking the lock completes an interrupted switch first.
  if (AcquireLock(ws, lockname::Locate, "CURL !!")) {
    const std::string tempData = DataFile(ws, "TEMPLOC.DAF");
    const std::string tempIndex = DataFile(ws, "TEMPLOC.DAI");

    // Every entry is carried over, or none: an entry that cannot be read
    // would come back as a fresh "(not updated)" one and its location would
    // be lost, so a location file that is there but cannot be read whole
    // stops the rebuild.
    std::vector<BulBrdRcrd> old;
    int readRc = io::Ok;
    {
      RecordFile f;
      readRc = f.open(data, brd::Size, RecordFile::Mode::ReadOnly, *ws.files);
      if (readRc == io::FileNotFound && !fileExists(data)) readRc = io::Ok;
      if (readRc == io::Ok && f.isOpen()) {
        old.resize(static_cast<std::size_t>(std::min(f.recordCount(), brd::MaxRecords)));
        for (std::size_t r = 0; r < old.size() && readRc == io::Ok; ++r)
          readRc = f.read(static_cast<std::int64_t>(r), old[r].bytes);
      }
    }
    if (readRc != io::Ok) {
      ReleaseLock(ws, lockname::Locate);
      ReportIoError(ws, readRc, "CURL-READ");
      TellOtherWorkstations(ws, data, index);
      return;
    }
    FileSetSwitch sw(ws.paths.DataFolder, *ws.files);
    sw.GuardedBy({lockname::Locate});
    std::vector<std::uint8_t> dataBytes, indexBytes;
    for (int i = 0; i <= brd::Slots; ++i) {
      const std::string initials = i >= 1 ? ws.mcfg.empInitials(i) : std::string();
      int taken = -1;
      if (i == 0) {
        if (!old.empty()) taken = 0;
      } else if (!initials.empty()) {
        for (std::size_t r = 0; r < old.size() && taken < 0; ++r)
          if (old[r].who() == initials) taken = static_cast<int>(r);
      }
      BulBrdRcrd rec;
      if (taken >= 0) {
        rec = old[static_cast<std::size_t>(taken)];
        BoardIndexEntry e;
        if (ReadBoardIndexEntry(*ws.files, index, taken, e) && e.stale()) rec.setHeadline(inOffice);
      } else {
        rec.setWho(initials);
        rec.setHeadline(inOffice);
      }
      BoardIndexEntry e{rec.returnDay(), rec.closed()};
      if (rec.headline() == inOffice) {
        e.Flags |= BoardIndexEntry::StaleBit;
        rec.setHeadline("");
      }
      dataBytes.insert(dataBytes.end(), rec.bytes.begin(), rec.bytes.end());
      std::uint8_t b[brd::IndexSize];
      e.encode(Bytes(b, brd::IndexSize));
      indexBytes.insert(indexBytes.end(), b, b + brd::IndexSize);
      // The location memo moves with its record.
      if (taken == i) continue;
      const std::string target = BodyFilePath(ws, BoardSet::Locations, i).string();
      const std::string from = taken >= 0 ? BodyFilePath(ws, BoardSet::Locations, taken).string() : std::string();
      if (!from.empty() && fileExists(from)) {
        const std::string staged = sw.StagingName(target);
        if (copyFile(from, staged, *ws.files) == io::Ok) sw.Replace(staged, target);
      } else if (fileExists(target)) {
        sw.Remove(target);
      }
    }
    auto writeAll = [&ws](const std::string& path, const std::vector<std::uint8_t>& bytes) {
      const int fd = ws.files->open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd < 0) return io::fromErrno(errno);
      int rc = WriteAll(*ws.files, fd, bytes.data(), bytes.size());
      if (ws.files->close(fd) != 0 && rc == io::Ok) rc = io::DiskWriteError;
      return rc;
    };
    int rc = writeAll(tempData, dataBytes);
    if (rc == io::Ok) rc = writeAll(tempIndex, indexBytes);
    if (rc == io::Ok) {
      sw.Replace(tempIndex, index);
      sw.Replace(tempData, data);
      rc = sw.Commit();
    } else {
      deleteFile(tempData, *ws.files);
      deleteFile(tempIndex, *ws.files);
    }
    ReportIoError(ws, rc, "CURL");
    ReleaseLock(ws, lockname::Locate);
  }
  TellOtherWorkstations(ws, data, index);
}

}  // namespace egresso
