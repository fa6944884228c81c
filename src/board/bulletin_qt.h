// The board: the program's main window, the in/out board and the message
// lists. Its handlers call the core routines of board_list.h and refresh.h.
#pragma once

#include <QMainWindow>
#include <QStyledItemDelegate>
#include <string>

#include <functional>

#include "board/board_commands.h"
#include "storage/file_report.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPagedPaintDevice;
class QPushButton;
class QTimer;
class QToolButton;

namespace egresso {

struct Workstation;
class TBulBrd;

// Owner drawing of the board's lists: the lines at fixed character
// positions from the left edge, never shortened, so both lists stand under
// the column headings.
class BoardLineDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  // oldList: the lower list of the message mode (BBSoldList).
  BoardLineDelegate(TBulBrd& board, Workstation& ws, bool oldList = false);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TBulBrd& board_;
  Workstation& ws_;
  bool oldList_;
};

class TBulBrd : public QMainWindow {
  Q_OBJECT
 public:
  explicit TBulBrd(Workstation& ws, QWidget* parent = nullptr);
  ~TBulBrd() override;

  // Switches between the in/out board and the message list.
  void SwitchClick();
  // Edit > Copy: the announcement's selection, or the chosen line.
  void EditCopyClick();
  // Prepares the window for the current mode and builds the lists.
  // restore: a minimised board comes back to normal, as a command of the
  // user's wants; the board's own show and its ticks leave it minimised.
  void FormShow(bool restore = true);
  // Shows the lists of the workstation's board state.
  void FillLists();
  // Draws the heading image (column headings, search text).
  void DrawBoardHeading();
  // Leaving the "Who are you?" edit: looks the initials up.
  void WhoExit();
  // Opens the "Who are you?" box with its first character typed.
  void ShowWhoBox(const QString& firstCharacter);
  // The commands (board/board_commands.h). The Out and message buttons for
  // a record (-1: the selected line, or this user's own entry) and a key's
  // mode letter (0: started by a button).
  void OutBtnClick(int record = -1, char letter = 0);
  // Opening the current line of a list (double click, Enter); deleteKey:
  // the Delete key's variant, which closes it.
  void OpenLine(QListWidget* list, bool deleteKey = false);
  // A dragged line dropped on a button or list of the window.
  void DropRecord(QWidget* target, int record, QListWidget* source);
  // A key pressed in a control of the window; true when it was used.
  bool KeyDown(QObject* control, int key, Qt::KeyboardModifiers modifiers);
  void WorkClockBtnClick();
  // The announcement memo.
  void GetAnnouncement();
  void MemoExit();
  void ToggleMemoLayout();
  void OKbtnClick();
  void FindClick();
  void PrintDetailClick();
  // Prints the list (only its selected line when selectionOnly).
  bool PrintDetail(QPagedPaintDevice& printer, bool selectionOnly = false);
  // File > Roll Call: every employee, in or out, to the printer (or a PDF)
  // chosen in the print dialog.
  void RollCallClick();
  bool PrintRollCallTo(QPagedPaintDevice& printer);
  void FillRestoreMenu();

  // The dialogs of other parts that the commands open; each hook left
  // empty does nothing (the message form, restore, maintenance).
  BoardHooks& Hooks() { return hooks_; }
  // Tools menu dialogs of other parts.
  std::function<void()> configurationHook;
  std::function<void()> dialingParametersHook;

  QListWidget* BBSlist() const { return bbsList_; }
  QListWidget* BBSoldList() const { return bbsOldList_; }
  QLabel* BulBrdInfo() const { return bulBrdInfo_; }
  QPlainTextEdit* Memo() const { return memo_; }
  QPushButton* OutBtn() const { return outBtn_; }
  QPushButton* MsgBtn() const { return msgBtn_; }
  QPushButton* DelBtn() const { return delBtn_; }
  QPushButton* WorkClockBtn() const { return workClockBtn_; }
  // The line under the lists that tells of a data folder that is gone or
  // read-only (null until the first time there is something to tell).
  QLabel* FolderBanner() const { return folderBanner_; }
  QMenu* RestoreMenu() const { return restoreMenu_; }
  QFont listFont() const;
  QFont headingFont() const;
  QPushButton* ExitButton() const { return okBtn_; }
  QMenu* ToolsMenu() const { return toolsMenu_; }
  const QPixmap& memoGlyph() const { return memoGlyph_; }

