#include "messages/beep_alert_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "platform/codepage.h"
#include "text/notices.h"
#include "core/workstation.h"

namespace egresso {

namespace {

QString fromCp1252(std::string_view text) { return QString::fromStdString(cp1252ToUtf8(text)); }

// Texts carry Windows line breaks; the label wants plain newlines.
constexpr int kButtonRow = 30;
constexpr int kButtonsWidth = 276;

QString labelText(std::string_view text) {
  QString s = fromCp1252(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

}  // namespace

TBeepMssg::TBeepMssg(Workstation& ws, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowDoesNotAcceptFocus), ws_(ws) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFont(QFont(QStringLiteral("Arial")));
  resize(148, 48);
  Label1 = new QLabel(this);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  Label1->setFocusPolicy(Qt::NoFocus);
  Timer = new QTimer(this);
  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, &TBeepMssg::TimerTimer);
  // Buttons take no focus from the board either: a click answers, a key
  // typed at the board still goes to the board.
  auto button = [this](int notice) {
    auto* b = new QPushButton(fromCp1252(MessageText(ws_, notice)), this);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    return b;
  };
  KeepWaiting = button(kNoticeKeepWaiting);
  GiveUp = button(kNoticeGiveUp);
  FreeLock = button(kNoticeFreeLock);
  // Keep waiting puts the note away; the next look at the lock shows it again.
  connect(KeepWaiting, &QPushButton::clicked, this, [this] { close(); });
  connect(GiveUp, &QPushButton::clicked, this, [this] { answer(kBeepKeyEsc, false); });
  connect(FreeLock, &QPushButton::clicked, this, [this] { answer(kBeepVirtualF, true); });
}

void TBeepMssg::answer(int key, bool ctrl) {
  if (BeepFormKeyDown(ws_.locks.beep, key, ctrl)) close();
}

bool TBeepMssg::aloneOnScreen() const {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && !w->isMinimized() && !(w->windowFlags() & Qt::WindowDoesNotAcceptFocus) &&
        w->windowType() != Qt::ToolTip && w->windowType() != Qt::Popup)
      return false;
  return true;
}

void TBeepMssg::placeControls() {
  const int textHeight = std::max(0, height() - kButtonRow);
  Label1->setGeometry(0, 0, width(), textHeight);
  const int each = (width() - 8) / 3;
  int x = 2;
  for (QPushButton* b : {KeepWaiting, GiveUp, FreeLock}) {
    b->setGeometry(x, textHeight + 2, each, kButtonRow - 6);
    x += each + 2;
  }
}

QRect TBeepMssg::referenceArea() const {
  if (reference_.isValid()) return reference_;
  if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->availableGeometry();
  return QRect(0, 0, 640, 480);
}

void TBeepMssg::Flash(std::string_view text, int interval) {
  BeepState& state = ws_.locks.beep;
  text = text.substr(0, kBeepTextMax);
  if (!egresso::Flash(state, text, interval)) return;
  const std::string caption = MessageText(ws_, 18);
  setWindowTitle(fromCp1252(caption));
  QRect area = referenceArea();
  FlashGeometry g = FlashGeometryFor(text, caption, AlertArea{area.left(), area.top(), area.width(), area.height()});
  // The text keeps its own room; the buttons go below it.
  const int width = std::max(g.width, kButtonsWidth);
  resize(width, g.height + kButtonRow);
  move(g.left - (width - g.width) / 2, g.top - kButtonRow / 2);
  Label1->setText(labelText(text));
  // Alone, the note takes the keys: otherwise Esc and Ctrl+F reach nothing.
  const bool alone = aloneOnScreen();
  if (alone == testAttribute(Qt::WA_ShowWithoutActivating)) {
    const bool shown = isVisible();
    if (shown) hide();
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, !alone);
    setAttribute(Qt::WA_ShowWithoutActivating, !alone);
    setFocusPolicy(alone ? Qt::StrongFocus : Qt::NoFocus);
  }
  Timer->stop();
  // An interval of 1 keeps the note until it is closed otherwise.
  if (interval != 1) {
    Timer->setInterval(interval);
    Timer->start();
  }
  show();
  if (alone) {
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
  }
}

int TBeepMssg::takeKeyAnswer() { return TakeBeepKeyAnswer(ws_.locks.beep); }

void TBeepMssg::TimerTimer() {
  if (BeepTimerTimer(ws_.locks.beep)) close();
}

void TBeepMssg::showEvent(QShowEvent* event) {
  BeepFormShow(ws_.locks.beep);
  placeControls();
  QWidget::showEvent(event);
}

void TBeepMssg::hideEvent(QHideEvent* event) {
  // However the note went away, a new one may be shown.
  Timer->stop();
  BeepFormClosed(ws_.locks.beep);
  QWidget::hideEvent(event);
}

void TBeepMssg::keyPressEvent(QKeyEvent* event) {
  int key = 0;
  if (event->key() == Qt::Key_Escape)
    key = kBeepKeyEsc;
  else if (event->key() == Qt::Key_F)
    key = kBeepVirtualF;
  if (key) {
    answer(key, event->modifiers() & Qt::ControlModifier);
    return;
  }
  QWidget::keyPressEvent(event);
}

void TBeepMssg::resizeEvent(QResizeEvent* event) {
  placeControls();
  QWidget::resizeEvent(event);
}

OnDemandBeepMssg::~OnDemandBeepMssg() = default;

int OnDemandBeepMssg::takeKeyAnswer() { return TakeBeepKeyAnswer(ws_.locks.beep); }

TBeepMssg& OnDemandBeepMssg::form() {
  if (!form_) form_ = std::make_unique<TBeepMssg>(ws_);
  return *form_;
}

TPopMessage::TPopMessage(QWidget* parent) : QWidget(parent, Qt::Tool) {}

}  // namespace egresso
