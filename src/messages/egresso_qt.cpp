#include "messages/egresso_qt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <functional>

#include "core/workstation.h"
#include "platform/printing_qt.h"
#include "platform/text_qt.h"
#include "text/notices.h"
#include "storage/record_files.h"
#include "tools/calc.h"
#include "tools/calc_qt.h"
#include "tools/dial_qt.h"

namespace egresso {

namespace {

constexpr int kMenuHeight = 24;

// Notice texts carry "&" for the menu accelerator; labels show it plainly.
QString Plain(const std::string& t) {
  QString s = fromRecordText(t);
  s.remove(QChar('&'));
  return s;
}

// The text box holds plain line feeds; the record text uses CR LF.
QString ToBox(const std::string& t) { return screenText(t); }
std::string FromBox(const QString& t) {
  QString s = t;
  s.replace(QChar(0x2029), QChar('\n'));
  return toRecordText(s);
}

void SetItems(QComboBox* box, const std::vector<std::string>& items) {
  QStringList wanted;
  for (const auto& i : items) wanted << fromRecordText(i);
  QStringList have;
  for (int i = 0; i < box->count(); ++i) have << box->itemText(i);
  if (have == wanted) return;
  const QString edit = box->isEditable() ? box->currentText() : QString();
  box->clear();
  box->addItems(wanted);
  if (box->isEditable()) box->setEditText(edit);
}

template <class T>
T* Make(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(name);
  return w;
}

// The return-time box: its list is made again each time it drops down, so
// that times past since the form opened are not offered.
class ReturnTimeBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> dropDown;
  void showPopup() override {
    if (dropDown) dropDown();
    QComboBox::showPopup();
  }
};

void SetLine(QLineEdit* e, const std::string& text) {
  const QString t = fromRecordText(text);
  if (e->text() != t) e->setText(t);
}

}  // namespace

// ---- the calendar ----

SmClndrView::SmClndrView(TEgressoBrd& form, EgressoForm& logic, Workstation& ws, QWidget* parent)
    : QWidget(parent), form_(form), logic_(logic), ws_(ws) {
  setObjectName("SmClndr");
  setFixedSize(SmallCalendar::Width, SmallCalendar::Height);
  setMouseTracking(false);
}

void SmClndrView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(255, 255, 160));
  QFont f("Liberation Sans");
  f.setPixelSize(11);
  p.setFont(f);
  p.setPen(Qt::black);
  const SmallCalendar& c = logic_.calendar;
  const int ascent = p.fontMetrics().ascent();
  p.drawText(70, 4 + ascent, fromRecordText(c.Header(ws_)));
  for (int i = 1; i <= 7; ++i) p.drawText(27 * i - 24, 21 + ascent, fromRecordText(c.DayHeading(ws_, i - 1)));
  // Month arrows where a click changes the month.
  p.setBrush(QColor(120, 120, 120));
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygon({QPoint(174, 15), QPoint(186, 15), QPoint(180, 7)}));
  p.drawPolygon(QPolygon({QPoint(174, 147), QPoint(186, 147), QPoint(180, 155)}));
  p.setPen(Qt::black);
  for (int r = 0; r < 6; ++r)
    for (int col = 0; col < 7; ++col)
      if (int d = c.Cell(r, col)) p.drawText(27 * col + 10, 21 * r + 39 + ascent, QString::number(d));
  int row, col;
  c.ChosenCell(row, col);
  if (row >= 0) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 255, 255), 2));
    p.drawRect(27 * col + 3, 21 * row + 38, 26, 20);
  }
}

void SmClndrView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  bool drag = false;
  form_.calendarClicked(static_cast<int>(event->position().x()), static_cast<int>(event->position().y()), drag);
  dragging_ = drag;
  dragStart_ = event->globalPosition().toPoint();
  update();
}

void SmClndrView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || parentWidget() == nullptr) return;
  const QPoint now = event->globalPosition().toPoint();
  parentWidget()->move(parentWidget()->pos() + (now - dragStart_));
  dragStart_ = now;
}

void SmClndrView::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

// ---- the form ----

