#include "tools/calc_qt.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <exception>

#include "core/workstation.h"
#include "platform/printing_qt.h"
#include "platform/text_qt.h"
#include "text/notices.h"
#include "config/config_store.h"
#include "tools/calc.h"
#include "tools/tool_window_qt.h"

namespace egresso {

namespace {

constexpr int kFormWidth = 162;
constexpr int kTitleBar = 30;  // the saved height counts the window's title bar
constexpr int kGridTop = 77;

QString Text(Workstation& ws, int number) { return fromRecordText(MessageText(ws, number)); }

QFont TapeFont(bool bold) {
  QFont f("Courier New");
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setPointSize(11);
  f.setBold(bold);
  return f;
}

void StartDrag(QWidget* source, const QString& value) {
  auto* drag = new QDrag(source);
  auto* mime = new QMimeData;
  mime->setText(value.trimmed());
  drag->setMimeData(mime);
  drag->exec(Qt::CopyAction);
}

}  // namespace

CalcGrid::CalcGrid(TCalculator& form) : QTableWidget(&form), form_(form) {
  setObjectName("calcGrid");
  setColumnCount(3);
  horizontalHeader()->hide();
  verticalHeader()->hide();
  setColumnWidth(0, 10);
  setColumnWidth(1, 115);
  setColumnHidden(2, true);
  setFont(TapeFont(true));
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 2);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setShowGrid(false);
  setAcceptDrops(true);
  setTabKeyNavigation(false);
  // The amounts stand right-aligned; a long one is cut at the left edge
  // rather than shortened with an ellipsis.
  setTextElideMode(Qt::ElideNone);
  setWordWrap(false);
}

void CalcGrid::keyPressEvent(QKeyEvent* event) {
  const int k = event->key();
  const auto mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
  TapeCalculator& c = form_.logic();
  auto move = [&](int row, int col) {
    form_.act([&](TapeCalculator& t) { t.MoveTo(row, col); });
  };
  if (mods != 0) {
    QTableWidget::keyPressEvent(event);
    return;
  }
  const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)));
  switch (k) {
    case Qt::Key_Up: move(c.Row - 1, c.Col); return;
    case Qt::Key_Down: move(c.Row + 1, c.Col); return;
    case Qt::Key_PageUp: move(c.Row - page, c.Col); return;
    case Qt::Key_PageDown: move(c.Row + page, c.Col); return;
    case Qt::Key_Left: move(c.Row, 0); return;
    case Qt::Key_Right: move(c.Row, 1); return;
    case Qt::Key_Tab: move(c.Row, c.Col == 0 ? 1 : 0); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Home: form_.act([](TapeCalculator& t) { t.Enter(); }); return;
    case Qt::Key_Backspace: form_.act([](TapeCalculator& t) { t.KeyPress(8); }); return;
    case Qt::Key_Escape: form_.CancelBtnClick(); return;
    default: break;
  }
  const QString text = event->text();
  if (text.size() == 1 && text[0].unicode() > 32 && text[0].unicode() < 127) {
    const char ch = static_cast<char>(text[0].unicode());
    form_.act([ch](TapeCalculator& t) { t.KeyPress(ch); });
    return;
  }
  event->ignore();
}

void CalcGrid::mousePressEvent(QMouseEvent* event) {
  pressPos_ = event->position().toPoint();
  const QModelIndex at = indexAt(pressPos_);
  pressRow_ = at.isValid() ? at.row() : -1;
  pressCol_ = at.isValid() ? at.column() : -1;
  setFocus();
}

