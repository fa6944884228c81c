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
#include <QPrintDialog>
#include <QPrinter>
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
#include "tools/file_maint_qt.h"
#include "board/refresh.h"
#include "board/work_clock.h"
#include "core/waiting.h"
#include "platform/colour_qt.h"
#include "platform/text_qt.h"
#include "startup/host.h"
#include "startup/notices.h"
#include "core/workstation.h"
#include "storage/extract.h"
#include "storage/record_files.h"
#include "tools/dial.h"
#include "tools/dial_qt.h"
#include "tools/editor.h"
#include "tools/editor_qt.h"
#include "tools/password.h"

namespace egresso {

namespace {



// A configuration whose list and text colours are the same would show
// nothing; the system's colours stand in for both then.
bool OwnListColours(Workstation& ws) { return ListColour(ws) != ListTextColour(ws); }
QColor ListBackground(Workstation& ws, const QPalette& pal) {
  // The archive stands out in a colour of its own.
  if (ws.ListMode == 0 && ws.ArchiveView && static_cast<std::uint32_t>(ws.pcfg.color(9)) != ListTextColour(ws))
    return FromBgr(static_cast<std::uint32_t>(ws.pcfg.color(9)));
  return OwnListColours(ws) ? FromBgr(ListColour(ws)) : pal.color(QPalette::Base);
}

// The drag of a list line carries its record number and its list.
constexpr const char* kLineMime = "application/x-egresso-line";
QColor LineColour(Workstation& ws, const QPalette& pal, std::uint32_t colour) {
  return OwnListColours(ws) ? FromBgr(colour) : pal.color(QPalette::Text);
}

// The notice text, or the form's own default caption when the notice file
// has none for that number.
QString Caption(Workstation& ws, int number, const char* fallback) {
  std::string t = MessageText(ws, number);
  return t.empty() ? QString::fromUtf8(fallback) : fromRecordText(t);
}

QPixmap MakeMemoGlyph() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(QColor(255, 250, 200));
  p.drawRect(2, 1, 11, 13);
  p.setPen(QColor(120, 120, 160));
  for (int y = 4; y <= 11; y += 3) p.drawLine(4, y, 11, y);
  return pm;
}

}  // namespace

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
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, fromRecordText(line.text));
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

