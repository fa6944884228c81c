// The board window: its two lists, their lines, headings and drags.
#include "board/bulletin_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGlyphRun>
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
#include <QRawFont>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
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

void bulletin::DrawFixedPitchLine(QPainter& painter, const QPoint& baseline, const QString& text) {
  // Text drawing gives controls, format characters (a soft hyphen shows only
  // at a break) and marks no advance of their own.
  const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint() && !c.isMark(); });
  const QRawFont raw = plain ? QRawFont::fromFont(painter.font()) : QRawFont();
  const QList<quint32> glyphs = raw.isValid() ? raw.glyphIndexesForString(text) : QList<quint32>();
  const QList<quint32> space = raw.isValid() ? raw.glyphIndexesForString(" ") : QList<quint32>();
  const QList<QPointF> step = space.value(0) != 0 ? raw.advancesForGlyphIndexes(space) : QList<QPointF>();
  const qreal advance = step.isEmpty() ? 0 : step.front().x();
  if (glyphs.size() != text.size() || glyphs.contains(0u) || advance <= 0) {
    painter.drawText(baseline, text);
    return;
  }
  QList<QPointF> positions;
  positions.reserve(glyphs.size());
  for (qsizetype i = 0; i < glyphs.size(); ++i) positions.append(QPointF(advance * static_cast<qreal>(i), 0));
  QGlyphRun run;
  run.setRawFont(raw);
  run.setGlyphIndexes(glyphs);
  run.setPositions(positions);
  painter.drawGlyphRun(baseline, run);
}

BoardLineDelegate::BoardLineDelegate(TBulBrd& board, Workstation& ws, bool oldList)
    : QStyledItemDelegate(&board), board_(board), ws_(ws), oldList_(oldList) {}

QSize BoardLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  QFontMetrics fm(board_.listFont());
  return QSize(option.rect.width(), fm.height() + 1);
}

void BoardLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const auto& lines = oldList_ ? ws_.board.BBSoldList : ws_.board.BBSlist;
  const int row = index.row();
  if (row < 0 || row >= static_cast<int>(lines.size())) return;
  const BoardLine& line = lines[static_cast<std::size_t>(row)];
  try {
    painter->save();
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->fillRect(option.rect,
                      selected ? option.palette.color(QPalette::Highlight) : ListBackground(ws_, option.palette));
    // A list kept from a folder that is gone is drawn greyed, as disabled.
    const bool enabled = option.state & QStyle::State_Enabled;
    painter->setPen(!enabled  ? option.palette.color(QPalette::Disabled, QPalette::Text)
                    : selected ? option.palette.color(QPalette::HighlightedText)
                               : LineColour(ws_, option.palette, oldList_ ? line.colour : LineDrawColour(ws_, line)));
    painter->setFont(board_.listFont());
    // The record number past the columns is the program's, not the reader's.
    // One line at the top of the row: drawn at its baseline, without the
    // layout that a rectangle's alignment would ask for.
    DrawFixedPitchLine(*painter, QPoint(option.rect.left(), option.rect.top() + painter->fontMetrics().ascent()),
                       fromRecordText(VisibleLineText(line.text)));
    if (!oldList_ && ws_.ListMode == 1) {
      const int h = option.rect.height();
      QRect square(option.rect.right() - h + 1, option.rect.top() + 1, h, h - 1);
      painter->drawPixmap(square, board_.memoGlyph());
    }
    if (selected && (option.state & QStyle::State_HasFocus)) {
      QStyleOptionFocusRect focus;
      focus.rect = option.rect;
      focus.state = option.state;
      focus.backgroundColor = option.palette.color(QPalette::Highlight);
      board_.style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
    painter->restore();
  } catch (const std::exception& e) {
    painter->restore();
    ReportException(ws_, "Exception", e.what(), "\"BLDI\"");
  }
}

void TBulBrd::FillLists() {
  // A rebuild keeps what the user selected: the same entries (an employee's
  // slot, a message's number), wherever their lines stand now. A refresh
  // that dropped the selection would leave Out to act on the user's own
  // entry instead.
  // Only within one set of records: after a switch of the list mode or the
  // view a number names another entry.
  const int files = ws_.ListMode * 4 + (ws_.ArchiveView ? 2 : 0) + (ws_.board.TaggedView ? 1 : 0);
  auto refill = [files](QListWidget* list, const std::vector<BoardLine>& lines) {
    std::vector<int> selected;
    const QVariant filled = list->property("filledFrom");
    if (filled.isValid() && filled.toInt() == files)
      for (const QListWidgetItem* item : list->selectedItems())
        selected.push_back(RecordNumberOfLine(toRecordText(item->text())));
    list->setProperty("filledFrom", files);
    const QListWidgetItem* current = list->currentItem();
    const int currentRecord =
        current != nullptr && current->isSelected() ? RecordNumberOfLine(toRecordText(current->text())) : -1;
    list->clear();
    for (const auto& line : lines) list->addItem(fromRecordText(line.text));
    int currentRow = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
      const int r = RecordNumberOfLine(lines[static_cast<std::size_t>(i)].text);
      if (r < 0 || std::find(selected.begin(), selected.end(), r) == selected.end()) continue;
      if (r == currentRecord && currentRow < 0) {
        currentRow = i;
        list->setCurrentRow(i, QItemSelectionModel::Select);
      } else {
        list->item(i)->setSelected(true);
      }
    }
    return currentRow;
  };
  ws_.board.CurrentLine = refill(bbsList_, ws_.board.BBSlist);
  refill(bbsOldList_, ws_.board.BBSoldList);
}

