#include "config/custom_qt.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

#include <utility>

#include "config/custom.h"
#include "core/workstation.h"
#include "platform/colour_qt.h"
#include "platform/printing_qt.h"
#include "platform/text_qt.h"
#include "text/notices.h"
#include "storage/record_files.h"

namespace egresso {

namespace {

constexpr int kEmpBoxWidth = 243;
constexpr int kEmpBoxHeight = 330;
constexpr int kGridWidth = 235;
constexpr int kNameColumnWidth = 160;
constexpr int kOkHeight = 25;
constexpr int kMenuHeight = 24;
constexpr int kFormWidth = 380;  // room for the caption, both buttons and a readable name column

// The grid's edit masks: three characters of initials, twenty of name.
class EmpGridMasks : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(index.column() == 0 ? 3 : 20);
    return editor;
  }
};

}  // namespace

TCustom::TCustom(Workstation& ws, CustomDialog& logic, QWidget* parent)
    : QDialog(parent),
      MainMenu(new QMenuBar(this)),
      MultiUserBox(new QGroupBox(this)),
      MainUserLbl(new QLabel(MultiUserBox)),
      MainUserInitials(new QLineEdit(MultiUserBox)),
      EmpBox(new QGroupBox(this)),
      EmpGrid(new QTableWidget(kGridRows - 1, 2, EmpBox)),
      OKbtn(new QPushButton(this)),
      CancelBtn(new QPushButton(this)),
      ws_(ws),
      logic_(logic) {
  setObjectName("Custom");
  MultiUserBox->setObjectName("MultiUserBox");
  MainUserInitials->setObjectName("MainUserInitials");
  EmpBox->setObjectName("EmpBox");
  EmpGrid->setObjectName("EmpGrid");
  OKbtn->setObjectName("OKbtn");
  CancelBtn->setObjectName("CancelBtn");
  setModal(true);

  logic_.FormShow();
  const CustomView& v = logic_.view;
  QMenu* edit = MainMenu->addMenu(screenText(v.EditMenu));
  InsertRow = edit->addAction(screenText(v.InsertItem));
  DeleteRow = edit->addAction(screenText(v.DeleteItem));
  HelpItem = MainMenu->addAction(QStringLiteral("&Help"));
  connect(InsertRow, &QAction::triggered, this, [this] {
    takeView();
    logic_.InsertRow();
    showView();
  });
  connect(DeleteRow, &QAction::triggered, this, [this] {
    takeView();
    logic_.DeleteRow();
    showView();
  });
  connect(HelpItem, &QAction::triggered, this, [this] { ws_.platform.help->request(HelpCommand::Context, 800, {}); });

  // The form cut down to the main-user field and the employee grid, wide
  // enough for its caption and both buttons.
  const QFontMetrics caption(QApplication::font("QMdiSubWindowTitleBar"));
  const int width = std::max({kEmpBoxWidth + 15, kFormWidth, caption.horizontalAdvance(screenText(v.Caption)) + 160});
  const int height = kEmpBoxHeight + kOkHeight + 109;
  const int boxWidth = width - 12;
  const int gridWidth = kGridWidth + (boxWidth - kEmpBoxWidth);
  setFixedSize(width, height);
  MainMenu->setGeometry(0, 0, width, kMenuHeight);
  OKbtn->setGeometry(width - 8 - 75, kMenuHeight + 3, 75, kOkHeight);
  const int empTop = kMenuHeight + kOkHeight + 80;
  EmpBox->setGeometry(6, empTop, boxWidth, kEmpBoxHeight);
  MultiUserBox->setGeometry(6, empTop - 56, boxWidth, 50);
  MainUserLbl->setGeometry(10, 20, boxWidth - 80, 22);
  MainUserInitials->setGeometry(boxWidth - 62, 20, 50, 22);
  MainUserInitials->setMaxLength(3);
  EmpGrid->setGeometry(4, 18, gridWidth, kEmpBoxHeight - 24);
  EmpGrid->setItemDelegate(new EmpGridMasks(EmpGrid));
  EmpGrid->setColumnWidth(1, kNameColumnWidth + (gridWidth - kGridWidth));
  // The initials column takes what the names and the scroll bar leave of
  // the grid's width: no sideways scrolling, and no row numbers.
  const int scrollBar = EmpGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, EmpGrid);
  EmpGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  EmpGrid->setColumnWidth(0, kGridWidth - kNameColumnWidth - scrollBar - 2 * EmpGrid->frameWidth());
  EmpGrid->horizontalHeader()->setStretchLastSection(true);
  EmpGrid->verticalHeader()->setDefaultSectionSize(20);
  EmpGrid->verticalHeader()->hide();
  EmpGrid->setTabKeyNavigation(true);
  // Cancel stands beside OK and holds the focus when the dialog opens
  // (Escape and Enter press it until the focus moves).
  CancelBtn->setGeometry(width - 8 - 75 - 6 - 75, kMenuHeight + 3, 75, kOkHeight);
  CancelBtn->setAutoDefault(false);
  OKbtn->setAutoDefault(false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, FromBgr(static_cast<std::uint32_t>(ws_.pcfg.color(3))));
  setPalette(pal);
  if (parent) {
    // Centred on the board's window, frame and all.
    const QRect r = parent->window()->frameGeometry();
    move(r.left() + (r.width() - width) / 2, r.top() + (r.height() - height) / 2);
  }

  setWindowTitle(screenText(v.Caption));
  MultiUserBox->setTitle(screenText(v.BoxCaption));
  EmpBox->setTitle(screenText(v.EmpBoxCaption));
  MainUserLbl->setText(screenText(v.MainUserLabel));
  OKbtn->setText(screenText(v.OkCaption));
  CancelBtn->setText(screenText(v.CancelCaption));
  EmpGrid->setHorizontalHeaderLabels({fromRecordText(v.Grid[0][0]), fromRecordText(v.Grid[0][1])});

  connect(OKbtn, &QPushButton::clicked, this, &TCustom::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TCustom::reject);
  connect(EmpGrid, &QTableWidget::currentCellChanged, this, &TCustom::cellChanged);
  connect(EmpGrid, &QTableWidget::itemChanged, this, [this] {
    if (!syncing_) logic_.KeyPressed();
  });
  connect(MainUserInitials, &QLineEdit::textEdited, this, [this] { logic_.KeyPressed(); });
  EmpGrid->installEventFilter(this);
  EmpGrid->viewport()->installEventFilter(this);
  MainUserInitials->installEventFilter(this);
  qApp->installEventFilter(this);
  showView();
  CancelBtn->setFocus();
}