TEgressoBrd::TEgressoBrd(Workstation& ws, QWidget* parent) : QDialog(parent), ws_(ws), logic_(ws) {
  setObjectName("EgressoBrd");
  setWindowTitle(QString::fromStdString(ws_.paths.ProductTitle.empty() ? "Egresso" : ws_.paths.ProductTitle));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menu_ = new QMenuBar(this);
  layout->setMenuBar(menu_);
  QMenu* print = menu_->addMenu("&Print");
  print->setObjectName("MenuPrint");
  menuPrintRecord_ = print->addAction("Print this &Record");
  menuPrintRecord_->setObjectName("MenuPrintRecord");
  menuRply_ = menu_->addAction("&Reply");
  menuRply_->setObjectName("MenuRply");
  menuFwd_ = menu_->addAction("&Forward");
  menuFwd_->setObjectName("menuFwd");
  menuHelp_ = menu_->addAction("&Help");
  menuHelp_->setObjectName("MenuHelp");
  body_ = new QWidget(this);
  layout->addWidget(body_);

  auto box = [&](const char* name) { return Make<QGroupBox>(body_, name); };
  empOutBox_ = box("EmpOutBox");
  empOut_ = Make<QLineEdit>(empOutBox_, "EmpOut");
  empOut_->setMaxLength(3);
  employeeOut_ = Make<QComboBox>(empOutBox_, "EmployeeOut");
  empInBox_ = box("EmpInBox");
  empIn_ = Make<QLineEdit>(empInBox_, "EmpIn");
  empIn_->setMaxLength(254);
  employeeIn_ = Make<QComboBox>(empInBox_, "EmployeeIn");
  empInList_ = Make<QLabel>(empInBox_, "EmpInList");
  returnDateBox_ = box("ReturnDateBox");
  returnDate_ = Make<QLineEdit>(returnDateBox_, "ReturnDate");
  returnDate_->setMaxLength(20);
  returnTimeBox_ = box("ReturnTimeBox");
  auto* returnTime = Make<ReturnTimeBox>(returnTimeBox_, "ReturnTime");
  returnTime->dropDown = [this]() {
    pull();
    logic_.ReturnTimeDropDown();
    push();
  };
  returnTime_ = returnTime;
  returnTime_->setEditable(true);
  returnTime_->setInsertPolicy(QComboBox::NoInsert);
  returnTime_->lineEdit()->setMaxLength(60);
  locAbbBox_ = box("LocAbbBox");
  locAbb_ = Make<QComboBox>(locAbbBox_, "LocAbb");
  locationBox_ = box("LocationBox");
  location_ = Make<QPlainTextEdit>(locationBox_, "Location");
  QFont mono("Liberation Mono");
  mono.setStyleHint(QFont::TypeWriter);
  location_->setFont(mono);
  location_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  location_->setTabChangesFocus(true);
  smClndrBox_ = box("SmClndrBox");
  smClndr_ = new SmClndrView(*this, logic_, ws_, smClndrBox_);
  smClndrBox_->hide();
  deleteBtn_ = Make<QCheckBox>(body_, "DeleteBtn");
  readBtn_ = Make<QCheckBox>(body_, "ReadBtn");
  label1_ = Make<QLabel>(body_, "Label1");
  label2_ = Make<QLabel>(body_, "label2");
  okBtn_ = Make<QPushButton>(body_, "OKbtn");
  okBtn_->setAutoDefault(false);
  cancelBtn_ = Make<QPushButton>(body_, "CancelBtn");
  cancelBtn_->setAutoDefault(false);
  auto tool = [&](const char* name, const char* text) {
    auto* t = new QToolButton(body_);
    t->setObjectName(name);
    t->setText(text);
    return t;
  };
  rplyBtn_ = tool("RplyBtn", "\u21B5");
  fwdBtn_ = tool("FwdBtn", "\u21AA");
  dialBtn_ = tool("dialBtn", "\u260E");

  connect(okBtn_, &QPushButton::clicked, this, &TEgressoBrd::OKbtnClick);
  connect(cancelBtn_, &QPushButton::clicked, this, &TEgressoBrd::CancelBtnClick);
  connect(rplyBtn_, &QToolButton::clicked, this, [this]() { FwdRplyBtnClick(ReplyKind::ReplyButton); });
  connect(fwdBtn_, &QToolButton::clicked, this, [this]() { FwdRplyBtnClick(ReplyKind::Forward); });
  connect(menuRply_, &QAction::triggered, this, [this]() { FwdRplyBtnClick(ReplyKind::ReplyMenu); });
  connect(menuFwd_, &QAction::triggered, this, [this]() { FwdRplyBtnClick(ReplyKind::Forward); });
  connect(menuPrintRecord_, &QAction::triggered, this, &TEgressoBrd::MenuPrintClick);
  connect(menuHelp_, &QAction::triggered, this, &TEgressoBrd::MenuHelpClick);
  connect(dialBtn_, &QToolButton::clicked, this, &TEgressoBrd::dialBtnClick);
  // A choice in a pick list goes to its handler with the fields as they stand.
  auto chosen = [this](void (EgressoForm::*handler)(int)) {
    return [this, handler](int i) {
      pull();
      (logic_.*handler)(i);
      push();
    };
  };
  connect(employeeOut_, &QComboBox::activated, this, chosen(&EgressoForm::EmployeeOutClick));
  connect(employeeIn_, &QComboBox::activated, this, chosen(&EgressoForm::EmployeeInClick));
  connect(locAbb_, &QComboBox::activated, this, chosen(&EgressoForm::LocAbbChange));
  connect(deleteBtn_, &QCheckBox::clicked, this, [this]() { logic_.DeletePressed(FormField::None); });

  for (QWidget* w : std::initializer_list<QWidget*>{empOut_, employeeOut_, empIn_, employeeIn_, returnDate_, returnTime_,
                                                   returnTime_->lineEdit(), locAbb_, location_, okBtn_, cancelBtn_,
                                                   deleteBtn_, readBtn_})
    w->installEventFilter(this);
  location_->viewport()->installEventFilter(this);
  resize(536, 420);
}

