#include "board/refresh.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <utility>

#include "board/board_lines.h"
#include "board/board_list.h"
#include "board/work_clock.h"
#include "core/waiting.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "storage/notify_file.h"
#include "core/workstation.h"
#include "config/config_store.h"
#include "storage/dates.h"
#include "storage/file_report.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

// Works on the location files for the life of the object, whatever the
// board shows, and puts the board's own files back afterwards: the automatic
// entries are location entries even while the message list is shown.
class LocationFiles {
 public:
  explicit LocationFiles(Workstation& ws)
      : ws_(ws), mode_(ws.ListMode), archive_(ws.ArchiveView), data_(ws.paths.BoardDataPath),
        index_(ws.paths.BoardIndexPath), lock_(ws.board.BoardLockName) {
    ws.ListMode = 1;
    ws.ArchiveView = false;
    SelectBoardFiles(ws);
  }
  ~LocationFiles() {
    if (mode_ == 1) return;
    ws_.ListMode = mode_;
    ws_.ArchiveView = archive_;
    ws_.paths.BoardDataPath = data_;
    ws_.paths.BoardIndexPath = index_;
    ws_.board.BoardLockName = lock_;
  }
  LocationFiles(const LocationFiles&) = delete;
  LocationFiles& operator=(const LocationFiles&) = delete;

 private:
  Workstation& ws_;
  int mode_;
  bool archive_;
  std::string data_, index_, lock_;
};

bool StartsWith(std::string_view s, std::string_view prefix) {
  return !prefix.empty() && s.substr(0, prefix.size()) == prefix;
}

