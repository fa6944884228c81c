// The board: the program's main window.
#pragma once

#include <QMainWindow>

namespace egresso {

struct Workstation;

class TBulBrd : public QMainWindow {
  Q_OBJECT
 public:
  explicit TBulBrd(Workstation& ws, QWidget* parent = nullptr);
  // Switches between the in/out board and the message list.
  void SwitchClick();

 private:
  Workstation& ws_;
};

}  // namespace egresso