TEgressoBrd::~TEgressoBrd() { ws_.board.EmployeeTablesReloaded = false; }

FormField TEgressoBrd::fieldOf(QObject* o) const {
  if (o == empOut_) return FormField::EmpOut;
  if (o == employeeOut_) return FormField::EmployeeOut;
  if (o == empIn_) return FormField::EmpIn;
  if (o == employeeIn_) return FormField::EmployeeIn;
  if (o == returnDate_) return FormField::ReturnDate;
  if (o == returnTime_ || o == returnTime_->lineEdit()) return FormField::ReturnTime;
  if (o == locAbb_) return FormField::LocAbb;
  if (o == location_ || o == location_->viewport()) return FormField::Location;
  if (o == okBtn_) return FormField::OKbtn;
  if (o == cancelBtn_) return FormField::CancelBtn;
  return FormField::None;
}

QWidget* TEgressoBrd::widgetOf(FormField field) const {
  switch (field) {
    case FormField::EmpOut: return empOut_;
    case FormField::EmployeeOut: return employeeOut_;
    case FormField::EmpIn: return empIn_;
    case FormField::EmployeeIn: return employeeIn_;
    case FormField::ReturnDate: return returnDate_;
    case FormField::ReturnTime: return returnTime_;
    case FormField::LocAbb: return locAbb_;
    case FormField::Location: return location_;
    case FormField::OKbtn: return okBtn_;
    case FormField::CancelBtn: return cancelBtn_;
    case FormField::None: break;
  }
  return nullptr;
}

void TEgressoBrd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  logic_.FormShow();
  layoutFace();
  push();
  if (QWidget* w = widgetOf(logic_.f.focus)) w->setFocus(Qt::OtherFocusReason);
}