void TCustom::takeView() {
  // A cell still being edited (a menu item or a key chosen meanwhile) is
  // taken as typed, not as it was before.
  for (QLineEdit* editor : EmpGrid->viewport()->findChildren<QLineEdit*>())
    if (editor->isVisible()) QMetaObject::invokeMethod(EmpGrid, "commitData", Q_ARG(QWidget*, editor));
  CustomView& v = logic_.view;
  v.MainUser = toRecordText(MainUserInitials->text());
  for (int r = 1; r < kGridRows; ++r)
    for (int c = 0; c < 2; ++c) {
      const QTableWidgetItem* item = EmpGrid->item(r - 1, c);
      v.Grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = item ? toRecordText(item->text()) : std::string();
    }
}

void TCustom::showView() {
  syncing_ = true;
  const CustomView& v = logic_.view;
  if (MainUserInitials->text() != fromRecordText(v.MainUser)) MainUserInitials->setText(fromRecordText(v.MainUser));
  for (int r = 1; r < kGridRows; ++r)
    for (int c = 0; c < 2; ++c) {
      const QString text = fromRecordText(v.Grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
      QTableWidgetItem* item = EmpGrid->item(r - 1, c);
      if (!item) EmpGrid->setItem(r - 1, c, new QTableWidgetItem(text));
      else if (item->text() != text) item->setText(text);
    }
  InsertRow->setEnabled(v.InsertEnabled);
  DeleteRow->setEnabled(v.DeleteEnabled);
  syncing_ = false;
}

void TCustom::applyFocus() {
  const CustomView& v = logic_.view;
  switch (v.Focus) {
    case CustomFocus::CancelBtn: CancelBtn->setFocus(); break;
    case CustomFocus::MainUser: MainUserInitials->setFocus(); break;
    case CustomFocus::Grid:
      syncing_ = true;
      // An editor the move away opened in the new cell goes: the selection
      // returns to the cell left.
      EmpGrid->reset();
      EmpGrid->setCurrentCell(v.Row - 1, v.Col);
      syncing_ = false;
      EmpGrid->setFocus();
      break;
    case CustomFocus::None: break;
  }
}

void TCustom::cellChanged(int row, int col, int, int) {
  if (syncing_ || !inGrid_) return;
  takeView();
  const bool ok = logic_.SelectCell(row + 1, col);
  showView();
  if (!ok) applyFocus();
}

void TCustom::gridLeft() {
  inGrid_ = false;
  takeView();
  const bool ok = logic_.ExitGrid();
  showView();
  if (!ok) {
    inGrid_ = true;
    applyFocus();
  }
}

bool TCustom::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) && watched->isWidgetType() &&
      watched == QApplication::focusWidget() && static_cast<QWidget*>(watched)->window() == this &&
      formKey(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event)))
    return true;
  // Focus coming back when a message box or menu closes is no entering.
  const bool returning = event->type() == QEvent::FocusIn &&
                         (static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason ||
                          static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason);
  if (returning) return QDialog::eventFilter(watched, event);
  if (event->type() == QEvent::FocusIn && (watched == EmpGrid || watched == MainUserInitials) &&
      !(watched == EmpGrid && inGrid_)) {
    const bool grid = watched == EmpGrid;
    if (!logic_.MayEdit()) {
      // The focus leaves before the refusal is shown, so that closing the
      // box does not bring it back here (and the refusal again).
      QMetaObject::invokeMethod(
          this,
          [this, grid] {
            CancelBtn->setFocus();
            grid ? logic_.EnterGrid() : logic_.EnterMainUser();
            showView();
            applyFocus();
          },
          Qt::QueuedConnection);
      return QDialog::eventFilter(watched, event);
    }
    if (grid) {
      logic_.EnterGrid();
      inGrid_ = true;
      logic_.SelectCell(EmpGrid->currentRow() + 1, std::max(0, EmpGrid->currentColumn()));
    } else {
      logic_.EnterMainUser();
    }
    showView();
  } else if (event->type() == QEvent::FocusIn && inGrid_ && watched->isWidgetType()) {
    // The focus went somewhere outside the grid and its cell editor.
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() == this && w != EmpGrid && !EmpGrid->isAncestorOf(w)) gridLeft();
  }
  return QDialog::eventFilter(watched, event);
}