std::int64_t NowNanosecondsOfDay(Workstation& ws) {
  auto t = ws.platform.clock->now();
  return (((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond) * 1'000'000;
}

// A file time is stamped by a clock that moves in steps: whole seconds on
// some file systems (a time without a fraction of a second), up to a
// hundredth of a second on a local disk. A change seen within one step of
// its time may be followed by another under that very time.
constexpr std::int64_t kSecondNs = 1'000'000'000;
constexpr std::int64_t kFineStampStepNs = 10'000'000;
std::int64_t stampStepNs(std::int64_t ageNs) { return ageNs % kSecondNs == 0 ? kSecondNs : kFineStampStepNs; }

void SaveBoardPlacement(Workstation& ws, const BoardRect& r) {
  ws.board.SavedPlacement = r;
  ws.pcfg.setI16(pcfg::BoardPlacement + 0, static_cast<std::int16_t>(r.width));
  ws.pcfg.setI16(pcfg::BoardPlacement + 2, static_cast<std::int16_t>(r.height));
  ws.pcfg.setI16(pcfg::BoardPlacement + 4, static_cast<std::int16_t>(r.top));
  ws.pcfg.setI16(pcfg::BoardPlacement + 6, static_cast<std::int16_t>(r.left));
}

}  // namespace

std::int64_t NanosecondsIntoToday(Workstation& ws, std::int64_t ageNs) {
  auto t = ws.platform.clock->now();
  std::tm midnight{};
  midnight.tm_year = t.year - 1900;
  midnight.tm_mon = t.month - 1;
  midnight.tm_mday = t.day;
  midnight.tm_isdst = -1;
  return ageNs - static_cast<std::int64_t>(std::mktime(&midnight)) * kSecondNs;
}

std::string AutoEntryStamp(Workstation& ws) {
  return TrimText(FormatDay(ws, ws.Today)) + "," + FormatTime(ws, CurrentTimeHHMM(ws), true, true, 0);
}

void UpdateOutHint(Workstation& ws, int slot) {
  BoardIndexEntry e;
  const bool open = ReadBoardIndexEntry(*ws.files, BoardIndexFile(ws, BoardSet::Locations), slot, e) &&
                    (!e.closed() || e.stale());
  ws.board.OutButtonHint = MessageText(ws, open ? 1394 : 1395);
}

void FormShow(Workstation& ws) {
  BoardState& b = ws.board;
  b.TaggedView = false;
  b.ReadOnlyRefresh = false;
  b.SelectedRecord = -1;
  b.LastDrawIndex = -1;
  b.CurrentLine = -1;
  b.SearchText.clear();
  b.Timer1PeriodMs = (ws.mcfg.u8(mcfg::BoardTimerSeconds) + 1) * 1000;
  if (ws.mcfg.flag(mcfg::TraceLog)) BoardTrace(ws, "FormShow: ");
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  if (ws.ListMode == 1) {
    UpdateOutHint(ws, ws.UserSlot);
    UpdateWorkClockButton(ws, ws.UserSlot);
  }
  if (ws.ListMode == 0) {
    // The new messages are on screen now; an announcement change that came
    // with them in the same file is still to be shown.
    for (const auto& text : TakeOwnNotifyTexts(ws, true))
      if (text.find('B') != std::string::npos) ws.AnnouncementChanged = true;
  }
  ws.BoardOpen = true;
  ws.HostReady = true;
}

void FormClose(Workstation& ws) {
  ws.board.BBSlist.clear();
  ws.board.BBSoldList.clear();
  ws.board.SelectedRecord = -1;
  ws.board.CurrentLine = -1;
  ws.BoardOpen = false;
}

bool BoardFilesChanged(Workstation& ws) {
  BoardState& b = ws.board;
  const std::int64_t ageD = fileAgeNs(ws.paths.BoardDataPath, *ws.files);
  const std::int64_t ageI = fileAgeNs(ws.paths.BoardIndexPath, *ws.files);
  const bool recheck = std::exchange(b.RecheckBoardFiles, false);
  if (!recheck && ageD == b.SavedDataAge && ageI == b.SavedIndexAge) return false;
  // Times are taken from the start of the workstation's day, so a change
  // made before midnight is due at once after it and one stamped ahead by a
  // server clock waits until the local clock has passed it. They are
  // compared as finely as the file system stamps them: a change is due at
  // the first tick after it, not only once its second has passed.
  const std::int64_t d = NanosecondsIntoToday(ws, ageD);
  const std::int64_t i = NanosecondsIntoToday(ws, ageI);
  const std::int64_t now = NowNanosecondsOfDay(ws);
  const std::int64_t slot = ws.UserSlot * kSecondNs;
  const bool stagger = ws.mcfg.flag(mcfg::StaggerRefresh);
  const bool due = (!stagger && d < now) || d + slot < now || i + slot < now;
  // A look asked for that is not due yet (a time ahead of the local clock)
  // is asked for again.
  b.RecheckBoardFiles = due ? now - d < stampStepNs(ageD) || now - i < stampStepNs(ageI) : recheck;
  return due;
}

Timer1Result Timer1Timer(Workstation& ws) {
  Timer1Result r;
  BoardState& b = ws.board;
  b.Timer1PeriodMs = (ws.mcfg.u8(mcfg::BoardTimerSeconds) + 1) * 1000;
  // A command in progress (waiting for a lock, pausing between attempts, or
  // holding a lock with a dialog open) is in the middle of its work on the
  // board files and RecordBuffer: everything below, closing included, waits
  // for a tick after it. The flags and file ages that ask for the work stay
  // as they are until then.
  if (CommandInProgress(ws)) return r;
  if (ws.QuitRequested && ws.PasswordDialogClosed) {
    r.closeBoard = true;
    return r;
  }
  // A folder that went away (a share that lost its server) or turned
  // read-only is told once, in the window: without its files the tick does
  // nothing that would raise a report at every turn, and the lists keep what
  // was last read until the folder is back, when they are read again.
  RetryRefusedWrites(ws);
  r.folder = DataFolderState(ws);
  r.folderChanged = r.folder != b.Folder;
  const bool back = b.Folder == FolderState::Gone && r.folder != FolderState::Gone;
  b.Folder = r.folder;
  if (r.folder == FolderState::Gone) return r;
  // The day is the clock's: after a night the computer slept through, the
  // lines that said "today" speak of yesterday.
  TakeTodayFromClock(ws);
  const bool newDay = b.ListDay != 0 && b.ListDay != ws.Today;
  // What was read of the announcement while the folder was gone is no
  // announcement: it is read again with the rest.
  if (back) ws.AnnouncementChanged = true;
  if ((back || newDay) && ws.BoardOpen) {
    if (ws.ListMode == 1) RememberBoardAges(ws);
    b.ReadOnlyRefresh = true;
    BuildBoardList(ws);
    r.listRebuilt = true;
  }

  // One look at this user's notification file every tick: a new message
  // shows at the next tick, not at the next minute's look.
  if (ws.MultiUser && ws.options.Notifications && OwnNotifyFileWaiting(ws)) {
    ws.host.NotifyLookDue = true;
    if (ws.host.LookAtLetters) ws.host.LookAtLetters();
  }
  if (ws.host.OpenedByNotification) b.NotificationSeenMs = ws.platform.clock->monotonicMs();
  r.reloadAnnouncement = ws.AnnouncementChanged;

  if (ws.MessageRefreshRequest) {
    BoardTrace(ws, "UpdateMessage: ");
    b.ReadOnlyRefresh = true;
    BuildBoardList(ws);
    PlayNewMessageSound(ws);
    r.listRebuilt = true;
  } else if (b.SoundPending) {
    PlayNewMessageSound(ws);
  }

  // The message list too: another workstation's purge renumbers the
  // messages its lines name.
  const bool watched = ws.ListMode == 0 || (ws.ListMode == 1 && !ws.options.OwnEntryOnly);
  if (watched && ws.BoardOpen && BoardFilesChanged(ws)) {
    if (ws.mcfg.flag(mcfg::TraceLog))
      traceLine(ws, "FileAge1  TU=" + ws.ThisUser + "  AGE: " + std::to_string(fileAgeNs(ws.paths.BoardDataPath, *ws.files)) +
                        "<>" + std::to_string(b.SavedDataAge) + "  INDXAGE: " +
                        std::to_string(fileAgeNs(ws.paths.BoardIndexPath, *ws.files)) + "<>" + std::to_string(b.SavedIndexAge) +
                        "  TIMENOW: " + std::to_string(NowNanosecondsOfDay(ws) / kSecondNs) + "  > " +
                        std::to_string(NanosecondsIntoToday(ws, fileAgeNs(ws.paths.BoardDataPath, *ws.files)) / kSecondNs) + "+" +
                        std::to_string(ws.UserSlot));
    if (EmployeeTablesChanged(ws)) {
      BoardTrace(ws, "FileAge2: ");
      CheckEmployeeTables(ws, "BBFA2");
    } else {
      BoardTrace(ws, "FileAge3: ");
      RememberBoardAges(ws);
    }
    b.ReadOnlyRefresh = true;
    BuildBoardList(ws);
    r.listRebuilt = true;
  }
  if (ws.ListMode == 1 && ws.options.WorkClock) r.workClockText = WorkClockElapsedText(ws);

  if (ws.mcfg.empInitials(1).empty() && !b.NoEmployeesNoticeShown) {
    b.NoEmployeesNoticeShown = true;
    ws.platform.dialogs->messageBox(MessageText(ws, 1467) + MessageText(ws, 1468), BoxKind::Warning);
  }
  if (!ws.MultiUser && !b.SingleUserNoticeShown) {
    b.SingleUserNoticeShown = true;
    ws.platform.dialogs->messageBox(MessageText(ws, 1464) + MessageText(ws, 1465) + MessageText(ws, 1466),
                                    BoxKind::Warning);
    ws.platform.help->request(HelpCommand::Context, 900, {});
  }
  if (b.AutoSignInPending && ws.UserSlot != 0) {
    r.modeChanged = ws.ListMode != 1 || ws.ArchiveView;
    ws.ListMode = 1;
    ws.ArchiveView = false;
    SelectBoardFiles(ws);
    MorningSignIn(ws, ws.UserSlot);
    r.listRebuilt = true;
  }
  return r;
}

BoardRect ShowPlacement(Workstation& ws, const BoardRect& reference, const BoardRect& screen,
                        const BoardRect& defaultSize) {
  BoardRect r;
  r.width = ws.pcfg.i16(pcfg::BoardPlacement + 0);
  r.height = ws.pcfg.i16(pcfg::BoardPlacement + 2);
  r.top = ws.pcfg.i16(pcfg::BoardPlacement + 4);
  r.left = ws.pcfg.i16(pcfg::BoardPlacement + 6);
  if (r.width <= 0 || r.height <= 0) {
    r.width = defaultSize.width;
    r.height = defaultSize.height;
    r.left = reference.left + (reference.width - r.width) / 2;
    r.top = reference.top + (reference.height - r.height) / 2;
  }
  if (ws.options.TallBoard) {
    r.height = screen.height - 2;
    r.left = 1;
    r.top = 1;
  }
  if (ws.options.CompactMode) {
    r.width = std::min(r.width, 200);
    r.left = reference.left + (reference.width - r.width) / 2;
  }
  SaveBoardPlacement(ws, r);
  return r;
}

bool CompactBoundsLeft(const Workstation& ws, const BoardRect& current, BoardRect& bounds) {
  if (!ws.options.CompactMode || current == ws.board.SavedPlacement) return false;
  bounds = ws.board.SavedPlacement;
  return true;
}

bool Timer2Timer(Workstation& ws, const BoardRect& current) {
  // Saved at a tick after the wait: the placement still differs then.
  if (CommandInProgress(ws) || ws.options.CompactMode || current == ws.board.SavedPlacement) return false;
  SaveBoardPlacement(ws, current);
  WritePersonalConfig(ws);
  return true;
}

bool MorningSignIn(Workstation& ws, int slot, const EntryIdentity& expected) {
  BoardState& b = ws.board;
  const bool automatic = b.AutoSignInPending;
  if (slot < 1 || slot > brd::Slots) return false;
  if (ws.mcfg.flag(mcfg::OwnSignInOnly) && ws.ThisUser != ws.mcfg.mainUserInitials() && !automatic) {
    const auto& list = b.BBSlist;
    std::string selected;
    if (b.CurrentLine >= 0 && b.CurrentLine < static_cast<int>(list.size()))
      selected = LineName(list[static_cast<std::size_t>(b.CurrentLine)].text, ws.options.ReturnFirst);
    if (selected != TrimText(ws.mcfg.empName(ws.UserSlot)))
      UltimateDialog(ws, MessageText(ws, 1451), -1, "", "", MessageText(ws, 29), 3);
  }
  {
    LocationFiles files(ws);
    if (!AcquireLock(ws, "LOCATELK", "BBMSI")) return false;
    if (expected.known) CheckEmployeeTables(ws);
    if (!SameEntry(ws, slot, expected)) {
      ReleaseLock(ws, "LOCATELK");
      TellEntryChanged(ws);
      return false;
    }
    ClearRecord(ws);
    ReadBoardRecord(ws, slot, "BBMSI");
    BulBrdRcrd& rec = b.RecordBuffer;
    const std::string initials = ws.mcfg.empInitials(slot);
    rec.setWho(initials);
    if (automatic) {
      // The arrival counts for today, so the next list build keeps it.
      rec.setHeadline((MessageText(ws, 2068) + ws.paths.ProductTitle + " " + AutoEntryStamp(ws)).substr(0, 60));
      rec.setClosed(0);
      rec.setReturnDay(ws.Today);
      rec.setReturnAt(0);
      rec.setMadeDay(ws.Today);
      rec.setMadeTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws)));
      // The program signs its user in: the entry is the user's own, and
      // every later view of it (the form, the journal) says so.
      rec.setEnteredBy(ws.ThisUser);
    } else {
      rec.setClosed(1);
      rec.setHeadline("");
      rec.setReturnDay(0);
    }
    BoardTrace(ws, "MornSignIn Write3: ");
    WriteBoardRecord(ws, slot, "BBMSI");
    ReleaseLock(ws, "LOCATELK");
    WriteJournal(ws, 'I');
  }
  UpdateOutHint(ws, slot);
  UpdateWorkClockButton(ws, slot);
  if (ws.ListMode == 1) BuildBoardList(ws);
  b.AutoSignInPending = false;
  return true;
}