TBulBrd::TBulBrd(Workstation& ws, QWidget* parent) : QMainWindow(parent), ws_(ws), memoGlyph_(MakeMemoGlyph()) {
  setObjectName("BulBrd");
  setWindowTitle(QString::fromStdString(ws.paths.ProductTitle.empty() ? "Egresso" : ws.paths.ProductTitle));

  fileMenu_ = menuBar()->addMenu("&File");
  fileSaveAnnouncement_ = fileMenu_->addAction("Save Announcement");
  restoreMenu_ = fileMenu_->addMenu("Restore");
  restoreMenu_->setObjectName("FileRestore");
  connect(restoreMenu_, &QMenu::aboutToShow, this, &TBulBrd::FillRestoreMenu);
  connect(fileSaveAnnouncement_, &QAction::triggered, this, &TBulBrd::MemoExit);
  fileMenu_->addSeparator();
  fileExit_ = fileMenu_->addAction("Exit");
  connect(fileExit_, &QAction::triggered, this, &QWidget::close);
  editMenu_ = menuBar()->addMenu("&Edit");
  editCopy_ = editMenu_->addAction("Copy");
  editCopy_->setVisible(false);
  printMenu_ = menuBar()->addMenu("&Print");
  printDetail_ = printMenu_->addAction("Print Detail");
  connect(printDetail_, &QAction::triggered, this, &TBulBrd::PrintDetailClick);
  searchMenu_ = menuBar()->addMenu("&Search");
  searchFind_ = searchMenu_->addAction("Find");
  connect(searchFind_, &QAction::triggered, this, &TBulBrd::FindClick);
  switchItem_ = menuBar()->addAction("Switch");
  connect(switchItem_, &QAction::triggered, this, &TBulBrd::SwitchClick);
  toolsMenu_ = menuBar()->addMenu("&Tools");
  toolsConfiguration_ = toolsMenu_->addAction("Configuration");
  toolsDeleteTagged_ = toolsMenu_->addAction("Delete Tagged Messages");
  toolsDialing_ = toolsMenu_->addAction("Change Dialing Parameters");
  toolsPassword_ = toolsMenu_->addAction("Password");
  connect(toolsConfiguration_, &QAction::triggered, this, [this]() {
    if (!CommandMayStart(ws_)) return;
    if (configurationHook) configurationHook();
    if (ws_.ListMode == 1) {
      BuildBoardList(ws_);
      FillLists();
    }
  });
  connect(toolsDeleteTagged_, &QAction::triggered, this, [this]() {
    if (DeleteTaggedMessages(ws_, hooks_) == CommandResult::Done) {
      FillLists();
      DrawBoardHeading();
    }
  });
  connect(toolsDialing_, &QAction::triggered, this, [this]() {
    if (dialingParametersHook && !CommandInProgress(ws_)) dialingParametersHook();
  });
  connect(toolsPassword_, &QAction::triggered, this, [this]() {
    if (!CommandInProgress(ws_)) ChangePassword(ws_);
  });
  helpMenu_ = menuBar()->addMenu("&Help");
  helpManual_ = helpMenu_->addAction("Read Manual");
  helpAbout_ = helpMenu_->addAction("About");
  connect(helpManual_, &QAction::triggered, this, [this]() {
    try {
      ApplicationHelp(ws_, HelpRequestKind::Context, ws_.ListMode == 1 && !ws_.HostShown ? 1350 : 1300);
    } catch (const std::exception& e) {
      ReportException(ws_, "Exception", e.what(), "\"BBSHLP\"");
    }
  });
  connect(helpAbout_, &QAction::triggered, this, [this]() {
    const QString title = QString::fromStdString(ws_.paths.ProductTitle.empty() ? "Egresso" : ws_.paths.ProductTitle);
    QMessageBox::about(this, helpAbout_->text().remove('&'),
                       "<h3>" + title + "</h3><p>" + tr("Office in/out board and phone messages") + "</p><p>" +
                           tr("Version") + " " + QCoreApplication::applicationVersion() + "</p>");
  });

  central_ = new QWidget(this);
  setCentralWidget(central_);
  bulBrdInfo_ = new QLabel(central_);
  bulBrdInfo_->setObjectName("BulBrdInfo");
  bulBrdInfo_->installEventFilter(this);
  memo_ = new QPlainTextEdit(central_);
  memo_->setObjectName("Memo");
  memo_->installEventFilter(this);
  memo_->viewport()->installEventFilter(this);

  outBtn_ = new QPushButton("Out", central_);
  outBtn_->setObjectName("OutBtn");
  msgBtn_ = new QPushButton("Message", central_);
  msgBtn_->setObjectName("MsgBtn");
  delBtn_ = new QPushButton("Delete", central_);
  delBtn_->setObjectName("DelBtn");
  okBtn_ = new QPushButton("Exit", central_);
  okBtn_->setObjectName("OKbtn");
  connect(okBtn_, &QPushButton::clicked, this, &TBulBrd::OKbtnClick);
  workClockBtn_ = new QPushButton(central_);
  workClockBtn_->setObjectName("WorkClockBtn");
  workClockBtn_->hide();
  connect(workClockBtn_, &QPushButton::clicked, this, &TBulBrd::WorkClockBtnClick);
  connect(outBtn_, &QPushButton::clicked, this, [this]() { OutBtnClick(); });
  connect(msgBtn_, &QPushButton::clicked, this, [this]() { OutBtnClick(); });
  connect(delBtn_, &QPushButton::clicked, this, [this]() {
    OpenLine(bbsOldList_->currentItem() && bbsOldList_->currentItem()->isSelected() ? bbsOldList_ : bbsList_, true);
  });
  for (QPushButton* b : {outBtn_, msgBtn_, delBtn_, okBtn_, workClockBtn_}) b->installEventFilter(this);
  for (QPushButton* b : {outBtn_, msgBtn_, delBtn_}) b->setAcceptDrops(true);
  memoBtn_ = new QToolButton(central_);
  memoBtn_->setObjectName("memoBtn");
  memoBtn_->setIcon(QIcon(memoGlyph_));
  memoBtn_->hide();
  dialBtn_ = new QToolButton(central_);
  dialBtn_->setObjectName("dialBtn");
  dialBtn_->hide();
  connect(dialBtn_, &QToolButton::clicked, this, &TBulBrd::dialBtnClick);
  connect(toolsDialing_, &QAction::triggered, this, [this] {
    if (CheckDataFolder(ws_)) RunPhoneDialer(ws_, false, {}, this);
  });

  bbsList_ = new QListWidget(central_);
  bbsList_->setObjectName("BBSlist");
  bbsList_->setItemDelegate(new BoardLineDelegate(*this, ws_));
  bbsList_->setSelectionMode(QAbstractItemView::SingleSelection);
  bbsList_->setUniformItemSizes(true);
  bbsList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  bbsList_->setMouseTracking(true);
  bbsList_->viewport()->installEventFilter(this);
  bbsList_->installEventFilter(this);
  bbsList_->viewport()->setAcceptDrops(true);
  connect(bbsList_, &QListWidget::currentRowChanged, this, [this](int row) { ws_.board.CurrentLine = row; });
  connect(bbsList_, &QListWidget::itemSelectionChanged, this, [this] { UpdateDialButton(bbsList_); });
  oldListLabel_ = new QLabel(central_);
  oldListLabel_->setObjectName("OldListLabel");
  bbsOldList_ = new QListWidget(central_);
  bbsOldList_->setObjectName("BBSoldList");
  bbsOldList_->setItemDelegate(new BoardLineDelegate(*this, ws_, true));
  bbsOldList_->setSelectionMode(QAbstractItemView::SingleSelection);
  bbsOldList_->setUniformItemSizes(true);
  // The record number past the visible columns is for the program, not the reader.
  bbsOldList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bbsOldList_->viewport()->installEventFilter(this);
  connect(bbsOldList_, &QListWidget::itemSelectionChanged, this, [this] { UpdateDialButton(bbsOldList_); });
  bbsOldList_->installEventFilter(this);
  bbsOldList_->viewport()->setAcceptDrops(true);


  persMemoHint_ = new QLabel(central_);
  persMemoHint_->setObjectName("PersMemoHint");
  persMemoHint_->setFrameShape(QFrame::Box);
  persMemoHint_->setAutoFillBackground(true);
  persMemoHint_->setBackgroundRole(QPalette::ToolTipBase);
  persMemoHint_->hide();

  whoBox_ = new QFrame(central_);
  whoBox_->setObjectName("WhoBox");
  whoBox_->setFrameShape(QFrame::Panel);
  whoBox_->setAutoFillBackground(true);
  who_ = new QLineEdit(whoBox_);
  who_->setObjectName("Who");
  who_->setMaxLength(3);
  who_->installEventFilter(this);
  connect(who_, &QLineEdit::returnPressed, this, [this]() { WhoExit(); });
  whoBox_->hide();
  connect(this, &TBulBrd::outCommand, this, [this](int record) { OutBtnClick(record); });
  hooks_.openForm = [this](char, int) {
    ShowEgresso();
    return ws_.form.ReplyPending || ws_.form.ForwardPending;
  };
  hooks_.maintenance = [this](char) { OpenFileMaintenance(ws_, this); };
  hooks_.restoreBackup = [this](int generation) { RunRestore(ws_, generation, this); };
  configurationHook = [this]() { OpenConfiguration(ws_, this); };
  dialingParametersHook = [this]() { RunPhoneDialer(ws_, false, {}, this); };


  timer1_ = new QTimer(this);
  timer1_->setInterval(ws_.board.Timer1PeriodMs);
  connect(timer1_, &QTimer::timeout, this, &TBulBrd::Timer1Timer);
  timer2_ = new QTimer(this);
  timer2_->setObjectName("Timer2");
  timer2_->setInterval(1000);
  connect(timer2_, &QTimer::timeout, this, &TBulBrd::Timer2Timer);

  // F1 opens help in the full layout (with the host shown).
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this]() {
    if (ws_.HostShown) ApplicationHelp(ws_, HelpRequestKind::Contents);
  });

  resize(scaled(644), scaled(484));
}