 signals:
  // The Out command for a record (the "Who are you?" box chose it).
  void outCommand(int record);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Timer1Timer();
  void Timer2Timer();
  // Says in the window what the data folder's state means; while it is
  // gone the lists stay as last read, greyed.
  void ShowFolderState(FolderState state);
  void LayoutControls();
  void BBSlistMouseDown(QListWidget* list, QMouseEvent* event);
  void BBSlistMouseMove(QMouseEvent* event);
  void BulBrdInfoMouseUp(QMouseEvent* event);
  void ApplyCaptions();
  // Shows the sign out and message form modally for the request in the workstation.
  void ShowEgresso();
  int scaled(int v) const;
  // The accessories: the dial button for the current line, the memo of an
  // employee's line.
  void UpdateDialButton(QListWidget* list);
  void dialBtnClick();
  void OpenPersonalMemo(int slot);
  // After a command: the lists shown again, the hints and the focus.
  void AfterCommand();
  void UpdateButtons(int record);
  void PlaceWorkClockBtn();
  void ApplyListColours();
  void StartDrag(QListWidget* list);
  int SelectedRecordOf(QListWidget* list, bool* stale = nullptr) const;

  Workstation& ws_;
  BoardHooks hooks_;
  bool shown_ = false;
  bool memoBusy_ = false;     // MemoExit is asking: focus changes must not ask again
  bool blockDrag_ = false;    // a cancelled confirmation: the next press starts no drag
  QPoint pressAt_;
  QListWidget* pressList_ = nullptr;
  QPixmap memoGlyph_;

  QMenu* fileMenu_ = nullptr;
  QAction* fileRollCall_ = nullptr;
  QMenu* editMenu_ = nullptr;
  QMenu* printMenu_ = nullptr;
  QMenu* searchMenu_ = nullptr;
  QMenu* toolsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* fileSaveAnnouncement_ = nullptr;
  QMenu* restoreMenu_ = nullptr;
  QAction* fileExit_ = nullptr;
  QAction* editCopy_ = nullptr;
  QAction* printList_ = nullptr;
  QAction* printDetail_ = nullptr;
  QAction* searchFind_ = nullptr;
  QAction* switchItem_ = nullptr;
  QAction* toolsConfiguration_ = nullptr;
  QAction* toolsDeleteTagged_ = nullptr;
  QAction* toolsDialing_ = nullptr;
  QAction* toolsPassword_ = nullptr;
  QAction* helpManual_ = nullptr;
  QAction* helpAbout_ = nullptr;

  QWidget* central_ = nullptr;
  QLabel* bulBrdInfo_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QListWidget* bbsList_ = nullptr;
  QListWidget* bbsOldList_ = nullptr;
  QLabel* oldListLabel_ = nullptr;
  QPushButton* outBtn_ = nullptr;
  QPushButton* msgBtn_ = nullptr;
  QPushButton* delBtn_ = nullptr;
  QPushButton* okBtn_ = nullptr;
  QToolButton* memoBtn_ = nullptr;
  QToolButton* dialBtn_ = nullptr;
  std::string dialText_;  // the line the dial button dials from
  QPushButton* workClockBtn_ = nullptr;
  QLabel* persMemoHint_ = nullptr;
  QLabel* folderBanner_ = nullptr;
  QFrame* whoBox_ = nullptr;
  QLineEdit* who_ = nullptr;
  QTimer* timer1_ = nullptr;
  QTimer* timer2_ = nullptr;
};

}  // namespace egresso
