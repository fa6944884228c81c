// The sign out and message form.
#pragma once

#include <QDialog>

namespace egresso {

struct Workstation;

class TEgressoBrd : public QDialog {
  Q_OBJECT
 public:
  explicit TEgressoBrd(Workstation& ws, QWidget* parent = nullptr);

 private:
  Workstation& ws_;
};

}  // namespace egresso
