#include "messages/form.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "board/board_list.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "messages/form_rules.h"
#include "text/notices.h"
#include "storage/notify_file.h"
#include "storage/dates.h"
#include "storage/extract.h"
#include "storage/file_access.h"
#include "storage/file_report.h"
#include "storage/held_lock.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr std::size_t kMaxBody = kBodyCap;  // a larger body file is shown cut
constexpr int kNoticeTextUnreadable = 1931;  // characters left out of a body file
constexpr int kNoticeTextCut = 1932;         // a body file too large to show whole
constexpr int kNoticeNotATime = 1938;        // "... is not a time."
constexpr int kNoticeFormerMembers = 1933;   // group members left out of a pick: "...: OLD, XYZ."
constexpr int kNoticeStoreFull = 1939;       // every message number is taken


std::string Trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return std::string(s.substr(a, b - a));
}

int WriteBodyWhole(Workstation& ws, const std::filesystem::path& p, std::string_view text) {
  int rc = WriteBodyText(p, text, *ws.files);
  if (rc == io::Ok) NormalizeFileAttr(ws, p);
  return rc;
}

// A body written beside model before the board lock is taken; under the lock
// it only takes its file's place (one round trip for the others to wait
// through instead of the whole writing).
PreparedFile PrepareBody(Workstation& ws, const std::filesystem::path& model, std::string_view text) {
  PreparedFile body = PrepareReplacement(*ws.files, model, BodyFileBytes(text));
  if (body.result == io::Ok && !body.temp.empty()) NormalizeFileAttr(ws, body.temp);
  return body;
}

}  // namespace

EgressoForm::EgressoForm(Workstation& ws) : ws_(ws) {}

bool EgressoForm::CheckFolder() { return CheckDataFolder(ws_); }

std::string EgressoForm::FirstLine() const {
  const std::size_t end = f.Location.find_first_of("\r\n");
  return f.Location.substr(0, end);
}

void EgressoForm::SetFirstLine(std::string_view line) {
  const std::size_t end = f.Location.find_first_of("\r\n");
  f.Location = std::string(line) + (end == std::string::npos ? std::string() : f.Location.substr(end));
}

std::string EgressoForm::DescFile() const { return DataFile(ws_, "DESC" + ws_.ThisUser); }

void EgressoForm::StopAt(int notice, FormField field, std::string_view extra) {
  UltimateDialog(ws_, MessageText(ws_, notice) + std::string(extra), -1, "", "", MessageText(ws_, 29), 3);
  f.focus = field;
}

void EgressoForm::FillReturnTimes() {
  f.ReturnTimeItems = ReturnTimeList(ws_, currentReturnDay_);
  f.returnTimeDropDown = !f.ReturnTimeItems.empty();
}

// The button shows any number the text holds; one too short to be a
// telephone number is refused when dialled (NumberToDial).
void EgressoForm::FindDialNumber() {
  dialNumber_ = ExtractPhoneNumber(f.Location, ws_.options.PhoneDigitsMin);
  f.showDial = !dialNumber_.empty();
  f.dialHint = MessageText(ws_, 1377) + dialNumber_;
}

std::string EgressoForm::NumberToDial() {
  if (static_cast<int>(dialNumber_.size()) >= ws_.options.PhoneDigitsMin) return dialNumber_;
  if (!dialNumber_.empty()) ws_.platform.dialogs->beep();
  return {};
}

void EgressoForm::ApplyAbbreviationLine(std::string_view line, bool chosen) {
  const AbbreviationResult r = ApplyAbbreviation(ws_, line, currentReturnDay_, chosen);
  if (!r.changed) return;
  SetFirstLine(r.firstLine);
  if (r.setsReturn) {
    currentReturnDay_ = r.returnDay;
    f.ReturnDate = FormatDay(ws_, r.returnDay);
    f.ReturnTime = r.returnTime;
    stepMinutes_ = r.stepMinutes;
  }
  dirty_ = edited_ = true;
}