TBulBrd::~TBulBrd() = default;

int TBulBrd::scaled(int v) const {
  const double s = ws_.options.FontScale > 0 ? ws_.options.FontScale : 1.0;
  return static_cast<int>(v * s);
}

namespace {
QFont FixedPitchFont(double points, double scale) {
  QFont f("Liberation Mono");
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  f.setPointSizeF(points * (scale > 0 ? scale : 1.0));
  return f;
}
}  // namespace

QFont TBulBrd::listFont() const { return FixedPitchFont(ws_.options.CompactMode ? 8.0 : 10.0, ws_.options.FontScale); }

QFont TBulBrd::headingFont() const { return FixedPitchFont(ws_.options.CompactMode ? 7.0 : 10.0, ws_.options.FontScale); }

void TBulBrd::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    // The window is made before the start-up routine reads the switches;
    // the board takes its settings from them when it is first shown.
    InitBoardState(ws_);
  } else if (event->spontaneous()) {
    return;  // restored by the window system: nothing to build again
  }
  FormShow();
  timer1_->setInterval(ws_.board.Timer1PeriodMs);
  timer1_->start();
  timer2_->start();
}

void TBulBrd::closeEvent(QCloseEvent* event) {
  if (ws_.HostShown) MemoExit();
  timer1_->stop();
  timer2_->stop();
  bbsList_->clear();
  bbsOldList_->clear();
  ::egresso::FormClose(ws_);
  event->accept();
}

