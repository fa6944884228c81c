#include "messages/beep_alert_qt.h"

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
  resize(g.width, g.height);
  move(g.left, g.top);
  Label1->setText(labelText(text));
  Timer->stop();
  // An interval of 1 keeps the note until it is closed otherwise.
  if (interval != 1) {
    Timer->setInterval(interval);
    Timer->start();
  }
  show();
}

int TBeepMssg::takeKeyAnswer() { return TakeBeepKeyAnswer(ws_.locks.beep); }

void TBeepMssg::TimerTimer() {
  if (BeepTimerTimer(ws_.locks.beep)) close();
}

void TBeepMssg::showEvent(QShowEvent* event) {
  BeepFormShow(ws_.locks.beep);
  Label1->setGeometry(rect());
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
  if (key && BeepFormKeyDown(ws_.locks.beep, key, event->modifiers() & Qt::ControlModifier)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TBeepMssg::resizeEvent(QResizeEvent* event) {
  Label1->setGeometry(rect());
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