void EgressoForm::FormShow() {
  FormState& in = ws_.form;
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  f = FormFields{};
  f.locationFace = ws_.ListMode == 1;
  const bool loc = f.locationFace;
  archive_ = !loc && ws_.ArchiveView;
  f.helpContext = loc ? 1350 : 1300;
  edited_ = dirty_ = cancelByKey_ = toEveryone_ = false;
  stepMinutes_ = 0;
  closed_ = false;
  bodyCut_ = false;
  bodyUnreadable_ = false;
  f.caption = MessageText(ws_, loc ? 1399 : 1400);
  // Only a reload while this form is open keeps it from writing.
  ws_.board.EmployeeTablesReloaded = false;

  isNew_ = false;
  f.showReply = false;
  entryGone_ = false;
  openedEntry_ = {};
  openedNumber_ = -1;
  actOnStored_ = in.ActOnStored;
  in.ActOnStored = false;
  const bool openRequest = in.FormCommand == kOpenRecordCommand;
  auto startNew = [&](const std::string& who) {
    rec.clearKeepingClock();
    if (!loc) rec.clear();
    rec.setReturnDay(ws_.Today);
    rec.setWho(who);
    isNew_ = true;
  };
  if (!openRequest) {
    const int pre = in.PreselectedSlot;
    const std::string who = pre >= 1 ? ws_.mcfg.empInitials(pre) : ws_.ThisUser;
    ClearRecord(ws_);
    // A running work clock lives in the employee's record and must survive
    // the new entry.
    if (loc && ws_.mcfg.slotOf(who.empty() ? ws_.ThisUser : who) > 0)
      ReadBoardRecord(ws_, ws_.mcfg.slotOf(who.empty() ? ws_.ThisUser : who), "EGFS");
    startNew(who.empty() ? ws_.ThisUser : who);
    // A message's number is chosen under the lock when it is saved.
    recordNumber_ = loc ? ws_.mcfg.slotOf(rec.who()) : -1;
  } else {
    const int n = std::abs(in.OpenRecordNumber);
    recordNumber_ = n;
    // The line the form was opened from may be older than the files: its
    // record number may name another entry by now, or none.
    entryGone_ = !SameEntry(ws_, n, in.OpenEntry);
    openedNumber_ = n;
    if (!loc) f.showReply = !entryGone_;
    ClearRecord(ws_);
    if (actOnStored_) {
      if (!entryGone_) ReadBoardRecord(ws_, n, "EGFS");
    } else {
      // What the form shows is the record its identity was taken from: a
      // save then finds any change made after this one read.
      BulBrdRcrd read;
      openedEntry_ = CurrentEntry(ws_, n, &read);
      if (!entryGone_) rec = read;
    }
    if (loc && !entryGone_ && (rec.who().empty() || rec.returnDay() == 0 || rec.closed() == 1)) {
      if (rec.closed() == 1) deleteFile(BodyFilePath(ws_, BoardSet::Locations, n), *ws_.files);
      startNew(ws_.mcfg.empInitials(n));
    }
  }

  f.EmployeeInItems = PickListItems(ws_, true);
  f.EmployeeOutItems = PickListItems(ws_, false);
  if (!loc) {
    // A new message names nobody until the user does: a save straight away
    // must not reach the whole office.
    f.EmpIn = RecipientText(rec);
    if (!isNew_ && f.EmpIn.empty() && rec.toList(1).empty()) f.EmpIn = EveryoneWord(ws_);
  }

  const std::string who = rec.who(), enteredBy = rec.enteredBy();
  f.showLabel1 = !isNew_ && enteredBy != who;
  f.label1 = loc ? who + MessageText(ws_, 1447) + " " + enteredBy : MessageText(ws_, 1448) + " " + enteredBy;
  if (loc) {
    f.showLabel2 = !isNew_ && ws_.options.TimeStamped && rec.madeTime() != 0 && rec.madeDay() != 0;
    f.label2 = MessageText(ws_, 1594) + "  " + Trim(FormatDay(ws_, rec.madeDay())) + " / " +
               FormatTime(ws_, rec.madeTime(), true, true, 0);
  } else {
    f.showLabel2 = !isNew_ && ws_.ThisUser == who && rec.readTime() != 0;
    f.label2 = MessageText(ws_, 1455) + " " + Trim(FormatDay(ws_, rec.readDay())) + " " + MessageText(ws_, 1437) +
               " " + FormatTime(ws_, rec.readTime(), true, true, 0);
  }

  f.empOutCaption = MessageText(ws_, loc ? 1390 : 1385);
  f.empInCaption = MessageText(ws_, 1384);
  f.pickCaption = MessageText(ws_, 216);
  f.returnDateCaption = MessageText(ws_, 1391);
  f.returnTimeCaption = MessageText(ws_, loc ? 1392 : 1386);
  f.locAbbCaption = MessageText(ws_, 1612);
  f.locationCaption = MessageText(ws_, loc ? 1393 : 1387);
  f.deleteCaption = MessageText(ws_, loc ? 1394 : 1420);
  f.readCaption = MessageText(ws_, 1421);
  f.okCaption = MessageText(ws_, 74);
  f.cancelCaption = MessageText(ws_, 344);
  f.replyHint = MessageText(ws_, 1431);
  f.forwardHint = MessageText(ws_, 1430);
  const bool fromOther = !isNew_ && who != ws_.ThisUser;
  if (loc) {
    f.showReadBtn = false;
    f.showEmpIn = false;
    f.showDeleteBtn = !isNew_;
    f.showReturnDate = true;
  } else {
    f.showReturnDate = false;
    f.showEmpIn = true;
    f.showReadBtn = fromOther && !archive_;
    f.showDeleteBtn = !isNew_ && !archive_;
  }

  f.ReturnDate = rec.returnDay() > 0 && rec.returnDay() < kNoDateFrom ? FormatDay(ws_, rec.returnDay()) : std::string();
  f.EmpOut = who;
  const int whoSlot = ws_.mcfg.slotOf(who);
  f.EmployeeOutText = whoSlot ? ws_.mcfg.empName(whoSlot) : std::string();
  f.ReturnTime = loc ? FormatTime(ws_, rec.returnAt(), true, true, 0) : rec.headline();
  f.ReadBtn = (rec.readMark(ws_.UserSlot) & 1) != 0 || (fromOther && !archive_ && !loc);
  f.DeleteBtn = rec.closed() != 0;

  f.empOutEnabled = loc && !ws_.options.OwnEntryOnly;
  if (!isNew_) f.empOutEnabled = who == ws_.ThisUser || ws_.ThisUser == ws_.mcfg.mainUserInitials();
  // The recipients of a message are those it was sent to: a change here
  // would reach nobody.
  if (!loc && !isNew_) f.empInEnabled = false;
  if (!loc && (fromOther || archive_)) {
    f.empOutEnabled = f.empInEnabled = f.returnDateEnabled = f.returnTimeEnabled = false;
    f.locationReadOnly = true;
  }

  currentReturnDay_ = rec.returnDay() > 0 && rec.returnDay() < kNoDateFrom ? rec.returnDay() : ws_.Today;
  if (loc) {
    f.LocAbbItems = LoadAbbreviations(ws_);
    f.showLocAbb = !f.LocAbbItems.empty() && !f.LocAbbItems.front().empty();
    FillReturnTimes();
  }

  f.Location.clear();
  if (!isNew_) {
    const auto body = BodyFilePath(ws_, loc ? BoardSet::Locations : archive_ ? BoardSet::Archive : BoardSet::Messages,
                                   recordNumber_);
    std::string text;
    const int readRc = ReadBodyText(body, *ws_.files, text);
    bodyUnreadable_ = readRc != io::Ok;
    if (bodyUnreadable_) {
      // An empty text in its place would be saved over the one on disk.
      f.locationReadOnly = true;
      ReportIoError(ws_, readRc, "EGRB", body.string());
    }
    const std::uint64_t bodyDigest = TextDigest(text);
    bool cut = false;
    if (text.size() > kMaxBody) {
      text.resize(kMaxBody);
      cut = true;
    }
    f.Location = BodyText(text);
    bodyCut_ = cut;
    // A text not there yet is the sender's still being written (the record
    // goes first): nothing was shown that it could differ from.
    if (openedEntry_.known && !entryGone_ && !text.empty()) {
      openedEntry_.hasBody = true;
      openedEntry_.body = bodyDigest;
    }
    if (cut) {
      // Only the beginning is shown; saving must not shorten the file.
      f.locationReadOnly = true;
      std::string t = MessageText(ws_, kNoticeTextCut);
      UltimateDialog(ws_, t.empty() ? "This text is too long to be shown whole; only its beginning is shown." : t, -1,
                     "", "", MessageText(ws_, 29), 3);
    } else if (f.Location.size() != text.size()) {
      std::string t = MessageText(ws_, kNoticeTextUnreadable);
      UltimateDialog(ws_, t.empty() ? "Characters of this text that cannot be shown were left out." : t, -1, "", "",
                     MessageText(ws_, 29), 3);
    }
  }

  if (isNew_ && loc) {
    std::string line;
    if (DefaultDestination(ws_, line)) {
      ApplyAbbreviationLine(line, false);
      f.LocAbbItems.insert(f.LocAbbItems.begin(), line);
      edited_ = dirty_ = false;
    }
    f.focus = FormField::ReturnTime;
  } else if (isNew_) {
    f.focus = FormField::EmpIn;
  } else {
    f.focus = FormField::CancelBtn;
  }
  FindDialNumber();

  answered_ = {};
  if (in.ReplyPending || in.ForwardPending) {
    answered_ = in.Answered;
    f.caption = MessageText(ws_, in.ReplyPending ? 1434 : 1435);
    f.EmpOut = ws_.ThisUser;
    rec.setWho(ws_.ThisUser);
    if (in.ReplyPending) f.EmpIn = in.ReplyTo;
    f.ReturnTime = in.CarrySubject.substr(0, 60);
    if (!in.CarryHeader.empty()) {
      const std::string quoted = ws_.platform.clipboard ? ws_.platform.clipboard->text() : std::string();
      f.Location = in.CarryHeader + "\r\n\r\n<<\r\n" + quoted + "\r\n>>\r\n\r\n";
    }
    f.focus = in.ForwardPending ? FormField::EmpIn : FormField::Location;
    in.ReplyPending = in.ForwardPending = false;
  }
  in.Answered = {};
  in.OpenEntry = {};
  if (entryGone_) ShowEntryGone();
}

