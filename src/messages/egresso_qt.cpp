// Placeholder window; replaced by the full sign out and message form.
#include "messages/egresso_qt.h"

#include "core/workstation.h"

namespace egresso {

TEgressoBrd::TEgressoBrd(Workstation& ws, QWidget* parent) : QDialog(parent), ws_(ws) {
  setWindowTitle(QString::fromStdString(ws_.paths.ProductTitle.empty() ? "Egresso" : ws_.paths.ProductTitle));
  resize(480, 360);
}

}  // namespace egresso
