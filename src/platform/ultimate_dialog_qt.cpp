#include "platform/ultimate_dialog_qt.h"

#include <algorithm>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "platform/text_qt.h"

namespace egresso {
QFont TUltimateDialog::fontFor(const DialogFont& font) {
  if (font.system) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setBold(true);
    return f;
  }
  QFont f(QStringLiteral("Arial"));
  if (font.pointSize > 0) {
    f.setPointSize(font.pointSize);
  } else {
    f.setPixelSize(13);
  }
  return f;
}

int QtDialogMetrics::textWidth(const std::string& text, const DialogFont& font) {
  return QFontMetrics(TUltimateDialog::fontFor(font)).horizontalAdvance(screenText(text));
}

int QtDialogMetrics::wrappedHeight(const std::string& text, int width, const DialogFont& font) {
  QFontMetrics fm(TUltimateDialog::fontFor(font));
  QRect r = fm.boundingRect(QRect(0, 0, std::max(width, 1), 100000), Qt::TextWordWrap, screenText(text));
  return std::max(r.height(), fm.height());
}

TUltimateDialog::TUltimateDialog(const DialogLayout& layout, const std::string& caption,
                                 const std::string (&buttons)[3], int nonClient, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(screenText(caption));
  QFont font = fontFor(layout.font);
  setFont(font);

  label_ = new QLabel(this);
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setText(screenText(layout.labelText));
  label_->setGeometry(layout.label.left, layout.label.top, layout.label.width, layout.label.height);

  for (int i = 0; i < 3; ++i) {
    auto* b = new QPushButton(screenText(buttons[i]), this);
    const DialogRect& r = layout.buttons[i];
    b->setGeometry(r.left, r.top, r.width, r.height);
    b->setVisible(layout.visible[i]);
    b->setAutoDefault(true);
    connect(b, &QPushButton::clicked, this, [this, i] { done(i + 1); });
    buttons_[i] = b;
  }
  if (layout.focusButton >= 1) {
    QPushButton* def = buttons_[layout.focusButton - 1];
    def->setDefault(true);
    def->setFocus(Qt::OtherFocusReason);
  }

  if (layout.notice) {
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::red);
    setPalette(p);
    setAutoFillBackground(true);
  }
  setFixedSize(layout.width, std::max(layout.height - nonClient, 20));
  move(layout.left, layout.top);
}

void TUltimateDialog::addDetail(const std::string& text) {
  if (!detail_) {
    detail_ = new QLabel(this);
    detail_->setTextFormat(Qt::PlainText);
    detail_->setWordWrap(true);
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = font();
    if (small.pixelSize() > 0)
      small.setPixelSize(std::max(8, small.pixelSize() * 4 / 5));
    else
      small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    detail_->setFont(small);
    QPalette p = detail_->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
    detail_->setPalette(p);
  }
  detail_->setText(screenText(text));
  const int width = label_->width();
  const int height = detail_->heightForWidth(width) > 0 ? detail_->heightForWidth(width) : detail_->sizeHint().height();
  // Below the message and above the buttons: the buttons move down by the
  // room the line takes.
  const int top = label_->geometry().bottom() + 4;
  detail_->setGeometry(label_->x(), top, width, height);
  const int room = height + 6;
  for (QPushButton* b : buttons_)
    if (b->geometry().top() >= top - 4) b->move(b->x(), b->y() + room);
  setFixedSize(this->width(), this->height() + room);
}

}  // namespace egresso
