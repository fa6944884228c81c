// The maintenance windows the board's menus open: the configuration dialog
// (Tools > Configuration) and file maintenance (Tools > Delete Tagged
// Messages, run by the board with both board locks held).
#pragma once

class QWidget;

namespace egresso {

struct Workstation;

void OpenConfiguration(Workstation& ws, QWidget* parent);
void OpenFileMaintenance(Workstation& ws, QWidget* parent);

}  // namespace egresso