void TBulBrd::ApplyCaptions() {
  const bool board = ws_.ListMode == 1;
  editMenu_->setTitle(Caption(ws_, 48, "&Edit"));
  printMenu_->setTitle(Caption(ws_, 721, "&Print"));
  editCopy_->setText(Caption(ws_, 86, "Copy"));
  printDetail_->setText(Caption(ws_, 721, "Print") + " " + Caption(ws_, board ? 1396 : 1382, "Detail"));
  searchMenu_->setTitle(Caption(ws_, 49, "&Search"));
  searchFind_->setText(Caption(ws_, 1493, "Find"));
  helpMenu_->setTitle(Caption(ws_, 43, "&Help"));
  toolsMenu_->setTitle(Caption(ws_, 46, "&Tools"));
  toolsConfiguration_->setText(Caption(ws_, 1469, "Configuration"));
  toolsDeleteTagged_->setText(Caption(ws_, 81, "Delete Tagged Messages"));
  toolsDialing_->setText(Caption(ws_, 1374, "Change Dialing Parameters"));
  toolsPassword_->setText(Caption(ws_, 550, "Password"));
  helpAbout_->setText(Caption(ws_, 44, "About") + " " + QString::fromStdString(ws_.paths.ProductTitle));
  helpManual_->setText(Caption(ws_, 45, "Read Manual"));
  fileMenu_->setTitle(Caption(ws_, 41, "&File"));
  fileExit_->setText(Caption(ws_, 42, "Exit"));
  fileSaveAnnouncement_->setText(Caption(ws_, 1719, "Save Announcement"));
  switchItem_->setText(board ? Caption(ws_, 1462, "Messages") : Caption(ws_, 1463, "In/Out Board"));
  toolsPassword_->setVisible(ws_.pcfg.flag(pcfg::RequestPassword) || ws_.mcfg.flag(mcfg::PasswordForAll));

  setWindowTitle(board ? Caption(ws_, 1396, "In/Out Board") : Caption(ws_, 1398, "Messages"));
  oldListLabel_->setText(Caption(ws_, 1443, "Messages sent or previously read by") + " " +
                         QString::fromStdString(ws_.ThisUser) + ":");
  okBtn_->setText(Caption(ws_, 30, "Exit"));
  msgBtn_->setToolTip(Caption(ws_, 1422, "New message"));
  delBtn_->setToolTip(Caption(ws_, 1449, "Delete"));
  outBtn_->setToolTip(Caption(ws_, 1395, "Out"));
  bbsList_->setToolTip(Caption(ws_, 1797, "Personal memo"));

  const bool full = ws_.HostShown;
  const bool compact = ws_.options.CompactMode;
  switchItem_->setVisible(!compact && (full ? !ws_.options.NoSwitch : true));
  toolsMenu_->menuAction()->setVisible(full);
  helpAbout_->setVisible(full);
  helpManual_->setVisible(full);
  fileMenu_->menuAction()->setVisible(full && !compact);
  searchMenu_->menuAction()->setVisible(!board && !compact);
  // The compact window keeps only the Tools menu; its Exit is the glyph
  // button in the top-right corner.
  editMenu_->menuAction()->setVisible(!compact);
  printMenu_->menuAction()->setVisible(!compact);
  helpMenu_->menuAction()->setVisible(!compact);
  okBtn_->setVisible(!full || compact);
  if (compact) {
    okBtn_->setText(QString());
    okBtn_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    okBtn_->setToolTip(Caption(ws_, 30, "Exit"));
    QFont f = font();
    f.setPointSizeF(7.0 * (ws_.options.FontScale > 0 ? ws_.options.FontScale : 1.0));
    setFont(f);
  }
}