void EgressoForm::ShowEntryGone() {
  // Nothing of whatever the slot holds now is shown; the form only says why
  // it is empty, and any of its buttons closes it.
  f.EmpOut = f.EmpIn = f.ReturnDate = f.ReturnTime = f.Location = f.EmployeeOutText = "";
  f.label1 = MessageText(ws_, kEntryChangedNotice);
  f.showLabel1 = true;
  f.showLabel2 = f.showReply = f.showDial = f.showCalendar = f.showReadBtn = f.showDeleteBtn = f.showLocAbb = false;
  f.empOutEnabled = f.empInEnabled = f.returnDateEnabled = f.returnTimeEnabled = false;
  f.locationReadOnly = true;
  f.ReadBtn = f.DeleteBtn = false;
  f.focus = FormField::CancelBtn;
  dialNumber_.clear();
  edited_ = dirty_ = false;
}

bool EgressoForm::MessageAddressedToMe() {
  const std::string to = UpperText(Trim(f.EmpIn));
  return to.empty() || to == EveryoneWord(ws_) || (!ws_.ThisUser.empty() && to.find(ws_.ThisUser) != std::string::npos);
}

void EgressoForm::OKbtnClick() {
  if (entryGone_) return CancelBtnClick();
  if (!CheckFolder()) return;
  Save();
}

