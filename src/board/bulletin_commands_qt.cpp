// The board window: keys, buttons and menu commands, handed to the board
// commands of the core.
#include "board/bulletin_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <exception>

#include "board/board_lines.h"
#include "board/announcement.h"
#include "board/board_list.h"
#include "board/print_detail_qt.h"
#include "messages/egresso_qt.h"
#include "board/maintenance_menu_qt.h"
#include "board/board_data.h"
#include "board/roll_call_qt.h"
#include "tools/file_maint_qt.h"
#include "board/refresh.h"
#include "board/work_clock.h"
#include "core/waiting.h"
#include "platform/colour_qt.h"
#include "platform/text_qt.h"
#include "startup/host.h"
#include "text/notices.h"
#include "core/workstation.h"
#include "storage/extract.h"
#include "storage/record_files.h"
#include "text/fixed_width.h"
#include "tools/dial.h"
#include "tools/dial_qt.h"
#include "tools/editor.h"
#include "tools/editor_qt.h"
#include "tools/password.h"
#include "board/bulletin_parts_qt.h"

namespace egresso {

using namespace bulletin;

bool TBulBrd::eventFilter(QObject* watched, QEvent* event) {
  // Events of the controls made first arrive while the window is still being built.
  if (bbsOldList_ == nullptr || workClockBtn_ == nullptr) return QMainWindow::eventFilter(watched, event);
  const auto type = event->type();
  if (type == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(event);
    if (watched == who_ && ke->key() == Qt::Key_Escape) {
      who_->clear();
      whoBox_->hide();
      return true;
    }
    QObject* control = watched == bbsList_->viewport() ? bbsList_ : watched == bbsOldList_->viewport() ? bbsOldList_ : watched;
    if (KeyDown(control, ke->key(), ke->modifiers())) return true;
    return QMainWindow::eventFilter(watched, event);
  }
  if (type == QEvent::DragEnter || type == QEvent::DragMove) {
    auto* de = static_cast<QDropEvent*>(event);
    // Any control of the window accepts a line of a list.
    if (de->mimeData() && de->mimeData()->hasFormat(kLineMime)) {
      de->acceptProposedAction();
      return true;
    }
  } else if (type == QEvent::Drop) {
    auto* de = static_cast<QDropEvent*>(event);
    if (de->mimeData() && de->mimeData()->hasFormat(kLineMime)) {
      const QList<QByteArray> parts = de->mimeData()->data(kLineMime).split(' ');
      if (parts.size() == 2) {
        QWidget* target = watched == bbsList_->viewport() ? bbsList_
                          : watched == bbsOldList_->viewport() ? bbsOldList_
                                                                : qobject_cast<QWidget*>(watched);
        de->acceptProposedAction();
        DropRecord(target, parts[0].toInt(), parts[1] == "old" ? bbsOldList_ : bbsList_);
      }
      return true;
    }
  }
  if (watched == bbsList_->viewport() || watched == bbsOldList_->viewport()) {
    QListWidget* list = watched == bbsList_->viewport() ? bbsList_ : bbsOldList_;
    if (type == QEvent::MouseButtonPress) {
      auto* me = static_cast<QMouseEvent*>(event);
      const int before = ws_.board.SelectedRecord;
      BBSlistMouseDown(list, me);
      // A press on the memo glyph opens the memo and selects nothing.
      if (list == bbsList_ && ws_.ListMode == 1 && me->position().x() >= bbsList_->viewport()->width() - 38 &&
          list->itemAt(me->position().toPoint()) != nullptr) {
        ws_.board.SelectedRecord = before;
        return true;
      }
    } else if (type == QEvent::MouseButtonDblClick) {
      auto* me = static_cast<QMouseEvent*>(event);
      if (QListWidgetItem* item = list->itemAt(me->position().toPoint()); item && me->button() == Qt::LeftButton) {
        list->setCurrentItem(item);
        item->setSelected(true);
        OpenLine(list);
        return true;
      }
    } else if (type == QEvent::MouseButtonRelease) {
      ws_.board.SelectedRecord = -1;  // no drag went on from the press
      pressList_ = nullptr;
    } else if (type == QEvent::MouseMove) {
      auto* me = static_cast<QMouseEvent*>(event);
      if (pressList_ == list && (me->buttons() & Qt::LeftButton) &&
          (me->position().toPoint() - pressAt_).manhattanLength() >= QApplication::startDragDistance()) {
        StartDrag(list);
        return true;
      }
      if (list == bbsList_) BBSlistMouseMove(me);
    } else if (type == QEvent::Leave && list == bbsList_) {
      persMemoHint_->hide();
    }
  } else if (watched == bulBrdInfo_ && type == QEvent::MouseButtonRelease) {
    BulBrdInfoMouseUp(static_cast<QMouseEvent*>(event));
  } else if (watched == who_) {
    if (type == QEvent::FocusOut && whoBox_->isVisible()) WhoExit();
  } else if (watched == memo_) {
    if (type == QEvent::FocusIn && !memoBusy_ && !memo_->document()->isModified()) {
      GetAnnouncement();  // entering the memo shows the latest announcement
    } else if (type == QEvent::FocusOut) {
      // A menu or another window taking the focus leaves the edit going on.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) MemoExit();
    }
  } else if (watched == memo_->viewport() && type == QEvent::MouseButtonDblClick) {
    ToggleMemoLayout();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TBulBrd::dialBtnClick() {
  if (dialText_.empty() || ws_.board.MemoEnlarged || !CheckDataFolder(ws_)) return;
  RunPhoneDialer(ws_, true, dialText_, this);
}

// Copy: the announcement's selection when it has the focus, else the
// chosen line as the list shows it.
void TBulBrd::EditCopyClick() {
  if (memo_->hasFocus()) {
    memo_->copy();
    return;
  }
  QListWidget* list = bbsOldList_->hasFocus() ? bbsOldList_ : bbsList_;
  QListWidgetItem* item = list->currentItem();
  if (item == nullptr || !item->isSelected() || !ws_.platform.clipboard) return;
  ws_.platform.clipboard->setText(TrimText(VisibleLineText(toRecordText(item->text()))));
}

void TBulBrd::OpenPersonalMemo(int slot) {
  if (!RequestMemo(ws_, slot)) return;
  RunMemoEditor(ws_, this);
}

void TBulBrd::ShowWhoBox(const QString& firstCharacter) {
  whoBox_->setWindowTitle(Caption(ws_, 554, "Who are you?"));
  // Placed when asked for: the window's size when its controls were last
  // laid out may not be the one it has now.
  const QRect area = central_->rect();
  whoBox_->setGeometry(area.center().x() + 1 - scaled(60), area.center().y() + 1 - scaled(20), scaled(120), scaled(40));
  who_->setText(firstCharacter);
  who_->setCursorPosition(who_->text().size());
  whoBox_->show();
  whoBox_->raise();
  who_->setFocus();
}

void TBulBrd::WhoExit() {
  const QString input = who_->text();
  if (input.trimmed().isEmpty()) {
    whoBox_->hide();
    return;
  }
  int slot = 0;
  const int line = FindWhoLine(ws_, toRecordText(input), slot);
  who_->clear();
  whoBox_->hide();
  if (slot == 0) {
    ws_.platform.dialogs->beep();
    UltimateDialog(ws_, MessageText(ws_, 215) + toRecordText(input) + ".", -1, "", "", MessageText(ws_, 29), 3);
    return;
  }
  int record = slot;
  if (line >= 0) {
    bbsList_->setCurrentRow(line);
    ws_.board.CurrentLine = line;
    record = RecordNumberOfLine(ws_.board.BBSlist[static_cast<std::size_t>(line)].text);
  }
  emit outCommand(record);
}

void TBulBrd::keyPressEvent(QKeyEvent* event) {
  // A key the memo or the Who edit left alone (Ctrl+S in the memo) comes up
  // to the window; it is still theirs, never a board command.
  QWidget* focus = focusWidget();
  QObject* from = focus != nullptr && (focus == memo_ || focus == who_) ? static_cast<QObject*>(focus) : this;
  if (KeyDown(from, event->key(), event->modifiers())) return;
  QMainWindow::keyPressEvent(event);
}

void TBulBrd::PlaceWorkClockBtn() {
  const WorkClockButton state = WorkClockButtonState(ws_);
  const QRect exit = okBtn_->geometry();
  // Without the Exit button (the full layout) the clock takes its place at the right.
  const int left = okBtn_->isVisibleTo(this) ? exit.x() - scaled(state.leftOfExit) : exit.right() - scaled(state.width);
  workClockBtn_->setGeometry(left, exit.y(), scaled(state.width), exit.height());
}

void TBulBrd::AfterCommand() {
  // The line chosen stays chosen when the rebuilt list still shows it.
  const int chosen = SelectedRecordOf(bbsList_);
  FillLists();
  if (chosen >= 0)
    for (int i = 0; i < static_cast<int>(ws_.board.BBSlist.size()); ++i)
      if (RecordNumberOfLine(ws_.board.BBSlist[static_cast<std::size_t>(i)].text) == chosen) {
        bbsList_->setCurrentRow(i);
        break;
      }
  UpdateButtons(ws_.UserSlot);
  if (!ws_.HostShown && !ws_.options.CompactMode && okBtn_->isVisible())
    okBtn_->setFocus();
  else if (ws_.ListMode == 1)
    outBtn_->setFocus();
  else
    bbsList_->setFocus();
}

void TBulBrd::OutBtnClick(int record, char letter) {
  StopIconFlashing(ws_);
  if (CommandInProgress(ws_)) return;
  if (record < 0 && ws_.ListMode == 1) record = SelectedRecordOf(bbsList_);
  OutCommand(ws_, record, letter, hooks_);
  AfterCommand();
}

bool TBulBrd::KeyDown(QObject* control, int qtKey, Qt::KeyboardModifiers modifiers) {
  StopIconFlashing(ws_);
  const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
  const bool alt = (modifiers & Qt::AltModifier) != 0;
  ws_.host.OpenedByNotification = false;
  KeyPress k;
  k.ctrl = ctrl;
  k.alt = alt;
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: k.code = key::Enter; break;
    case Qt::Key_Escape: k.code = key::Escape; break;
    case Qt::Key_Delete: k.code = key::Delete; break;
    case Qt::Key_Up: k.code = key::Up; break;
    case Qt::Key_Down: k.code = key::Down; break;
    case Qt::Key_PageUp: k.code = key::PageUp; break;
    case Qt::Key_PageDown: k.code = key::PageDown; break;
    default:
      // Letters and digits as their upper-case characters.
      if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) k.code = qtKey;
      break;
  }
  if (k.code == 0) return false;
  QListWidget* list = control == bbsList_ ? bbsList_ : control == bbsOldList_ ? bbsOldList_ : nullptr;
  k.place = list == bbsList_      ? KeyPlace::List
            : list == bbsOldList_ ? KeyPlace::OldList
            : control == memo_    ? KeyPlace::Memo
            : control == who_     ? KeyPlace::WhoEdit
            : qobject_cast<QPushButton*>(control) ? KeyPlace::Button
                                                  : KeyPlace::Window;
  if (list) k.selectedLines = static_cast<int>(list->selectedItems().size());
  const KeyAction action = KeyDownAction(ws_, k);
  if (action == KeyAction::None) return false;
  if (action == KeyAction::HideDial) {
    if (k.code == key::Up || k.code == key::Down) ws_.board.LastDrawIndex = list->currentRow();
    return false;  // the list moves its selection itself
  }
  // A key typed while a command waits for a lock starts nothing.
  if (CommandInProgress(ws_)) return true;
  if ((ctrl || alt) && !CheckDataFolder(ws_)) return true;
  switch (action) {
    case KeyAction::WhoNext: WhoExit(); break;
    case KeyAction::OpenLine: OpenLine(bbsList_); break;
    case KeyAction::DeleteLine: OpenLine(list, true); break;
    case KeyAction::TaggedView:
      ToggleTaggedView(ws_);
      FillLists();
      break;
    case KeyAction::WhoBox: ShowWhoBox(QString(QChar(k.code))); break;
    case KeyAction::WhoCancel:
      who_->clear();
      whoBox_->hide();
      break;
    case KeyAction::SaveMemo:
      MemoExit();
      if (ws_.board.MemoEnlarged) ToggleMemoLayout();
      break;
    case KeyAction::ShowEveryEntry:
      ToggleShowEveryEntry(ws_);
      FillLists();
      break;
    case KeyAction::ShowBlankEntries:
      ToggleShowBlankEntries(ws_);
      FillLists();
      break;
    case KeyAction::WorkClock: WorkClockBtnClick(); break;
    case KeyAction::PrintDetail: PrintDetailClick(); break;
    case KeyAction::ArchiveView:
      if (ToggleArchiveView(ws_)) {
        ApplyListColours();
        FillLists();
        DrawBoardHeading();
      }
      break;
    case KeyAction::OwnEntry:
      ToggleOwnEntry(ws_, hooks_);
      AfterCommand();
      break;
    case KeyAction::Out: OutBtnClick(-1, static_cast<char>(k.code)); break;
    default: break;
  }
  return true;
}

void TBulBrd::WorkClockBtnClick() {
  if (CommandInProgress(ws_)) return;
  ::egresso::WorkClockBtnClick(ws_);
  UpdateButtons(ws_.UserSlot);
}

void TBulBrd::OKbtnClick() {
  if (ws_.board.MemoEnlarged) {
    ToggleMemoLayout();
    return;
  }
  MemoExit();
  close();
}

void TBulBrd::FindClick() {
  if (!::egresso::FindClick(ws_)) return;
  FillLists();
  DrawBoardHeading();
  // The heading keeps showing the search until it is drawn again; the next
  // rebuild lists everything.
  ws_.board.SearchText.clear();
}

void TBulBrd::FillRestoreMenu() {
  restoreMenu_->clear();
  for (const RestoreItem& item : RestoreMenuItems(ws_)) {
    QAction* a = restoreMenu_->addAction(fromRecordText(item.caption));
    a->setObjectName("FileRestore" + QString::number(item.generation));
    const int n = item.generation;
    connect(a, &QAction::triggered, this, [this, n]() {
      RestoreClick(ws_, n, hooks_);
      FillLists();
      DrawBoardHeading();
    });
  }
}

void TBulBrd::ShowEgresso() {
  TEgressoBrd form(ws_, this);
  form.exec();
}

}  // namespace egresso
