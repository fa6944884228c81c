// The board window: the announcement memo at its top.
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

void TBulBrd::BulBrdInfoMouseUp(QMouseEvent* event) {
  if (ws_.ListMode != 0) return;
  const double s = ws_.options.FontScale > 0 ? ws_.options.FontScale : 1.0;
  const int x = static_cast<int>(event->position().x() / s);
  const int y = static_cast<int>(event->position().y() / s);
  const int column = SortColumnForClick(x, y, ws_.board.ListSortColumn);
  if (column == ws_.board.ListSortColumn) return;
  ws_.board.ListSortColumn = column;
  FormShow();
}

void TBulBrd::GetAnnouncement() {
  const QString text = fromRecordText(::egresso::GetAnnouncement(ws_));
  // The memo takes the focus when the window is first shown, just after its
  // text was read: the same text is not laid out again; the cursor and the
  // undo history are left as a fresh load leaves them.
  if (memo_->toPlainText() == text) {
    memo_->moveCursor(QTextCursor::Start);
    memo_->document()->clearUndoRedoStacks();
  } else {
    memo_->setPlainText(text);
  }
  memo_->document()->setModified(false);
}

void TBulBrd::MemoExit() {
  if (memoBusy_ || CommandInProgress(ws_)) return;
  memoBusy_ = true;
  const bool enlarged = ws_.board.MemoEnlarged;
  std::string reloaded;
  const MemoSave r =
      ::egresso::MemoExit(ws_, memo_->document()->isModified(), toRecordText(memo_->toPlainText()), &reloaded);
  if (r == MemoSave::Discarded) memo_->setPlainText(fromRecordText(reloaded));
  if (r == MemoSave::Saved || r == MemoSave::Discarded) memo_->document()->setModified(false);
  if (enlarged && !ws_.board.MemoEnlarged) {
    LayoutControls();
    UpdateButtons(ws_.board.ClockSlot);
  }
  memoBusy_ = false;
}

void TBulBrd::ToggleMemoLayout() {
  ws_.board.MemoEnlarged = !ws_.board.MemoEnlarged;
  LayoutControls();
  UpdateButtons(ws_.board.ClockSlot);
}

}  // namespace egresso