void CalcGrid::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || pressRow_ < 0) return;
  if ((event->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
  const std::string amount = form_.logic().Grid[static_cast<std::size_t>(pressRow_)].Amount;
  pressRow_ = -1;
  if (!QString::fromStdString(amount).trimmed().isEmpty()) StartDrag(this, fromRecordText(amount));
}

void CalcGrid::mouseReleaseEvent(QMouseEvent*) {
  if (pressRow_ < 0) return;
  const int row = pressRow_, col = pressCol_;
  pressRow_ = -1;
  form_.act([row, col](TapeCalculator& t) { t.MoveTo(row, col); });
}

void CalcGrid::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void CalcGrid::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void CalcGrid::dropEvent(QDropEvent* event) {
  const QModelIndex at = indexAt(event->position().toPoint());
  if (!at.isValid()) return;
  const std::string value = toRecordText(event->mimeData()->text());
  const int row = at.row();
  form_.act([row, value](TapeCalculator& t) { t.DropOnRow(row, value); });
  event->acceptProposedAction();
}

MemoryBox::MemoryBox(TCalculator& form, int memory) : QLineEdit(&form), form_(form), memory_(memory) {
  setObjectName(memory == 0 ? "mem1Btn" : "mem2Btn");
  setAcceptDrops(true);
  connect(this, &QLineEdit::editingFinished, this, [this] {
    if (!isModified()) return;
    setModified(false);
    const std::string typed = toRecordText(text());
    form_.act([this, typed](TapeCalculator& t) { t.SetMemory(memory_, typed); });
  });
}

void MemoryBox::mousePressEvent(QMouseEvent* event) {
  pressPos_ = event->position().toPoint();
  pressed_ = event->button() == Qt::LeftButton;
  QLineEdit::mousePressEvent(event);
}

void MemoryBox::mouseMoveEvent(QMouseEvent* event) {
  if (pressed_ && (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
    pressed_ = false;
    if (!text().isEmpty()) StartDrag(this, text());
    return;
  }
  QLineEdit::mouseMoveEvent(event);
}

void MemoryBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (!pressed_) return;
  pressed_ = false;
  // A click recalls the memory into the tape.
  form_.act([this](TapeCalculator& t) { t.MemOut(memory_); });
}

void MemoryBox::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasText()) event->acceptProposedAction();
}

void MemoryBox::dropEvent(QDropEvent* event) {
  const std::string value = toRecordText(event->mimeData()->text());
  form_.act([this, value](TapeCalculator& t) { t.DropOnMemory(memory_, value); });
  event->acceptProposedAction();
}