void TBulBrd::DrawBoardHeading() {
  const int w = std::max(1, central_->width());
  QPixmap pm(w, scaled(100));
  pm.fill(palette().color(QPalette::Button));
  QPainter p(&pm);
  p.setPen(FromBgr(static_cast<std::uint32_t>(ws_.pcfg.color(0))));
  p.drawRect(0, scaled(80), std::max(0, w - 8 - 1), scaled(20) - 1);
  const std::string search = SearchHeadingText(ws_);
  if (!search.empty()) {
    const int start = static_cast<int>(300 - 4.2 * static_cast<double>(search.size()));
    p.setFont(font());
    p.drawText(QPoint(scaled(start), scaled(10) + p.fontMetrics().ascent()), fromRecordText(search));
  }
  // The column headings stand over the columns of the list below them.
  QFont f = headingFont();
  p.setFont(f);
  p.setPen(palette().color(QPalette::ButtonText));
  const int x = bbsList_->x() + bbsList_->frameWidth();
  DrawFixedPitchLine(p, QPoint(x, scaled(81) + p.fontMetrics().ascent()),
                     fromRecordText(MessageText(ws_, HeadingNotice(ws_))));
  p.end();
  bulBrdInfo_->setPixmap(pm);
}

void TBulBrd::BBSlistMouseDown(QListWidget* list, QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  StopIconFlashing(ws_);
  if (!CheckDataFolder(ws_)) return;
  ws_.host.OpenedByNotification = false;
  ws_.board.LastDrawIndex = -1;
  QListWidgetItem* item = list->itemAt(event->position().toPoint());
  if (item == nullptr) return;
  const std::string text = toRecordText(item->text());
  // A confirmation answered No keeps the press after it from dragging.
  const bool mayDrag = !std::exchange(blockDrag_, false) && !ws_.ArchiveView;
  if (list == bbsList_ && ws_.ListMode == 1 && event->position().x() >= list->viewport()->width() - 38) {
    // The memo of the line's employee; the line stays unselected. It opens
    // once the press is over, not inside it.
    list->clearSelection();
    const int slot = RecordNumberOfLine(text);
    if (slot > 0) QTimer::singleShot(0, this, [this, slot] { OpenPersonalMemo(slot); });
    return;
  }
  if (ws_.board.SelectedRecord == -1) {
    ws_.board.SelectedRecord = RecordNumberOfLine(text);
    if (ws_.ListMode == 1 && ws_.board.SelectedRecord >= 0) {
      UpdateOutHint(ws_, ws_.board.SelectedRecord);
      UpdateWorkClockButton(ws_, ws_.board.SelectedRecord);
      UpdateButtons(ws_.board.SelectedRecord);
    }
    if (mayDrag && ws_.board.SelectedRecord >= 0) {
      pressList_ = list;
      pressAt_ = event->position().toPoint();
    }
  }
}

void TBulBrd::UpdateDialButton(QListWidget* list) {
  QListWidgetItem* item = list->currentItem();
  dialText_.clear();
  if (item != nullptr && item->isSelected()) {
    // Only what the line shows: its record number stands past the columns.
    const std::string line = VisibleLineText(toRecordText(item->text()));
    const std::string number = ExtractPhoneNumber(line, ws_.options.PhoneDigitsMin);
    if (static_cast<int>(number.size()) >= ws_.options.PhoneDigitsMin) {
      dialText_ = line;
      dialBtn_->setText(Caption(ws_, 1377, "Dial").trimmed());
      dialBtn_->setToolTip(Caption(ws_, 1377, "Dial ") + fromRecordText(number));
    }
  }
  dialBtn_->setVisible(!dialText_.empty());
}