void TEgressoBrd::layoutFace() {
  const bool loc = logic_.f.locationFace;
  // The compact face keeps the arrangement at three quarters of the size,
  // in the small fonts of the compact board; the calendar keeps its size.
  const bool compact = ws_.options.CompactMode;
  auto s = [compact](int v) { return compact ? static_cast<int>(std::lround(v * 0.75)) : v; };
  if (compact) {
    QFont small = font();
    small.setPointSize(7);
    setFont(small);
  }
  QFont mono = location_->font();
  mono.setPointSize(compact ? 8 : 10);
  location_->setFont(mono);

  const int w = s(536);
  empOutBox_->setGeometry(s(8), s(4), s(220), s(52));
  empOut_->setGeometry(s(8), s(20), s(48), s(24));
  employeeOut_->setGeometry(s(60), s(20), s(152), s(24));
  empInBox_->setGeometry(s(236), s(4), w - s(244), s(52));
  empIn_->setGeometry(s(8), s(20), s(130), s(24));
  employeeIn_->setGeometry(s(142), s(20), w - s(244 + 150), s(24));
  empInList_->setGeometry(s(142), s(2), w - s(244 + 150), s(16));
  empInList_->hide();
  returnDateBox_->setGeometry(s(236), s(4), s(130), s(52));
  returnDate_->setGeometry(s(8), s(20), s(114), s(24));
  if (loc) {
    returnTimeBox_->setGeometry(s(374), s(4), w - s(382), s(52));
    returnTime_->setGeometry(s(8), s(20), w - s(382 + 16), s(24));
  } else {
    returnTimeBox_->setGeometry(s(8), s(60), w - s(16), s(52));
    returnTime_->setGeometry(s(8), s(20), w - s(32), s(24));
  }
  locAbbBox_->setGeometry(s(8), s(60), w - s(16), s(52));
  locAbb_->setGeometry(s(8), s(20), w - s(32), s(24));
  // The text box takes the room of the destination list when there is none.
  const bool abbreviations = loc && logic_.f.showLocAbb;
  const int textTop = s(!loc || abbreviations ? 116 : 60);
  locationBox_->setGeometry(s(8), textTop, w - s(16), s(330) - textTop);
  location_->setGeometry(s(8), s(20), w - s(32), s(330 - 28) - textTop);
  smClndrBox_->setGeometry(s(236), s(56), SmallCalendar::Width + 4, SmallCalendar::Height + 4);
  smClndr_->move(2, 2);
  smClndrBox_->setTitle(QString());
  deleteBtn_->setGeometry(s(12), s(338), s(130), s(24));
  readBtn_->setGeometry(s(146), s(338), s(122), s(24));
  rplyBtn_->setGeometry(s(272), s(336), s(28), s(28));
  fwdBtn_->setGeometry(s(304), s(336), s(28), s(28));
  dialBtn_->setGeometry(s(336), s(336), s(28), s(28));
  label1_->setGeometry(s(12), s(368), s(340), s(18));
  label2_->setGeometry(s(12), s(386), s(340), s(18));
  okBtn_->setGeometry(w - s(160), s(336), s(72), s(28));
  cancelBtn_->setGeometry(w - s(82), s(336), s(72), s(28));
  setFixedSize(w, s(408) + std::max(s(kMenuHeight), menu_->sizeHint().height()));
  placeByBoard(compact);
}

// The compact form opens over the board's top left corner, as the other
// windows of the compact board do; otherwise it is centred on the board.
// Either way it stays on the board's screen.
void TEgressoBrd::placeByBoard(bool compact) {
  QWidget* board = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  if (board == nullptr || !board->isVisible()) return;
  const QRect b = board->frameGeometry();
  const QSize size = frameGeometry().size().expandedTo(this->size());
  QPoint at = compact ? b.topLeft() : b.center() - QPoint(size.width() / 2, size.height() / 2);
  if (QScreen* screen = board->screen()) {
    const QRect area = screen->availableGeometry();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - size.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - size.height())));
  }
  move(at);
}

void TEgressoBrd::pull() {
  FormFields& f = logic_.f;
  f.EmpOut = toRecordText(empOut_->text());
  f.EmpIn = toRecordText(empIn_->text());
  f.ReturnDate = toRecordText(returnDate_->text());
  f.ReturnTime = toRecordText(returnTime_->currentText());
  f.Location = FromBox(location_->toPlainText());
  f.ReadBtn = readBtn_->isChecked();
  f.DeleteBtn = deleteBtn_->isChecked();
}