TCalculator::TCalculator(Workstation& ws, TapeCalculator& logic, QWidget* parent)
    : QDialog(parent),
      MainMenu(new QMenuBar(this)),
      Mem1Label(new QLabel(this)),
      Mem2Label(new QLabel(this)),
      mem1Btn(new MemoryBox(*this, 0)),
      mem2Btn(new MemoryBox(*this, 1)),
      CancelBtn(new QPushButton(this)),
      calcGrid(new CalcGrid(*this)),
      Timer1(new QTimer(this)),
      ws_(ws),
      logic_(logic) {
  setObjectName("Calculator");
  CancelBtn->setObjectName("CancelBtn");
  setModal(true);
  setWindowTitle(Text(ws, 1499));

  QMenu* file = MainMenu->addMenu(Text(ws, 41));
  calcPrint = file->addAction(Text(ws, 1507), this, &TCalculator::calcPrintClick);
  calcToClipboard = file->addAction(Text(ws, 1509), this, &TCalculator::calcToClipboardClick);
  calcTotExit = file->addAction(Text(ws, 1506), this, &TCalculator::calcTotExitClick);
  calcExit = file->addAction(Text(ws, 42), this, &TCalculator::CancelBtnClick);
  QMenu* tools = MainMenu->addMenu(Text(ws, 1500));
  auto toolAction = [&](int text, const std::function<void(TapeCalculator&)>& call) {
    return tools->addAction(Text(ws, text), this, [this, call] { act(call); });
  };
  mem1In = toolAction(1510, [](TapeCalculator& t) { t.MemIn(0); });
  mem1Out = toolAction(1511, [](TapeCalculator& t) { t.MemOut(0); });
  mem2In = toolAction(1512, [](TapeCalculator& t) { t.MemIn(1); });
  mem2Out = toolAction(1513, [](TapeCalculator& t) { t.MemOut(1); });
  calcErase = toolAction(1501, [](TapeCalculator& t) { t.EraseTape(); });
  calcUnErase = toolAction(1502, [](TapeCalculator& t) { t.UnEraseTape(); });
  calcRecalc = toolAction(1503, [](TapeCalculator& t) { t.Recalc(0); });
  calcRecalc->setVisible(false);
  calcMoreDecimals = toolAction(1504, [](TapeCalculator& t) { t.ChangeDecimals(+1); });
  calcFewerDecimals = toolAction(1505, [](TapeCalculator& t) { t.ChangeDecimals(-1); });
  calcHelp = MainMenu->addAction(Text(ws, 43), this, [this] {
    try {
      if (ws_.platform.help) ws_.platform.help->request(HelpCommand::Context, 295, {});
    } catch (const std::exception& e) {
      ReportException(ws_, "Exception", e.what(), "\"CALCHLP\"");
    }
  });

  // The keys of the form and the grid.
  calcTotExit->setShortcut(Qt::CTRL | Qt::Key_T);
  calcPrint->setShortcut(Qt::CTRL | Qt::Key_P);
  mem1In->setShortcut(Qt::Key_F11);
  mem2In->setShortcut(Qt::Key_F12);
  mem1Out->setShortcut(Qt::CTRL | Qt::Key_1);
  mem2Out->setShortcut(Qt::CTRL | Qt::Key_2);
  calcErase->setShortcut(Qt::CTRL | Qt::Key_E);
  calcUnErase->setShortcut(Qt::CTRL | Qt::Key_U);
  calcMoreDecimals->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Left), QKeySequence(Qt::CTRL | Qt::Key_L)});
  calcFewerDecimals->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Right), QKeySequence(Qt::CTRL | Qt::Key_R)});
  auto* live = new QAction(this);
  live->setShortcut(Qt::CTRL | Qt::Key_K);
  connect(live, &QAction::triggered, this, &TCalculator::ToggleLivePrinting);
  addAction(live);

  Mem1Label->setText(Text(ws, 1514));
  Mem2Label->setText(Text(ws, 1515));
  CancelBtn->setText(Text(ws, 1498));
  CancelBtn->setAutoDefault(false);
  connect(CancelBtn, &QPushButton::clicked, this, &TCalculator::CancelBtnClick);

  calcGrid->setRowCount(logic_.Rows());
  for (int r = 0; r < logic_.Rows(); ++r)
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(c == 1 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
      calcGrid->setItem(r, c, item);
    }

  const ToolRect at = logic_.Placement(BoardReference(parent));
  setGeometry(at.left, at.top, kFormWidth, std::max(150, at.height - kTitleBar));
  lastBounds_ = geometry();
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TCalculator::Timer1Timer);
  Timer1->start();
  showTape();
  calcGrid->setFocus();
}

TCalculator::~TCalculator() {
  if (tapePainter_) tapePainter_->end();
}

void TCalculator::LayOut() {
  const int menuH = MainMenu->sizeHint().height();
  MainMenu->setGeometry(0, 0, width(), menuH);
  Mem1Label->setGeometry(4, menuH + 4, 40, 22);
  mem1Btn->setGeometry(44, menuH + 2, width() - 50, 22);
  Mem2Label->setGeometry(4, menuH + 28, 40, 22);
  mem2Btn->setGeometry(44, menuH + 26, width() - 50, 22);
  CancelBtn->setGeometry(44, menuH + 51, width() - 50, 22);
  const int top = std::max(menuH + kGridTop - 20, menuH + 76);
  calcGrid->setGeometry(2, top, width() - 4, std::max(40, height() - top - 2));
}

void TCalculator::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayOut();
}

void TCalculator::act(const std::function<void(TapeCalculator&)>& call) {
  try {
    call(logic_);
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"CALC\"");
  }
  showTape();
  LivePrint();
}

void TCalculator::showTape() {
  for (int r = 0; r < logic_.Rows(); ++r) {
    const TapeRow& row = logic_.Grid[static_cast<std::size_t>(r)];
    calcGrid->item(r, 0)->setText(QString(QChar(row.Op)));
    calcGrid->item(r, 1)->setText(fromRecordText(row.Amount).trimmed());
  }
  calcGrid->setCurrentCell(logic_.Row, logic_.Col);
  calcGrid->scrollToItem(calcGrid->item(logic_.Row, logic_.Col));
  if (!mem1Btn->hasFocus()) mem1Btn->setText(fromRecordText(logic_.MemoryText(0)));
  if (!mem2Btn->hasFocus()) mem2Btn->setText(fromRecordText(logic_.MemoryText(1)));
  calcErase->setEnabled(logic_.EraseEnabled);
  calcUnErase->setEnabled(logic_.UnEraseEnabled);
}