void EgressoForm::Save() {
  saved_ = false;
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const bool loc = f.locationFace;
  if (archive_ || entryGone_) {
    // The archive is shown read-only: nothing in it changes from here.
    Close();
    return;
  }
  {
    // The form's own reload is not a change made while it was open.
    const bool reloaded = ws_.board.EmployeeTablesReloaded;
    CheckEmployeeTables(ws_);
    ws_.board.EmployeeTablesReloaded = reloaded;
  }
  const std::string who = UpperText(Trim(FieldText(f.EmpOut, 20))).substr(0, 3);
  rec.setWho(who);
  if (who != ws_.ThisUser && rec.readTime() == 0) {
    rec.setReadTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws_)));
    rec.setReadDay(ws_.Today);
  }
  if (isNew_ && who.empty()) return StopAt(loc ? 1427 : 1418, FormField::EmpOut);
  if (loc && ws_.mcfg.slotOf(who) == 0) return StopAt(215, FormField::EmpOut, who);

  toEveryone_ = false;
  if (isNew_ && !loc) {
    const RecipientResult r = ResolveRecipients(ws_, f.EmpIn, rec);
    if (r.none) return StopAt(1428, FormField::EmpIn);
    if (!r.ok) return StopAt(215, FormField::EmpIn, r.badToken);
    toEveryone_ = r.everyone;
    if (toEveryone_)
      for (int i = 1; i <= brd::Slots; ++i) rec.setToList(i, "");
  }

  if (loc) {
    if (Trim(f.ReturnDate).empty()) return StopAt(1415, FormField::ReturnDate);
    const std::int16_t day = ParseDay(ws_, f.ReturnDate, "", false, DaySense::Ahead);
    if (day <= 0 || day >= kNoDateFrom) return StopAt(1415, FormField::ReturnDate);
    // An entry saved with a day gone by would be signed in by the next list
    // pass without a word; only coming back in leaves the date unused.
    if (day < ws_.Today && !f.DeleteBtn) return StopAt(1426, FormField::ReturnDate);
    if (Trim(f.ReturnTime).empty() && !ws_.options.ReturnDateTime) return StopAt(1415, FormField::ReturnTime);
    const int at = Trim(f.ReturnTime).empty() ? 0 : ParseTime(ws_, FieldText(f.ReturnTime, 60));
    if (ws_.options.ReturnDateTime && isNew_ && day == ws_.Today && at != 0 && at <= CurrentTimeHHMM(ws_))
      return StopAt(1425, FormField::ReturnTime);
    rec.setReturnAt(static_cast<std::int16_t>(at));
    rec.setReturnDay(day);
  } else if (Trim(FirstLine()).empty() && !Trim(f.ReturnTime).empty()) {
    f.Location = FieldText(f.ReturnTime, 60) + (f.Location.empty() ? "" : "\r\n" + f.Location);
  }
  // A destination is all its lines; a message's subject is its first.
  const std::string headline = loc ? DestinationHeadline(f.Location) : FirstLine();
  if (Trim(headline).empty()) return StopAt(loc ? 1416 : 1417, FormField::Location);

  if (isNew_) {
    rec.setMadeTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws_)));
    rec.setMadeDay(ws_.Today);
  }
  std::uint8_t mark = f.ReadBtn ? 1 : 0;
  if (!loc && f.DeleteBtn && who != ws_.ThisUser) {
    mark = static_cast<std::uint8_t>(mark + 2);
  } else {
    rec.setClosed(f.DeleteBtn ? 1 : 0);
  }
  rec.setReadMark(ws_.UserSlot, mark);
  if (rec.closed()) rec.setReturnDay(0);
  if (who == ws_.ThisUser && isNew_)
    for (int i = 1; i <= brd::Slots; ++i) rec.setReadMark(i, 0);
  if (isNew_) rec.setEnteredBy(ws_.ThisUser);
  const std::string subject = Trim(FieldText(f.ReturnTime, 60));
  rec.setHeadline(FieldText(loc || subject.empty() ? headline : f.ReturnTime, 60));

  const std::string lock = loc ? "LOCATELK" : "MEMOLK";
  bool changed = false;
  bool full = false;
  // A text this form could not change (another's message, a text shown
  // cut) is left as it is in its file: the copy read when the form opened
  // may be older, or empty when it opened before the sender's text was
  // written. Any other is written now, before the lock.
  const bool keepBody = bodyCut_ || f.locationReadOnly;
  const BoardSet set = loc ? BoardSet::Locations : BoardSet::Messages;
  const int knownNumber = loc ? ws_.mcfg.slotOf(who) : isNew_ ? 0 : recordNumber_;
  PreparedFile body;
  if (!keepBody) body = PrepareBody(ws_, BodyFilePath(ws_, set, knownNumber), BodyText(f.Location));
  bool failed = true;  // nothing was written: the lock was not had, or a write failed
  bool recordWritten = false;
  bool unreadable = false;
  if (HeldLock held{ws_, lock, "EGOK"}) {
    failed = false;
    if (isNew_ && !loc) recordNumber_ = NextMessageNumber(ws_);
    full = isNew_ && !loc && recordNumber_ == kStoreFull;
    unreadable = isNew_ && !loc && recordNumber_ == kStoreUnreadable;
    if (loc) recordNumber_ = ws_.mcfg.slotOf(who);
    // The slot the form was opened on must still hold that entry.
    changed = openedEntry_.known && recordNumber_ == openedNumber_ &&
              !SameEntry(ws_, recordNumber_, openedEntry_);
    if (loc && !changed) TakeStoredClock();
    if (!isNew_ && !loc && !changed) KeepStoredChanges();
    bool written = false;
    if (changed || unreadable) {
      // Nothing is written; the user is told once the lock is released.
    } else if (full) {
      // Nothing is written either; the form stays open with what was typed,
      // so the message can go once others have deleted some of theirs.
      std::string text = MessageText(ws_, kNoticeStoreFull);
      if (text.empty())
        text = "There is no room for another message: every message number is taken. "
               "Delete messages no longer needed, then send it again.";
      ShowReport(ws_, MakeDialogRequest(text, -1, "", "", MessageText(ws_, 29), 3));
    } else if (loc && ws_.board.EmployeeTablesReloaded) {
      // Shown once the board lock is released: the others need not wait for
      // this user to read it.
      ShowReport(ws_, MakeDialogRequest(ws_.mcfg.mainUserInitials() + MessageText(ws_, 2040) + MessageText(ws_, 2041),
                                        -1, "", "", MessageText(ws_, 29), 3));
    } else if (WriteBoardRecord(ws_, recordNumber_, "EGOK") != io::Ok) {
      failed = true;
    } else {
      written = recordWritten = true;
      const std::string bodyPath = BodyFilePath(ws_, set, recordNumber_);
      const int rc = keepBody ? io::Ok : CommitReplacement(*ws_.files, body, bodyPath);
      ReportIoError(ws_, rc, "EGOK-BODY", bodyPath);
      saved_ = rc == io::Ok;
      failed = !saved_;
    }
    if (written && !loc && !isNew_ && f.DeleteBtn && who == ws_.ThisUser) ArchiveMessage(ws_, recordNumber_);
    // The journal and the letters follow the record under locks of their
    // own: the others waiting for the board lock need not wait for them
    // too, and a letter never announces a record not yet written.
    held.release();
    DiscardReplacement(*ws_.files, body);
    if (written) {
      if (loc) WriteJournalLines();
      Notify();
      if (!loc && isNew_) MarkAnsweredRead();
    }
  }
  if (changed) {
    TellEntryChanged(ws_);
    entryGone_ = true;
  }
  // What was typed stays in the form, to be sent again.
  if (full || unreadable) return;
  if (failed && !changed) {
    // The form stays open with what was typed, to be saved again once the
    // folder takes it. A record already written is this form's from now on:
    // the next save goes to it, not to a new one.
    if (recordWritten && isNew_) {
      isNew_ = false;
      openedEntry_ = {};
      openedNumber_ = recordNumber_;
      if (!loc) f.empInEnabled = false;
    }
    return;
  }
  Close();
}