// Every key reaches the focused control as a shortcut check first, so the
// data folder is checked there, before a menu accelerator can act.
bool TCustom::formKey(QWidget* target, QKeyEvent* event) {
  const bool press = event->type() == QEvent::KeyPress;
  if (press && std::exchange(refusedKey_, false)) return true;
  const int key = event->key();
  if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) || key == Qt::Key_Control ||
      key == Qt::Key_Alt || key == Qt::Key_AltGr || key == Qt::Key_Shift || key == Qt::Key_Meta)
    return false;
  if (!CheckDataFolder(ws_)) {
    refusedKey_ = !press;
    event->accept();
    return true;
  }
  if (press && key == Qt::Key_Tab && (target == EmpGrid || EmpGrid->isAncestorOf(target))) {
    focusPastGrid();
    return true;
  }
  return false;
}

// The grid keeps Tab for moving between its cells; Ctrl+Tab leaves it.
void TCustom::focusPastGrid() {
  QWidget* next = EmpGrid->nextInFocusChain();
  while (next != EmpGrid && (next == this || EmpGrid->isAncestorOf(next) || !(next->focusPolicy() & Qt::TabFocus) ||
                             !next->isEnabled() || !next->isVisibleTo(this)))
    next = next->nextInFocusChain();
  if (next != EmpGrid) next->setFocus(Qt::TabFocusReason);
}

void TCustom::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Print) {
    if (const auto printer = Printing(ws_.platform.dialogs).named(QString())) printForm(*printer);
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && CancelBtn->hasFocus()) {
    reject();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TCustom::printForm(QPaintDevice& printer) {
  if (!CheckDataFolder(ws_)) return;
  const QPixmap image = grab();
  image.save(QString::fromStdString(ws_.paths.DataFolder + "/prntscrn.bmp"), "BMP");
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect page = painter.viewport();
  QSize size = image.size();
  size.scale(page.size(), Qt::KeepAspectRatio);
  painter.drawPixmap(QRect(page.topLeft(), ws_.options.StretchPrint ? size : image.size()), image);
  painter.end();
}

void TCustom::OKBtnClick() {
  if (inGrid_) {
    gridLeft();
    if (inGrid_) return;
  }
  takeView();
  logic_.OKBtnClick(false);
  showView();
  if (logic_.view.Closed)
    accept();
  else
    applyFocus();
}

void TCustom::reject() {
  takeView();
  logic_.OKBtnClick(true);
  if (logic_.view.Closed)
    QDialog::reject();
  else
    applyFocus();
}

}  // namespace egresso