void TCalculator::Timer1Timer() {
  const QRect g = geometry();
  if (g == lastBounds_) return;
  lastBounds_ = g;
  logic_.TrackPlacement(g.top(), g.left(), g.height() + kTitleBar);
}

void TCalculator::calcPrintClick() {
  try {
    PrintRequest request;
    request.portrait = true;
    const ChosenPrinter chosen = Printing(ws_.platform.dialogs).ask(this, request);
    if (!chosen.printer) return;
    QPagedPaintDevice& printer = *chosen.printer;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPainter p;
    if (p.begin(&printer)) {
      p.setFont(TapeFont(false));
      int page = 0;
      for (const TapePrintLine& line : logic_.PrintLayout(PrintableArea(printer).height())) {
        if (line.page != page) {
          printer.newPage();
          page = line.page;
        }
        p.drawText(4, line.y + p.fontMetrics().ascent(), fromRecordText(line.text));
      }
      p.end();
    }
    QApplication::restoreOverrideCursor();
  } catch (const std::exception& e) {
    QApplication::restoreOverrideCursor();
    ReportException(ws_, "Exception", e.what(), "\"CALCPR\"");
  }
}

void TCalculator::calcToClipboardClick() {
  try {
    if (ws_.platform.clipboard) ws_.platform.clipboard->setText(logic_.TapeText());
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"CALCPR\"");
  }
}

void TCalculator::ToggleLivePrinting() {
  if (!logic_.ToggleLivePrinting()) return;
  if (!logic_.LivePrinting) {
    if (tapePainter_) tapePainter_->end();
    tapePainter_.reset();
    tapePrinter_.reset();
    return;
  }
  Printing printing(ws_.platform.dialogs);
  const QStringList printers = printing.names();
  if (ws_.options.CalcPrinter >= printers.size()) {
    logic_.ToggleLivePrinting();
    return;
  }
  tapePrinter_ = printing.named(printers[ws_.options.CalcPrinter]);
  tapePainter_ = std::make_unique<QPainter>();
  if (!tapePrinter_ || !tapePainter_->begin(tapePrinter_.get())) {
    tapePainter_.reset();
    tapePrinter_.reset();
    logic_.ToggleLivePrinting();
    return;
  }
  tapePainter_->setFont(TapeFont(false));
  tapeLine_ = 0;
}

void TCalculator::LivePrint() {
  if (!tapePainter_) {
    logic_.LivePrintQueue.clear();
    return;
  }
  const int step = tapePainter_->fontMetrics().height();
  const int pageHeight = PrintableArea(*tapePrinter_).height();
  for (const std::string& line : logic_.LivePrintQueue) {
    if ((tapeLine_ + 1) * step > pageHeight) {
      tapePrinter_->newPage();
      tapeLine_ = 0;
    }
    tapePainter_->drawText(4, tapeLine_ * step + tapePainter_->fontMetrics().ascent(), fromRecordText(line));
    ++tapeLine_;
  }
  logic_.LivePrintQueue.clear();
}

void TCalculator::CancelBtnClick() {
  if (closing_) return;
  closing_ = true;
  logic_.Exit();
  if (tapePainter_) tapePainter_->end();
  tapePainter_.reset();
  tapePrinter_.reset();
  done(QDialog::Rejected);
}

void TCalculator::calcTotExitClick() {
  if (closing_) return;
  closing_ = true;
  logic_.ExitWithTotal();
  tapePainter_.reset();
  tapePrinter_.reset();
  done(QDialog::Accepted);
}

void TCalculator::reject() { CancelBtnClick(); }

void TCalculator::closeEvent(QCloseEvent* event) {
  CancelBtnClick();
  event->accept();
}

int RunCalculator(Workstation& ws, QWidget* parent) {
  TapeCalculator logic(ws);
  logic.FormShow();
  TCalculator window(ws, logic, parent);
  window.exec();
  return logic.Result;
}

}  // namespace egresso