// A sign-out nobody was shown is made over what the slot holds now: a new
// entry when the employee is in by now, else the entry there with its
// author and time. Only the destination, the return and the text are the
// caller's.
void EgressoForm::TakeStoredEntry(const BulBrdRcrd& stored) {
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const bool open = stored.who() == rec.who() && stored.closed() == 0 && stored.returnDay() != 0;
  if (open) {
    rec.setMadeDay(stored.madeDay());
    rec.setMadeTime(stored.madeTime());
    rec.setEnteredBy(stored.enteredBy());
    for (int i = 1; i <= brd::Slots; ++i) rec.setReadMark(i, stored.readMark(i));
  } else {
    rec.setMadeDay(ws_.Today);
    rec.setMadeTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws_)));
    rec.setEnteredBy(ws_.ThisUser);
    for (int i = 1; i <= brd::Slots; ++i) rec.setReadMark(i, 0);
  }
}

// The work clock lives in the employee's own entry: whatever this form read
// when it opened (perhaps another employee's entry), the entry written
// keeps the clock that its slot holds now, running or not.
void EgressoForm::TakeStoredClock() {
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  BulBrdRcrd stored;
  RecordFile file;
  if (recordNumber_ < 1 || file.open(ws_.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws_.files) != io::Ok ||
      recordNumber_ >= file.recordCount() || file.read(recordNumber_, stored.bytes) != io::Ok ||
      stored.who() != rec.who())
    stored.clear();
  // The one read of the slot under the lock serves a sign-out nobody saw too.
  if (actOnStored_) TakeStoredEntry(stored);
  rec.setClockStart(stored.clockStart());
  rec.setClockDay(stored.clockDay());
  rec.setClockEntry(stored.clockEntry());
}

// Marks message r read by this user, as opening and saving it would, and
// changes nothing else of it: under the message lock, and only while the
// slot still holds the entry the user was shown.
EgressoForm::Reading EgressoForm::RecordReading(int r, const EntryIdentity& entry, std::string_view tag) {
  if (r < 0 || ws_.UserSlot < 1) return Reading::Recorded;
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const BulBrdRcrd mine = rec;
  HeldLock held{ws_, "MEMOLK", tag};
  if (!held) return Reading::Failed;
  if (!SameEntry(ws_, r, entry)) return Reading::Changed;
  BulBrdRcrd stored;
  RecordFile file;
  const bool there = file.open(ws_.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws_.files) == io::Ok &&
                     r < file.recordCount() && file.read(r, stored.bytes) == io::Ok && !stored.closed();
  file.close();
  if (!there || (stored.readMark(ws_.UserSlot) & 1) != 0) return Reading::Recorded;
  stored.setReadMark(ws_.UserSlot, static_cast<std::uint8_t>(stored.readMark(ws_.UserSlot) | 1));
  if (stored.who() != ws_.ThisUser && stored.readTime() == 0) {
    stored.setReadTime(static_cast<std::int16_t>(CurrentTimeHHMM(ws_)));
    stored.setReadDay(ws_.Today);
  }
  rec = stored;
  const int rc = WriteBoardRecord(ws_, r, tag);
  rec = mine;
  return rc == io::Ok ? Reading::Recorded : Reading::Failed;
}

// A message answered (replied to or forwarded) has been read. A slot that
// holds another message by now is left alone.
void EgressoForm::MarkAnsweredRead() {
  const AnsweredMessage answered = answered_;
  answered_ = {};
  if (answered.record >= 0) RecordReading(answered.record, answered.entry, "EGOK-READ");
}