void TEgressoBrd::push() {
  pushing_ = true;
  const FormFields& f = logic_.f;
  setWindowTitle(Plain(f.caption));
  empOutBox_->setTitle(Plain(f.empOutCaption));
  empInBox_->setTitle(Plain(f.empInCaption));
  empInList_->setText(Plain(f.pickCaption));
  employeeIn_->setPlaceholderText(Plain(f.pickCaption));
  employeeIn_->setToolTip(Plain(f.pickCaption));
  returnDateBox_->setTitle(Plain(f.returnDateCaption));
  returnTimeBox_->setTitle(Plain(f.returnTimeCaption));
  locAbbBox_->setTitle(Plain(f.locAbbCaption));
  locationBox_->setTitle(Plain(f.locationCaption));
  deleteBtn_->setText(Plain(f.deleteCaption));
  readBtn_->setText(Plain(f.readCaption));
  okBtn_->setText(fromRecordText(f.okCaption));
  cancelBtn_->setText(fromRecordText(f.cancelCaption));
  rplyBtn_->setToolTip(Plain(f.replyHint));
  fwdBtn_->setToolTip(Plain(f.forwardHint));
  dialBtn_->setToolTip(fromRecordText(f.dialHint));
  menuPrintRecord_->setText(fromRecordText(MessageText(ws_, 1440)));
  menuRply_->setText(fromRecordText(MessageText(ws_, 1441)));
  menuFwd_->setText(fromRecordText(MessageText(ws_, 1442)));
  menuHelp_->setText(fromRecordText(MessageText(ws_, 43)));
  if (!menu_->actions().isEmpty()) menu_->actions().front()->setText(fromRecordText(MessageText(ws_, 721)));

  SetItems(employeeOut_, f.EmployeeOutItems);
  SetItems(employeeIn_, f.EmployeeInItems);
  SetItems(locAbb_, f.LocAbbItems);
  SetItems(returnTime_, f.locationFace ? f.ReturnTimeItems : std::vector<std::string>{});
  employeeIn_->setCurrentIndex(-1);
  locAbb_->setCurrentIndex(-1);
  int outIndex = -1;
  for (int i = 0; i < static_cast<int>(f.EmployeeOutItems.size()); ++i)
    if (!f.EmpOut.empty() && f.EmployeeOutItems[static_cast<std::size_t>(i)].rfind(f.EmpOut + ":", 0) == 0) outIndex = i;
  employeeOut_->setCurrentIndex(outIndex);

  SetLine(empOut_, f.EmpOut);
  SetLine(empIn_, f.EmpIn);
  SetLine(returnDate_, f.ReturnDate);
  if (returnTime_->currentText() != fromRecordText(f.ReturnTime)) returnTime_->setEditText(fromRecordText(f.ReturnTime));
  const QString body = ToBox(f.Location);
  if (location_->toPlainText() != body) {
    const bool modified = location_->document()->isModified();
    location_->setPlainText(body);
    location_->document()->setModified(modified || location_->hasFocus());
  }
  readBtn_->setChecked(f.ReadBtn);
  deleteBtn_->setChecked(f.DeleteBtn);
  label1_->setText(fromRecordText(f.label1));
  label2_->setText(fromRecordText(f.label2));

  empInBox_->setVisible(f.showEmpIn);
  returnDateBox_->setVisible(f.showReturnDate);
  locAbbBox_->setVisible(f.showLocAbb && f.locationFace);
  readBtn_->setVisible(f.showReadBtn);
  deleteBtn_->setVisible(f.showDeleteBtn);
  label1_->setVisible(f.showLabel1);
  label2_->setVisible(f.showLabel2);
  if (logic_.entryGone()) {
    // The sentence saying why the form is empty takes both label lines.
    label1_->setWordWrap(true);
    label1_->setGeometry(label1_->x(), label1_->y(), width() - 2 * label1_->x(),
                         label2_->geometry().bottom() - label1_->y() + 1);
  }
  rplyBtn_->setVisible(f.showReply);
  fwdBtn_->setVisible(f.showReply);
  menuRply_->setVisible(f.showReply);
  menuFwd_->setVisible(f.showReply);
  dialBtn_->setVisible(f.showDial);
  smClndrBox_->setVisible(f.showCalendar && f.showReturnDate);
  if (smClndrBox_->isVisible()) {
    smClndrBox_->raise();
    smClndr_->update();
  }

  empOut_->setEnabled(f.empOutEnabled);
  employeeOut_->setEnabled(f.empOutEnabled);
  empIn_->setEnabled(f.empInEnabled);
  employeeIn_->setEnabled(f.empInEnabled);
  returnDate_->setEnabled(f.returnDateEnabled);
  returnTime_->setEnabled(f.returnTimeEnabled);
  location_->setReadOnly(f.locationReadOnly);
  pushing_ = false;
}

void TEgressoBrd::finish() {
  if (logic_.closed()) {
    QDialog::done(QDialog::Accepted);
    return;
  }
  push();
  if (QWidget* w = widgetOf(logic_.f.focus)) w->setFocus(Qt::OtherFocusReason);
}

