// Placeholder window; replaced by the full board.
#include "board/bulletin_qt.h"

#include "startup/workstation.h"

namespace egresso {

TBulBrd::TBulBrd(Workstation& ws, QWidget* parent) : QMainWindow(parent), ws_(ws) {
  setWindowTitle(QString::fromStdString(ws.paths.ProductTitle.empty() ? "Egresso" : ws.paths.ProductTitle));
  resize(644, 484);
}

void TBulBrd::SwitchClick() { ws_.ListMode = ws_.ListMode == 1 ? 0 : 1; }

}  // namespace egresso
