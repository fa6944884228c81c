// The lock-wait note TBeepMssg: a small window that shows a short text for
// a while, and can be answered with Esc (give up) or Ctrl+F (break the
// lock), or with its buttons. It takes no focus from another window of the
// program; when none is shown (at start-up, after the board closed at
// exit) it takes the keys itself, or nothing could answer it. Also the alert
// form TPopMessage, which this program never shows.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "messages/beep_alert.h"
#include "platform/services.h"

namespace egresso {

struct Workstation;

class TBeepMssg : public QWidget, public LockAlert {
  Q_OBJECT
 public:
  explicit TBeepMssg(Workstation& ws, QWidget* parent = nullptr);

  // The area the note is placed on; by default the screen's available geometry.
  void setReferenceArea(const QRect& area) { reference_ = area; }
  QRect referenceArea() const;

  void Flash(std::string_view text, int interval);

  // LockAlert
  void flash(std::string_view text, int intervalMs) override { Flash(text, intervalMs); }
  int takeKeyAnswer() override;

  QLabel* Label1 = nullptr;
  QTimer* Timer = nullptr;
  QPushButton* KeepWaiting = nullptr;
  QPushButton* GiveUp = nullptr;
  QPushButton* FreeLock = nullptr;

 public slots:
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Answers as the key would (kBeepKeyEsc, or kBeepVirtualF with Ctrl).
  void answer(int key, bool ctrl);
  // No other window of the program could take the keys.
  bool aloneOnScreen() const;
  void placeControls();

  Workstation& ws_;
  QRect reference_;
};

// The lock-wait alert the program hands to its workstation: the note
// window is made when a wait first shows it, since most runs never wait.
// A key answer needs no window (the note's state keeps it).
class OnDemandBeepMssg : public LockAlert {
 public:
  explicit OnDemandBeepMssg(Workstation& ws) : ws_(ws) {}
  ~OnDemandBeepMssg() override;

  void flash(std::string_view text, int intervalMs) override { form().Flash(text, intervalMs); }
  int takeKeyAnswer() override;

  // The note window, made now if it was not yet.
  TBeepMssg& form();
  bool formMade() const { return form_ != nullptr; }

 private:
  Workstation& ws_;
  std::unique_ptr<TBeepMssg> form_;
};

class TPopMessage : public QWidget {
  Q_OBJECT
 public:
  explicit TPopMessage(QWidget* parent = nullptr);
};

}  // namespace egresso