void TBulBrd::FormShow() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (isMinimized()) showNormal();
  ApplyCaptions();

  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect full = screen ? screen->geometry() : avail;
  // The host's reference rectangle once it has one, else the work area.
  const BoardRect reference = ws_.host.RefWidth > 0
                                  ? BoardRect{ws_.host.RefLeft, ws_.host.RefTop, ws_.host.RefWidth, ws_.host.RefHeight}
                                  : BoardRect{avail.left(), avail.top(), avail.width(), avail.height()};
  const BoardRect screenRect{full.left(), full.top(), full.width(), full.height()};
  const BoardRect def{0, 0, scaled(644), scaled(484)};
  const BoardRect r = ShowPlacement(ws_, reference, screenRect, def);
  setGeometry(r.left, r.top, r.width, r.height);
  ws_.host.DialogAreaWidth = r.width - 8;
  ws_.host.DialogAreaHeight = r.height - 4;

  memo_->setReadOnly(ws_.options.MemoReadOnly);
  bbsList_->setFont(listFont());
  bbsOldList_->setFont(listFont());
  QPalette pal = QApplication::palette(bbsList_);
  pal.setColor(QPalette::Base, ListBackground(ws_, pal));
  bbsList_->setPalette(pal);
  bbsOldList_->setPalette(pal);

  ::egresso::FormShow(ws_);
  const HiddenButtons hidden = ButtonsHiddenInMode(ws_);
  delBtn_->setVisible(!hidden.del);
  msgBtn_->setVisible(!hidden.msg);
  outBtn_->setVisible(!hidden.out);
  const bool messages = ws_.ListMode == 0;
  bbsOldList_->setVisible(messages);
  oldListLabel_->setVisible(messages);
  GetAnnouncement();
  ApplyListColours();
  FillLists();
  LayoutControls();
  UpdateButtons(ws_.UserSlot);
  DrawBoardHeading();
  if (!ws_.HostShown) okBtn_->setFocus();
  QApplication::restoreOverrideCursor();
}

void TBulBrd::FillLists() {
  bbsList_->clear();
  for (const auto& line : ws_.board.BBSlist) bbsList_->addItem(fromRecordText(line.text));
  bbsOldList_->clear();
  for (const auto& line : ws_.board.BBSoldList) bbsOldList_->addItem(fromRecordText(line.text));
  ws_.board.CurrentLine = -1;
}