// The form read the message when it opened, without the lock; other
// workstations may have changed it since: another recipient marked it read
// or tagged it, its sender closed it. Writing the form's copy whole would
// undo that, so only what this user changes here is taken from the form.
void EgressoForm::KeepStoredChanges() {
  BulBrdRcrd stored;
  RecordFile file;
  if (file.open(ws_.paths.BoardDataPath, brd::Size, RecordFile::Mode::ReadOnly, *ws_.files) != io::Ok ||
      file.read(recordNumber_, stored.bytes) != io::Ok)
    return;
  BulBrdRcrd& rec = ws_.board.RecordBuffer;
  for (int slot = 1; slot <= brd::Slots; ++slot)
    if (slot != ws_.UserSlot) rec.setReadMark(slot, stored.readMark(slot));
  if (stored.readTime() != 0) {
    rec.setReadTime(stored.readTime());
    rec.setReadDay(stored.readDay());
  }
  if (rec.who() != ws_.ThisUser) {
    // A recipient changes only the own mark: everything else is the
    // sender's, as stored now (the subject may have changed meanwhile).
    const BulBrdRcrd mine = rec;
    rec = stored;
    rec.setReadMark(ws_.UserSlot, mine.readMark(ws_.UserSlot));
    if (stored.readTime() == 0) {
      rec.setReadTime(mine.readTime());
      rec.setReadDay(mine.readDay());
    }
  }
}