void TBulBrd::BBSlistMouseMove(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  QListWidgetItem* item = bbsList_->itemAt(pos);
  const int row = item ? bbsList_->row(item) : -1;
  const int lineHeight = bbsList_->sizeHintForRow(0) > 0 ? bbsList_->sizeHintForRow(0) : 17;
  const HintPlacement h = MemoHintFor(ws_, pos.x(), pos.y(), row, bbsList_->y(), bbsList_->viewport()->width(),
                                      bbsList_->viewport()->height(), lineHeight);
  if (h.width <= 0) {
    persMemoHint_->hide();
    return;
  }
  persMemoHint_->setText(fromRecordText(h.text));
  persMemoHint_->setGeometry(bbsList_->x() + h.left, h.top, h.width, scaled(18));
  persMemoHint_->show();
  persMemoHint_->raise();
}

int TBulBrd::SelectedRecordOf(QListWidget* list, bool* stale) const {
  if (stale) *stale = false;
  const auto& lines = list == bbsOldList_ ? ws_.board.BBSoldList : ws_.board.BBSlist;
  const int row = list->currentRow();
  if (row < 0 || row >= static_cast<int>(lines.size()) || !list->item(row)->isSelected()) return -1;
  const std::string& text = lines[static_cast<std::size_t>(row)].text;
  if (stale) *stale = LineIsStale(text);
  return RecordNumberOfLine(text);
}

void TBulBrd::UpdateButtons(int record) {
  if (!ws_.board.OutButtonHint.empty()) outBtn_->setToolTip(fromRecordText(ws_.board.OutButtonHint));
  const bool clock = ws_.ListMode == 1 && ws_.options.WorkClock && !ws_.options.CompactMode;
  workClockBtn_->setVisible(clock);
  if (clock) {
    if (record != ws_.board.ClockSlot) UpdateWorkClockButton(ws_, record);
    const WorkClockButton state = WorkClockButtonState(ws_);
    workClockBtn_->setToolTip(fromRecordText(state.hint));
    workClockBtn_->setText(state.running ? fromRecordText(WorkClockElapsedText(ws_)) : QString());
    workClockBtn_->setIcon(state.running ? QIcon() : style()->standardIcon(QStyle::SP_BrowserReload));
    PlaceWorkClockBtn();
  }
  const bool enabled = !ws_.board.MemoEnlarged;
  for (QPushButton* b : {outBtn_, msgBtn_, delBtn_, workClockBtn_}) b->setEnabled(enabled);
  dialBtn_->setEnabled(enabled);
}

void TBulBrd::ApplyListColours() {
  QPalette pal = QApplication::palette(bbsList_);
  pal.setColor(QPalette::Base, ListBackground(ws_, pal));
  bbsList_->setPalette(pal);
  bbsOldList_->setPalette(pal);
  bbsList_->viewport()->update();
  bbsOldList_->viewport()->update();
}

void TBulBrd::OpenLine(QListWidget* list, bool deleteKey) {
  StopIconFlashing(ws_);
  if (CommandInProgress(ws_)) return;
  bool stale = false;
  const int record = SelectedRecordOf(list, &stale);
  if (record < 0) return;
  int next = -1;
  const CommandResult r = OpenEntry(ws_, record, stale, list == bbsOldList_, deleteKey, hooks_, &next);
  if (r == CommandResult::Cancelled) blockDrag_ = true;
  if (r == CommandResult::NotRun || r == CommandResult::Cancelled) return;
  AfterCommand();
  if (deleteKey && next >= 0 && next < list->count()) {
    list->setCurrentRow(next);
    list->setFocus();
  }
}

void TBulBrd::StartDrag(QListWidget* list) {
  const int record = ws_.board.SelectedRecord;
  pressList_ = nullptr;
  if (record < 0 || CommandInProgress(ws_)) return;
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData(kLineMime, QByteArray::number(record) + (list == bbsOldList_ ? " old" : " new"));
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction);
  ws_.board.SelectedRecord = -1;
  list->clearSelection();
}

void TBulBrd::DropRecord(QWidget* target, int record, QListWidget* source) {
  if (CommandInProgress(ws_) || record < 0) return;
  const auto& lines = source == bbsOldList_ ? ws_.board.BBSoldList : ws_.board.BBSlist;
  bool stale = false;
  for (const auto& l : lines)
    if (RecordNumberOfLine(l.text) == record) stale = LineIsStale(l.text);
  if (target == outBtn_ || target == msgBtn_) {
    OutBtnDragDrop(ws_, record, stale, hooks_);
  } else if (target == delBtn_) {
    DelBtnDragDrop(ws_, record, source == bbsOldList_ ? BoardSource::OldList : BoardSource::List);
  } else if ((target == bbsList_ || target == bbsOldList_) && target != source) {
    ListDragDrop(ws_, record, target == bbsOldList_);
  } else {
    ws_.board.SelectedRecord = -1;
    return;
  }
  ws_.board.SelectedRecord = -1;
  AfterCommand();
}

}  // namespace egresso