void TBulBrd::LayoutControls() {
  const int w = central_->width();
  const int h = central_->height();
  const int top = scaled(100);
  bulBrdInfo_->setGeometry(0, 0, w, top);
  const int bh = scaled(24);
  int x = 4;
  for (QPushButton* b : {outBtn_, msgBtn_, delBtn_}) {
    if (!b->isVisible() && !b->isVisibleTo(this)) continue;
    b->setGeometry(x, scaled(3), scaled(80), bh);
    x += scaled(84);
  }
  if (ws_.options.CompactMode)
    okBtn_->setGeometry(w - 20, 0, 20, 20);
  else
    okBtn_->setGeometry(w - 10 - scaled(70), scaled(3), scaled(70), bh);
  dialBtn_->setGeometry(x, scaled(3), scaled(50), bh);
  const int listH = std::max(0, h - top - 4);
  if (ws_.board.MemoEnlarged) {
    // Over the heading and the list, from the memo's own top.
    const int height = ws_.options.CompactMode ? this->height() - 65 : listH + 70;
    memo_->setGeometry(4, scaled(31), std::max(0, w - 8), std::max(0, height));
    memo_->raise();
  } else {
    memo_->setGeometry(4, scaled(31), std::max(0, w - 8), ws_.options.CompactMode ? scaled(36) : scaled(48));
  }
  if (ws_.ListMode == 0) {
    const int upper = listH * 70 / 100;
    const int labelH = scaled(18);
    bbsList_->setGeometry(4, top, std::max(0, w - 8), upper);
    oldListLabel_->setGeometry(4, top + upper, std::max(0, w - 8), labelH);
    bbsOldList_->setGeometry(4, top + upper + labelH, std::max(0, w - 8), std::max(0, listH - upper - labelH));
  } else {
    bbsList_->setGeometry(4, top, std::max(0, w - 8), listH);
  }
  PlaceWorkClockBtn();
  whoBox_->setGeometry((w - scaled(120)) / 2, (h - scaled(40)) / 2, scaled(120), scaled(40));
  who_->setGeometry(scaled(30), scaled(8), scaled(60), scaled(24));
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
  p.drawText(QPoint(x, scaled(81) + p.fontMetrics().ascent()), fromRecordText(MessageText(ws_, HeadingNotice(ws_))));
  p.end();
  bulBrdInfo_->setPixmap(pm);
}

void TBulBrd::SwitchClick() {
  if (CommandInProgress(ws_)) return;
  MemoExit();
  ws_.ListMode = ws_.ListMode == 1 ? 0 : 1;
  FormShow();
}

void TBulBrd::Timer1Timer() {
  const Timer1Result r = ::egresso::Timer1Timer(ws_);
  if (timer1_->interval() != ws_.board.Timer1PeriodMs) timer1_->setInterval(ws_.board.Timer1PeriodMs);
  if (r.closeBoard) {
    close();
    return;
  }
  if (r.folderChanged) ShowFolderState(r.folder);
  if (r.modeChanged)
    FormShow();
  else if (r.listRebuilt)
    FillLists();
  // An announcement being edited here is not replaced under the writer's
  // hands; it is loaded at a tick after the edit.
  if (r.reloadAnnouncement && !memo_->document()->isModified() && !memo_->hasFocus()) GetAnnouncement();
  if (workClockBtn_->isVisible() && ws_.board.ClockDay != 0) workClockBtn_->setText(fromRecordText(r.workClockText));
}

