#include "board/bulletin_qt.h"
#include "board/bulletin_parts_qt.h"

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

namespace egresso {

using namespace bulletin;

TBulBrd::TBulBrd(Workstation& ws, QWidget* parent) : QMainWindow(parent), ws_(ws), memoGlyph_(MakeMemoGlyph()) {
  setObjectName("BulBrd");
  setWindowTitle(QString::fromStdString(ws.paths.ProductTitle.empty() ? "Egresso" : ws.paths.ProductTitle));

  fileMenu_ = menuBar()->addMenu("&File");
  fileSaveAnnouncement_ = fileMenu_->addAction("Save Announcement");
  restoreMenu_ = fileMenu_->addMenu("Restore");
  restoreMenu_->setObjectName("FileRestore");
  connect(restoreMenu_, &QMenu::aboutToShow, this, &TBulBrd::FillRestoreMenu);
  connect(fileSaveAnnouncement_, &QAction::triggered, this, &TBulBrd::MemoExit);
  fileRollCall_ = fileMenu_->addAction("Roll Call...");
  fileRollCall_->setObjectName("FileRollCall");
  connect(fileRollCall_, &QAction::triggered, this, &TBulBrd::RollCallClick);
  fileMenu_->addSeparator();
  fileExit_ = fileMenu_->addAction("Exit");
  connect(fileExit_, &QAction::triggered, this, &QWidget::close);
  editMenu_ = menuBar()->addMenu("&Edit");
  editCopy_ = editMenu_->addAction("Copy");
  editCopy_->setShortcut(QKeySequence::Copy);
  editCopy_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(editCopy_, &QAction::triggered, this, &TBulBrd::EditCopyClick);
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
  dialingParametersHook = [this]() {
    if (CheckDataFolder(ws_)) RunPhoneDialer(ws_, false, {}, this);
  };

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
  // The board's lines are Latin text in one fixed pitch: no shaping alters
  // them, and skipping it saves most of the cost of drawing a line.
  f.setStyleStrategy(QFont::PreferNoShaping);
  // Unhinted outlines cost a sixth of hinted ones to load, and a first
  // painting of the board loads a hundred of them; at these sizes the two
  // differ by a shade on some horizontal edges.
  f.setHintingPreference(QFont::PreferNoHinting);
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
  // A board shown minimised ("/IM") stays so until its user opens it.
  FormShow(false);
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

  // Whose workstation this is shows in the caption: a form opened here
  // signs out and writes as that user.
  QString title = board ? Caption(ws_, 1396, "In/Out Board") : Caption(ws_, 1398, "Messages");
  if (!ws_.ThisUser.empty()) {
    const int slot = ws_.mcfg.slotOf(ws_.ThisUser);
    const std::string name = slot > 0 ? ws_.mcfg.empName(slot) : std::string();
    title += " - " + fromRecordText(name.empty() ? ws_.ThisUser : name + " (" + ws_.ThisUser + ")");
  }
  setWindowTitle(title);
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

void TBulBrd::FormShow(bool restore) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (restore && isMinimized()) showNormal();
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
    FormShow(false);
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

}  // namespace egresso