void EgressoOnExit(Workstation& ws, int slot) {
  if (slot < 1 || slot > brd::Slots || ws.board.ReadOnlyView) return;
  LocationFiles files(ws);
  if (!AcquireLock(ws, "LOCATELK", "BBAEG")) return;
  ClearRecord(ws);
  ReadBoardRecord(ws, slot, "BBAEG1");
  BulBrdRcrd& rec = ws.board.RecordBuffer;
  const std::string headline = rec.headline();
  const std::string title = ws.paths.ProductTitle;
  // The automatic arrival and departure texts are replaced; an employee who
  // is out to a real destination keeps it.
  const bool automaticText =
      StartsWith(headline, MessageText(ws, 2067) + title) || StartsWith(headline, MessageText(ws, 2068) + title);
  const bool realDestination = rec.closed() == 0 && !headline.empty() && !automaticText;
  if (!realDestination) {
    rec.clearKeepingClock();
    rec.setMadeTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws)));
    rec.setMadeDay(ws.Today);
    rec.setReturnDay(ws.Today);
    rec.setReturnAt(2900);  // no return time announced
    rec.setWho(ws.ThisUser);
    rec.setEnteredBy(ws.ThisUser);
    const std::string text = (MessageText(ws, 2067) + title + " " + AutoEntryStamp(ws)).substr(0, 60);
    rec.setHeadline(text);
    rec.setClosed(0);
    WriteBodyText(BodyFilePath(ws, BoardSet::Locations, slot), text + "\r\n", *ws.files);
  }
  rec.setWho(ws.mcfg.empInitials(slot));
  BoardTrace(ws, "AutoEgresso Write: ");
  WriteBoardRecord(ws, slot, "BBAEG2");
  // The journal's lock is never waited for while the board's is held: the
  // others' sign-outs would wait behind this workstation's wait.
  ReleaseLock(ws, "LOCATELK");
  WriteJournal(ws, 'O');
  UpdateOutHint(ws, slot);
}

void PlayNewMessageSound(Workstation& ws) {
  ws.board.SoundPending = false;
  const std::string file = SoundFilePath(ws.paths, TrimText(ws.pcfg.str(pcfg::AlarmSound, 40)));
  // A damaged count must not keep the program busy for hours.
  const int times = std::clamp<int>(ws.pcfg.i16(pcfg::MaxBeeps), 0, 99);
  bool player = !file.empty() && fileExists(file);
  for (int i = 0; i < times; ++i) {
    if (i > 0) PauseMs(ws, player ? 1000 : 500);
    // Without an audio device or with a file that cannot be played, the
    // beep stands in, silently: a sound is never worth a dialog.
    if (player && !ws.platform.sound->play(file)) player = false;
    if (!player) ws.platform.dialogs->beep();
  }
}

}  // namespace egresso
