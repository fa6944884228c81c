// The board window: printing the board and the roll call.
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
#include "platform/printing_qt.h"
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

void TBulBrd::PrintDetailClick() {
  if (!CommandMayStart(ws_)) return;
  PrintRequest request;
  request.highResolution = true;
  request.offerSelection = SelectedRecordOf(bbsList_) >= 0;
  const ChosenPrinter chosen = Printing(ws_.platform.dialogs).ask(this, request);
  if (chosen.printer) PrintDetail(*chosen.printer, chosen.selectionOnly);
}

bool TBulBrd::PrintDetail(QPagedPaintDevice& printer, bool selectionOnly) {
  try {
    std::vector<std::string> lines;
    for (int i = 0; i < static_cast<int>(ws_.board.BBSlist.size()); ++i) {
      if (selectionOnly && !(i < bbsList_->count() && bbsList_->item(i)->isSelected())) continue;
      lines.push_back(ws_.board.BBSlist[static_cast<std::size_t>(i)].text);
    }
    if (PrintBoardLines(ws_, printer, lines)) return true;
    ReportException(ws_, "EPrinter", "Printing failed", "\"BBSPDC\"");
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"BBSPDC\"");
  }
  return false;
}

void TBulBrd::RollCallClick() {
  if (!CommandMayStart(ws_)) return;
  PrintRequest request;
  request.title = QStringLiteral("Roll Call");
  request.documentName = QStringLiteral("Roll call");
  request.highResolution = true;
  const ChosenPrinter chosen = Printing(ws_.platform.dialogs).ask(this, request);
  if (chosen.printer) PrintRollCallTo(*chosen.printer);
}

bool TBulBrd::PrintRollCallTo(QPagedPaintDevice& printer) {
  try {
    // Taken after the dialog, so that the paper says who is in now.
    if (PrintRollCall(ws_, printer, TakeRollCall(ws_))) return true;
    ReportException(ws_, "EPrinter", "Printing failed", "\"BBSRC\"");
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"BBSRC\"");
  }
  return false;
}

}  // namespace egresso