void EgressoForm::WriteJournalLines() {
  const bool shared = ws_.mcfg.flag(mcfg::InOutLogShared);
  if (!ws_.mcfg.flag(mcfg::InOutLog) && !shared) return;
  HeldLock held(ws_, "EGLOG", "EGOK-LOG");
  if (!held) return;
  const BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const std::string who = rec.who();
  const std::string path = DataFile(ws_, shared ? std::string("INOUT.DAF") : "INOUT" + who + ".DAF");
  std::string text;
  if (rec.closed()) {
    text = PadText(FormatDay(ws_, ws_.Today), -9) + PadText(FormatTime(ws_, CurrentTimeHHMM(ws_), true, true, 0), -7) +
           PadText(who, -5) + "    " + MessageText(ws_, 1486);
    if (who != ws_.ThisUser) text += " (" + MessageText(ws_, 1488) + " " + ws_.ThisUser + ")";
    text += "\r\n";
  } else {
    text = PadText(FormatDay(ws_, rec.madeDay()), -9) + PadText(FormatTime(ws_, rec.madeTime(), true, true, 0), -7) +
           PadText(who, -5) + "    " + MessageText(ws_, 1487) + "    " + MessageText(ws_, 1392) + ": " +
           PadText(Trim(FormatDay(ws_, rec.returnDay())) + ", " + FormatTime(ws_, rec.returnAt(), true, true, 0), 17);
    if (rec.enteredBy() != who) text += " (" + MessageText(ws_, 1447) + " " + rec.enteredBy() + ")";
    text += "\r\n";
    std::size_t start = 0;
    const std::string body = BodyText(f.Location);
    while (start <= body.size()) {
      std::size_t end = body.find('\n', start);
      std::string line = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!(end == std::string::npos && line.empty())) text += "    " + line + "\r\n";
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  ReportIoError(ws_, AppendToFile(path, text, *ws_.files), "EGOK-LOG", path);
  NormalizeFileAttr(ws_, path);
}

void EgressoForm::Notify() {
  const BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const bool toAll = toEveryone_ || rec.toList(1).empty();
  // A letter that did not go in leaves its reader unwarned: told once.
  int failed = io::Ok, failedErrno = 0;
  std::string failedFile;
  auto post = [&](std::string_view to, char letter) {
    const int rc = PostNotification(ws_, to, letter);
    if (failed == io::Ok && rc != io::Ok) {
      failed = rc;
      failedErrno = errno;
      failedFile = NotifyFileOf(ws_, to);
    }
  };
  if (!f.locationFace && !rec.closed() && rec.who() == ws_.ThisUser && ws_.options.Notifications) {
    for (int i = 1; i <= brd::Slots; ++i) {
      if (i == ws_.UserSlot) continue;
      const std::string to = toAll ? ws_.mcfg.empInitials(i) : rec.toList(i);
      if (to.empty() || to == ws_.ThisUser || to == "nul") continue;
      post(to, 'M');
    }
  }
  if (ws_.options.NotifyAll) {
    for (int i = 1; i <= brd::Slots; ++i) {
      if (i == ws_.UserSlot) continue;
      post(rec.toList(1).empty() ? ws_.mcfg.empInitials(i) : rec.toList(i), 'A');
    }
  }
  ReportIoError(ws_, failed, "EGOK-NOTIFY", failedFile, io::fromErrno(failedErrno) == failed ? failedErrno : 0);
}

void EgressoForm::CancelBtnClick() {
  // A form whose entry is gone has nothing to save: it always closes.
  if (entryGone_) {
    ws_.form.FormCommand = 26;
    Close();
    return;
  }
  if (!CheckFolder()) return;
  saved_ = false;
  // Typed or chosen text is thrown away only when the user says so; "No"
  // leaves the form open as it is.
  if ((edited_ || dirty_) &&
      UltimateDialog(ws_, MessageText(ws_, 28), 3, MessageText(ws_, 407), MessageText(ws_, 408), "", 1) != 1)
    return;
  // Cancel is no save: of a message addressed to the user it records the
  // reading and nothing else (the sender's own message needs none).
  const BulBrdRcrd& rec = ws_.board.RecordBuffer;
  // A message whose text could not be read was not read: closing it does
  // not count it so.
  if (!f.locationFace && !isNew_ && !archive_ && MessageAddressedToMe() && rec.who() != ws_.ThisUser &&
      !bodyUnreadable_) {
    const EntryIdentity shown = openedEntry_.known ? openedEntry_ : CurrentEntry(ws_, recordNumber_);
    const Reading r = RecordReading(recordNumber_, shown, "EGCAN");
    saved_ = r == Reading::Recorded;
    if (r == Reading::Changed) {
      TellEntryChanged(ws_);
      entryGone_ = true;
    }
  } else {
    ws_.form.FormCommand = 26;
  }
  Close();
}

void EgressoForm::FwdRplyBtnClick(ReplyKind kind, std::string_view selection) {
  if (!CheckFolder()) return;
  FormState& c = ws_.form;
  const BulBrdRcrd& rec = ws_.board.RecordBuffer;
  f.focus = FormField::Location;
  c.ReplyTo = UpperText(Trim(f.EmpOut)).substr(0, 3);
  c.CarrySubject = f.ReturnTime.substr(0, 120);
  if (kind == ReplyKind::ReplyMenu && !f.locationFace) c.CarrySubject = NumberSubject(c.CarrySubject).substr(0, 120);
  c.CarryHeader = MessageText(ws_, 1436) + " " + Trim(FormatDay(ws_, rec.madeDay())) + " " + MessageText(ws_, 1437) +
                  " " + FormatTime(ws_, rec.madeTime(), true, true, 0) + ", ";
  std::string quoted(selection);
  c.Answered = {};
  if (!f.locationFace && !archive_ && !isNew_)
    c.Answered = {recordNumber_, openedEntry_.known ? openedEntry_ : CurrentEntry(ws_, recordNumber_)};
  if (kind == ReplyKind::Forward) {
    if (quoted.empty()) quoted = f.Location;
    const int slot = ws_.mcfg.slotOf(rec.who());
    const std::string name = slot ? ws_.mcfg.empName(slot) : rec.who();
    c.CarryHeader += name + " " + MessageText(ws_, 1439) + " " + MessageText(ws_, 1446) + " " + f.EmpIn + ": ";
    c.ForwardPending = true;
  } else {
    c.CarryHeader += MessageText(ws_, 1438) + " " + MessageText(ws_, 1439) + ": ";
    c.ReplyPending = true;
    if (quoted.empty()) {
      c.CarryHeader.clear();
      quoted = " ";
    }
  }
  if (c.CarryHeader.size() > 254) c.CarryHeader.resize(254);
  if (ws_.platform.clipboard) ws_.platform.clipboard->setText(quoted);
  Close();
}

void EgressoForm::Enter(FormField field) {
  switch (field) {
    case FormField::ReturnDate:
      snapshot_ = f.ReturnDate;
      if (!Trim(f.ReturnDate).empty()) {
        const std::int16_t d = ParseDay(ws_, f.ReturnDate, "", false);
        if (d > 0 && d < kNoDateFrom) {
          calendar.Show(ws_, d);
          f.showCalendar = true;
        }
      }
      break;
    case FormField::ReturnTime: snapshot_ = f.ReturnTime; break;
    case FormField::EmpIn: snapshot_ = f.EmpIn; break;
    case FormField::EmpOut:
    case FormField::EmployeeOut: snapshot_ = f.EmpOut; break;
    case FormField::Location: {
      WriteBodyWhole(ws_, DescFile(), f.Location);
      if (isNew_) {
        const std::size_t end = f.Location.find_first_of("\r\n");
        const int lineEnd = static_cast<int>(end == std::string::npos ? f.Location.size() : end);
        f.locationSelStart = stepMinutes_ > 0 ? 0 : lineEnd;
        f.locationSelLength = stepMinutes_ > 0 ? lineEnd : 0;
      }
      break;
    }
    default: break;
  }
}

bool EgressoForm::Exit(FormField field) {
  if (field == FormField::ReturnDate) {
    const ReturnDateResult r = LeaveReturnDate(ws_, f.ReturnDate, snapshot_, calendar.Chosen() > 0 ? calendar.Chosen() : currentReturnDay_);
    if (!r.ok) {
      f.ReturnDate = snapshot_;
      calendar.Show(ws_, currentReturnDay_);
      f.showCalendar = true;
      f.focus = FormField::ReturnDate;
      return false;
    }
    f.ReturnDate = r.text;
    f.showCalendar = false;
    if (r.day > 0) currentReturnDay_ = r.day;
    if (f.locationFace) FillReturnTimes();
    return true;
  }
  if (field == FormField::ReturnTime && f.locationFace && !Trim(f.ReturnTime).empty()) {
    bool unreadable = false;
    const std::string t = LeaveReturnTime(ws_, f.ReturnTime, currentReturnDay_, &unreadable);
    if (unreadable) {
      // Said, as for a date: an emptied field would pass for "no time".
      const std::string typed = Trim(FieldText(f.ReturnTime, 60));
      std::string text = MessageText(ws_, kNoticeNotATime);
      if (text.empty()) text = "is not a time.";
      f.ReturnTime = snapshot_;
      UltimateDialog(ws_, "\"" + typed + "\" " + text, -1, "", "", MessageText(ws_, 29), 3);
      f.focus = FormField::ReturnTime;
      return false;
    }
    f.ReturnTime = t;
  }
  if (field == FormField::Location) FindDialNumber();
  return true;
}

void EgressoForm::ReturnTimeDropDown() {
  if (f.locationFace) FillReturnTimes();
}

void EgressoForm::LocAbbChange(int index) {
  if (index < 0 || index >= static_cast<int>(f.LocAbbItems.size())) return;
  ApplyAbbreviationLine(f.LocAbbItems[static_cast<std::size_t>(index)], true);
}

void EgressoForm::EmployeeInClick(int index) {
  if (!CheckFolder() || index < 0 || index >= static_cast<int>(f.EmployeeInItems.size())) return;
  std::vector<std::string> former;
  f.EmpIn = PickRecipient(f.EmpIn, f.EmployeeInItems[static_cast<std::size_t>(index)], ws_, &former);
  dirty_ = true;
  if (!former.empty()) {
    std::string text = MessageText(ws_, kNoticeFormerMembers);
    if (text.empty()) text = "Left out, no longer in the employee table: ";
    for (std::size_t i = 0; i < former.size(); ++i) text += (i ? ", " : "") + former[i];
    UltimateDialog(ws_, text + ".", -1, "", "", MessageText(ws_, 29), 3);
  }
}

void EgressoForm::EmployeeOutClick(int index) {
  if (!CheckFolder() || index < 0 || index >= static_cast<int>(f.EmployeeOutItems.size())) return;
  f.EmpOut = PickSender(f.EmployeeOutItems[static_cast<std::size_t>(index)]);
  const int slot = ws_.mcfg.slotOf(f.EmpOut);
  f.EmployeeOutText = slot ? ws_.mcfg.empName(slot) : std::string();
  dirty_ = true;
}

void EgressoForm::CalendarClick(int x, int y, bool& startDrag) {
  startDrag = false;
  const SmallCalendar::Hit hit = calendar.Click(ws_, x, y);
  if (hit == SmallCalendar::Hit::Drag) {
    startDrag = true;
    return;
  }
  if (hit == SmallCalendar::Hit::Day) {
    const std::int16_t d = ParseDay(ws_, calendar.DateText(ws_), "", false);
    if (d > 0 && d < kNoDateFrom) f.ReturnDate = FormatDay(ws_, d);
    dirty_ = true;
  }
}

bool EgressoForm::CalendarKey(SmallCalendar::Key key) {
  if (edited_ && key != SmallCalendar::Key::Home) return false;
  calendar.Press(ws_, key);
  const std::int16_t d = ParseDay(ws_, calendar.DateText(ws_), "", false);
  if (d > 0 && d < kNoDateFrom) f.ReturnDate = FormatDay(ws_, d);
  f.showCalendar = true;
  return true;
}

void EgressoForm::Typed() {
  // Keys in a form that takes no typing (another's message, the archive)
  // change nothing to be asked about.
  if (f.locationReadOnly && !f.empOutEnabled && !f.empInEnabled && !f.returnTimeEnabled) return;
  edited_ = dirty_ = true;
}

void EgressoForm::DeletePressed(FormField field) {
  dirty_ = true;
  if (field == FormField::ReturnDate) edited_ = true;
}

bool EgressoForm::Escape(FormField field, bool locationModified) {
  switch (field) {
    // A field typed into comes back as it was; Esc in one with nothing to
    // restore cancels the form.
    case FormField::EmployeeOut:
    case FormField::EmpOut:
      if (f.EmpOut == snapshot_) break;
      f.EmpOut = snapshot_;
      return true;
    case FormField::ReturnDate:
      if (f.ReturnDate == snapshot_) break;
      f.ReturnDate = snapshot_;
      return true;
    case FormField::ReturnTime:
      if (f.ReturnTime == snapshot_) break;
      f.ReturnTime = snapshot_;
      return true;
    case FormField::Location:
      if (locationModified) {
        const int answer = UltimateDialog(ws_, MessageText(ws_, f.locationFace ? 1433 : 1432), 3,
                                          MessageText(ws_, 407), MessageText(ws_, 408), "", 1);
        if (answer == 1) f.Location = ReadBodyText(DescFile(), *ws_.files);
        return true;
      }
      break;
    default: break;
  }
  cancelByKey_ = true;
  CancelBtnClick();
  return false;
}

std::string EgressoForm::Stamp() {
  const std::string s = FormatDay(ws_, ws_.Today) + ", " + FormatTime(ws_, CurrentTimeHHMM(ws_), true, true, 0) + ": \r\n";
  if (ws_.platform.clipboard) ws_.platform.clipboard->setText(s);
  edited_ = dirty_ = true;
  return s;
}

void EgressoForm::OpenLink(std::string_view text, int caret, int selectionStart, int selectionLength) {
  if (!CheckFolder()) return;
  std::string phone;
  OpenLinkText(ws_, LinkTextAt(text, caret, selectionStart, selectionLength), phone);
  if (!phone.empty()) dialRequest = phone;
}

std::vector<std::string> EgressoForm::PrintLines() {
  const BulBrdRcrd& rec = ws_.board.RecordBuffer;
  const bool loc = f.locationFace;
  std::vector<std::string> lines;
  std::string first = MessageText(ws_, loc ? 1390 : 1385) + ": " + f.EmpOut;
  if (!loc)
    first += " (" + Trim(FormatDay(ws_, rec.madeDay())) + ", " + FormatTime(ws_, rec.madeTime(), true, true, 0) + ")";
  lines.push_back(first);
  lines.push_back(loc ? MessageText(ws_, 1391) + ": " + f.ReturnDate : MessageText(ws_, 1384) + ": " + f.EmpIn);
  lines.push_back(MessageText(ws_, loc ? 1392 : 1386) + ": " + f.ReturnTime);
  lines.push_back("");
  std::size_t start = 0;
  const std::string& body = f.Location;
  while (start < body.size()) {
    std::size_t end = body.find('\n', start);
    std::string line = body.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line.substr(0, 80));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::vector<PrintRow> PrintLayout(const std::vector<std::string>& lines, bool landscape) {
  std::vector<PrintRow> rows;
  const int limit = landscape ? 40 : 54;
  int page = 0, b = 5;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i < 4) {
      rows.push_back({0, static_cast<int>(i), lines[i]});
      continue;
    }
    rows.push_back({page, b - 1, lines[i]});
    if (++b >= limit) {
      ++page;
      b = 1;
    }
  }
  return rows;
}

}  // namespace egresso