void TEgressoBrd::OKbtnClick() {
  try {
    pull();
    logic_.OKbtnClick();
    finish();
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"EGOK\"");
  }
}

void TEgressoBrd::CancelBtnClick() {
  pull();
  logic_.CancelBtnClick();
  finish();
}

void TEgressoBrd::reject() {
  // The window's close box: cancel as the Cancel button does.
  pull();
  logic_.CancelBtnClick();
  if (logic_.closed()) QDialog::done(QDialog::Rejected);
  else finish();
}

void TEgressoBrd::FwdRplyBtnClick(ReplyKind kind) {
  pull();
  QString selection = location_->textCursor().selectedText();
  logic_.FwdRplyBtnClick(kind, FromBox(selection));
  finish();
}

void TEgressoBrd::MenuHelpClick() {
  if (!CheckDataFolder(ws_)) return;
  try {
    ApplicationHelp(ws_, HelpRequestKind::Context, logic_.f.helpContext);
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"EGHLP\"");
  }
}

void TEgressoBrd::dialBtnClick() {
  if (!CheckDataFolder(ws_)) return;
  const std::string number = logic_.NumberToDial();
  if (!number.empty()) RunPhoneDialer(ws_, true, number, this);
}

void TEgressoBrd::MenuPrintClick() {
  if (!CheckDataFolder(ws_)) return;
  pull();
  PrintRequest request;
  request.highResolution = true;
  request.portrait = true;
  const ChosenPrinter chosen = Printing(ws_.platform.dialogs).ask(this, request);
  if (chosen.printer) printTo(*chosen.printer);
}

bool TEgressoBrd::printTo(QPagedPaintDevice& printer) {
  try {
    pull();
    const bool landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
    const auto rows = PrintLayout(logic_.PrintLines(), landscape);
    QPainter p;
    if (!p.begin(&printer)) throw std::runtime_error("the printer cannot be opened");
    QFont f("Liberation Mono");
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setBold(false);
    f.setPointSize(9);
    p.setFont(f);
    const int height = PrintableArea(printer).height();
    const int lineHeight = std::max(1, height / 54);
    int page = 0;
    for (const auto& r : rows) {
      while (page < r.page) {
        printer.newPage();
        ++page;
      }
      p.drawText(0, r.row * lineHeight + p.fontMetrics().ascent(), fromRecordText(r.text));
    }
    p.end();
    return true;
  } catch (const std::exception& e) {
    ReportException(ws_, "Exception", e.what(), "\"EGPRN\"");
    return false;
  }
}

void TEgressoBrd::calendarClicked(int x, int y, bool& startDrag) {
  pull();
  logic_.CalendarClick(x, y, startDrag);
  push();
}

// A number chosen as a link is dialled.
void TEgressoBrd::dialRequested() {
  if (logic_.dialRequest.empty()) return;
  const std::string number = std::move(logic_.dialRequest);
  logic_.dialRequest.clear();
  RunPhoneDialer(ws_, true, number, this);
}

// Ctrl with the first letter of the calculator's caption opens it.
bool TEgressoBrd::isCalculatorKey(int key) const {
  const std::string caption = MessageText(ws_, 1499);
  const auto first = caption.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(caption[first])));
  return c >= 'A' && c <= 'Z' && key == Qt::Key_A + (c - 'A');
}

