// The sign out and message form as plain logic: one location record of the
// in/out board, or one message, shown in two faces. The window mirrors the
// fields of FormFields into its controls, calls a handler and shows the
// fields again; every rule lives here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "messages/calendar.h"
#include "messages/form_state.h"
#include "messages/entry_identity.h"

namespace egresso {

struct Workstation;
class BulBrdRcrd;

enum class FormField { None, EmpOut, EmployeeOut, EmpIn, EmployeeIn, ReturnDate, ReturnTime, LocAbb, Location, OKbtn, CancelBtn };

// Everything the window shows. Texts are in the records' code page.
struct FormFields {
  bool locationFace = true;
  std::string caption;
  int helpContext = 1350;

  std::string empOutCaption, empInCaption, returnDateCaption, returnTimeCaption, locAbbCaption, locationCaption;
  std::string deleteCaption, readCaption, okCaption, cancelCaption, pickCaption;
  std::string replyHint, forwardHint, dialHint;

  std::string EmpOut, EmpIn, ReturnDate, ReturnTime, Location;
  std::vector<std::string> EmployeeOutItems, EmployeeInItems, LocAbbItems, ReturnTimeItems;
  std::string EmployeeOutText;  // the name shown in the sender pick list
  bool ReadBtn = false, DeleteBtn = false;

  bool showEmpIn = false, showReturnDate = true, showLocAbb = false, showReadBtn = false, showDeleteBtn = false;
  bool showLabel1 = false, showLabel2 = false, showReply = false, showDial = false, showCalendar = false;
  std::string label1, label2;
  bool empOutEnabled = true, empInEnabled = true, returnDateEnabled = true, returnTimeEnabled = true;
  bool locationReadOnly = false;
  bool returnTimeDropDown = false;

  FormField focus = FormField::None;
  // Where the caret goes in the text box when it gets the focus:
  // selection start and length (-1: leave it).
  int locationSelStart = -1, locationSelLength = 0;
};

// Where each printed line goes: the four heading lines on rows 0..3 of the
// first page, then the text from row 4 on, 53 rows a page (39 landscape).
struct PrintRow {
  int page = 0, row = 0;
  std::string text;
};
std::vector<PrintRow> PrintLayout(const std::vector<std::string>& lines, bool landscape);

enum class ReplyKind { ReplyButton, ReplyMenu, Forward };

class EgressoForm {
 public:
  explicit EgressoForm(Workstation& ws);

  FormFields f;
  SmallCalendar calendar;

  // Opening: fills the fields from the board's request and the record.
  void FormShow();
  // OK (and Ctrl+S): checks, saves under the board's lock, closes.
  void OKbtnClick();
  // Cancel, or Esc with nothing to restore.
  void CancelBtnClick();
  // Reply or forward: leaves the carry-over for the next form and closes.
  // selection: the text selected in the text box (may be empty).
  void FwdRplyBtnClick(ReplyKind kind, std::string_view selection);

  void Enter(FormField field);
  // Leaving a field; false when the focus must go back to it.
  bool Exit(FormField field);
  void LocAbbChange(int index);
  // The return-time list dropping down: made again for the return day.
  void ReturnTimeDropDown();
  void EmployeeInClick(int index);
  void EmployeeOutClick(int index);
  // The calendar: a click inside it, a key while the return date has the focus.
  void CalendarClick(int x, int y, bool& startDrag);
  // False when the key is not the calendar's now (the field was typed into).
  bool CalendarKey(SmallCalendar::Key key);

  // Keys. Typing a character that changes a field; Delete.
  void Typed();
  void DeletePressed(FormField field);
  // Esc in a field; true when the form goes on (something was restored).
  // locationModified: the text box changed since it got the focus.
  bool Escape(FormField field, bool locationModified);
  // F5: the stamp to insert at the caret.
  std::string Stamp();
  // Opens what a text names (Ctrl+R, double click in the text box).
  void OpenLink(std::string_view text, int caret, int selectionStart, int selectionLength);
  // The telephone number behind the dial button ("" none).
  std::string dialNumber() const { return dialNumber_; }
  // The number to dial for the dial button; empty (after a beep) when the
  // number found is too short to be dialled.
  std::string NumberToDial();
  // Lines to print: the heading lines and the text lines cut to 80.
  std::vector<std::string> PrintLines();

  bool closed() const { return closed_; }
  // The last OK or Cancel wrote the record (false: stopped at a field, the
  // lock stayed busy or the write failed).
  bool saved() const { return saved_; }
  bool edited() const { return edited_; }
  bool isNew() const { return isNew_; }
  // The entry the form was opened on was changed or removed by another
  // workstation: the form shows nothing of it, writes nothing and closes
  // with any button.
  bool entryGone() const { return entryGone_; }
  // The entry's body file is there but could not be read (reported): the
  // form shows no text and never writes one over it.
  bool bodyUnreadable() const { return bodyUnreadable_; }
  int recordNumber() const { return recordNumber_; }
  // A telephone number the user asked to dial, for the window's dialer.
  std::string dialRequest;

 private:
  bool CheckFolder();
  void Save();
  void Close() { closed_ = true; }
  void StopAt(int notice, FormField field, std::string_view extra = {});
  void FindDialNumber();
  void FillReturnTimes();
  void ApplyAbbreviationLine(std::string_view line, bool chosen);
  bool MessageAddressedToMe();
  void KeepStoredChanges();
  void ShowEntryGone();
  std::string FirstLine() const;
  void SetFirstLine(std::string_view line);
  std::string DescFile() const;
  void WriteJournalLines();
  void TakeStoredClock();
  void TakeStoredEntry(const BulBrdRcrd& stored);
  enum class Reading { Recorded, Changed, Failed };
  Reading RecordReading(int r, const EntryIdentity& entry, std::string_view tag);
  void MarkAnsweredRead();
  void Notify();

  Workstation& ws_;
  bool closed_ = false;
  bool saved_ = false;
  bool isNew_ = false;
  bool edited_ = false, dirty_ = false, cancelByKey_ = false;
  bool toEveryone_ = false;
  int stepMinutes_ = 0;
  int recordNumber_ = 0;
  int currentReturnDay_ = 0;
  std::string snapshot_;
  std::string dialNumber_;
  bool archive_ = false;
  bool bodyCut_ = false;  // the body file was too long to show whole
  bool bodyUnreadable_ = false;
  AnsweredMessage answered_;  // the message this new one replies to or forwards
  bool entryGone_ = false;
  EntryIdentity openedEntry_;  // of the record opened, as read when the form opened
  int openedNumber_ = -1;
  bool actOnStored_ = false;  // see FormState::ActOnStored
};

}  // namespace egresso