void TBulBrd::ShowFolderState(FolderState state) {
  const std::string text = FolderStateText(ws_, state);
  if (!folderBanner_ && text.empty()) return;
  if (!folderBanner_) {
    folderBanner_ = new QLabel(this);
    folderBanner_->setObjectName("FolderBanner");
    folderBanner_->setWordWrap(true);
    folderBanner_->setAutoFillBackground(true);
    QPalette p = folderBanner_->palette();
    p.setColor(QPalette::Window, QColor(255, 236, 160));
    p.setColor(QPalette::WindowText, Qt::black);
    folderBanner_->setPalette(p);
    folderBanner_->setContentsMargins(6, 3, 6, 3);
    QFont bold = folderBanner_->font();
    bold.setBold(true);
    folderBanner_->setFont(bold);
    statusBar()->addWidget(folderBanner_, 1);
    statusBar()->setSizeGripEnabled(false);
  }
  folderBanner_->setText(fromRecordText(text));
  statusBar()->setVisible(!text.empty());
  const bool gone = state == FolderState::Gone;
  for (QWidget* w : std::initializer_list<QWidget*>{bbsList_, bbsOldList_, oldListLabel_, memo_, outBtn_, msgBtn_,
                                                   delBtn_, workClockBtn_})
    w->setEnabled(!gone);
  // The central area takes its new height once the status line is laid out.
  QTimer::singleShot(0, this, [this] { LayoutControls(); });
}

void TBulBrd::Timer2Timer() {
  if (!ws_.HostReady && !ws_.options.CompactMode) {
    if (width() != scaled(636)) resize(scaled(636), height());
    return;
  }
  const QRect g = geometry();
  const BoardRect now{g.x(), g.y(), g.width(), g.height()};
  BoardRect bounds;
  if (CompactBoundsLeft(ws_, now, bounds)) {
    setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
    LayoutControls();
    DrawBoardHeading();
    return;
  }
  if (::egresso::Timer2Timer(ws_, now)) {
    ws_.host.DialogAreaWidth = g.width() - 8;
    ws_.host.DialogAreaHeight = g.height() - 4;
    LayoutControls();
    DrawBoardHeading();
  }
}

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
    const std::string line = toRecordText(item->text()).substr(0, 83);
    const std::string number = ExtractPhoneNumber(line, ws_.options.PhoneDigitsMin);
    if (static_cast<int>(number.size()) >= ws_.options.PhoneDigitsMin) {
      dialText_ = line;
      dialBtn_->setText(Caption(ws_, 1377, "Dial").trimmed());
      dialBtn_->setToolTip(Caption(ws_, 1377, "Dial ") + fromRecordText(number));
    }
  }
  dialBtn_->setVisible(!dialText_.empty());
}

void TBulBrd::dialBtnClick() {
  if (dialText_.empty() || !CheckDataFolder(ws_)) return;
  RunPhoneDialer(ws_, true, dialText_, this);
}

void TBulBrd::OpenPersonalMemo(int slot) {
  if (!RequestMemo(ws_, slot)) return;
  RunMemoEditor(ws_, this);
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

void TBulBrd::ShowWhoBox(const QString& firstCharacter) {
  whoBox_->setWindowTitle(Caption(ws_, 554, "Who are you?"));
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
  if (KeyDown(this, event->key(), event->modifiers())) return;
  QMainWindow::keyPressEvent(event);
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

void TBulBrd::ApplyListColours() {
  QPalette pal = QApplication::palette(bbsList_);
  pal.setColor(QPalette::Base, ListBackground(ws_, pal));
  bbsList_->setPalette(pal);
  bbsOldList_->setPalette(pal);
  bbsList_->viewport()->update();
  bbsOldList_->viewport()->update();
}

void TBulBrd::OutBtnClick(int record, char letter) {
  StopIconFlashing(ws_);
  if (CommandInProgress(ws_)) return;
  if (record < 0 && ws_.ListMode == 1) record = SelectedRecordOf(bbsList_);
  OutCommand(ws_, record, letter, hooks_);
  AfterCommand();
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

void TBulBrd::GetAnnouncement() {
  memo_->setPlainText(fromRecordText(::egresso::GetAnnouncement(ws_)));
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

void TBulBrd::PrintDetailClick() {
  if (!CommandMayStart(ws_)) return;
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, SelectedRecordOf(bbsList_) >= 0);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintDetail(printer, dialog.printRange() == QAbstractPrintDialog::Selection);
}

bool TBulBrd::PrintDetail(QPrinter& printer, bool selectionOnly) {
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