bool TEgressoBrd::keyDown(QObject* watched, QKeyEvent* k) {
  const FormField field = fieldOf(watched);
  const auto mods = k->modifiers();
  const bool ctrl = (mods & Qt::ControlModifier) != 0, alt = (mods & Qt::AltModifier) != 0;
  if ((ctrl || alt) && !CheckDataFolder(ws_)) return true;
  const int key = k->key();
  if (field == FormField::ReturnDate) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      focusNextChild();
      return true;
    }
    SmallCalendar::Key ck{};
    bool calendarKey = true;
    switch (key) {
      case Qt::Key_Left: ck = SmallCalendar::Key::Left; break;
      case Qt::Key_Right: ck = SmallCalendar::Key::Right; break;
      case Qt::Key_Up: ck = SmallCalendar::Key::Up; break;
      case Qt::Key_Down: ck = SmallCalendar::Key::Down; break;
      case Qt::Key_PageUp: ck = SmallCalendar::Key::PageUp; break;
      case Qt::Key_PageDown: ck = SmallCalendar::Key::PageDown; break;
      case Qt::Key_Home: ck = SmallCalendar::Key::Home; break;
      default: calendarKey = false;
    }
    if (calendarKey) {
      pull();
      if (logic_.CalendarKey(ck)) {
        push();
        returnDate_->selectAll();
        return true;
      }
      return false;
    }
  }
  if (key == Qt::Key_F5 && field == FormField::Location) {
    location_->insertPlainText(ToBox(logic_.Stamp()));
    return true;
  }
  if (key == Qt::Key_Delete && mods != Qt::ShiftModifier) logic_.DeletePressed(field);
  if (key == Qt::Key_Escape) {
    pull();
    const bool goesOn = logic_.Escape(field, location_->document()->isModified());
    if (goesOn) {
      push();
      if (field == FormField::Location) location_->document()->setModified(false);
    } else {
      finish();
    }
    return true;
  }
  if (ctrl && key == Qt::Key_S) {
    OKbtnClick();
    return true;
  }
  if (ctrl && key == Qt::Key_R && field == FormField::Location) {
    const QTextCursor c = location_->textCursor();
    pull();
    logic_.OpenLink(logic_.f.Location, c.position(), c.selectionStart(), c.selectionEnd() - c.selectionStart());
    dialRequested();
    return true;
  }
  if (ctrl && isCalculatorKey(key)) {
    // The calculator's total comes back through the clipboard, pasted
    // where the key was pressed when that was the text.
    if (RunCalculator(ws_, this) == CalcTotalInClipboard && field == FormField::Location && ws_.platform.clipboard)
      location_->insertPlainText(ToBox(ws_.platform.clipboard->text()));
    return true;
  }
  const QString text = k->text();
  if (!alt && text.size() == 1) {
    const QChar c = text.front();
    if ((c >= QChar('0') && c <= QChar('z')) || c == QChar('=') || c == QChar('-')) logic_.Typed();
  }
  return false;
}

void TEgressoBrd::focusField(QObject* watched) {
  const FormField field = fieldOf(watched);
  if (field == current_) return;
  // A click on Cancel does not leave the field: what was typed there is
  // checked when the focus goes on elsewhere, so that an unreadable time
  // never stands between the user and Cancel.
  if (field == FormField::CancelBtn) return;
  if (current_ != FormField::None) {
    const FormField leaving = current_;
    current_ = FormField::None;
    pull();
    const bool ok = logic_.Exit(leaving);
    push();
    if (!ok) {
      QWidget* back = widgetOf(logic_.f.focus) ? widgetOf(logic_.f.focus) : returnDate_;
      QTimer::singleShot(0, back, [back]() { back->setFocus(Qt::OtherFocusReason); });
      return;
    }
  }
  current_ = field;
  if (field == FormField::None) return;
  pull();
  logic_.Enter(field);
  push();
  if (field == FormField::Location) {
    location_->document()->setModified(false);
    const FormFields& f = logic_.f;
    if (f.locationSelStart >= 0) {
      const int size = static_cast<int>(location_->toPlainText().size());
      QTextCursor c = location_->textCursor();
      c.setPosition(std::min(f.locationSelStart, size));
      c.setPosition(std::min(f.locationSelStart + f.locationSelLength, size), QTextCursor::KeepAnchor);
      location_->setTextCursor(c);
    }
  } else if (auto* e = qobject_cast<QLineEdit*>(watched)) {
    QTimer::singleShot(0, e, [e]() { e->selectAll(); });
  }
}

bool TEgressoBrd::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (watched == location_->viewport() && type == QEvent::MouseButtonDblClick) {
    const QTextCursor c = location_->cursorForPosition(static_cast<QMouseEvent*>(event)->position().toPoint());
    pull();
    logic_.OpenLink(logic_.f.Location, c.position(), -1, 0);
    dialRequested();
    return true;
  }
  if (type == QEvent::KeyPress && !pushing_) {
    if (keyDown(watched, static_cast<QKeyEvent*>(event))) return true;
  } else if (type == QEvent::FocusIn && !pushing_ && !logic_.closed()) {
    // Whatever the reason the focus arrived (a click, a key, the window
    // becoming active), a different field means leaving the old one.
    focusField(watched);
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace egresso
