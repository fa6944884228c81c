#include "board/maintenance_menu_qt.h"

#include "config/custom.h"
#include "config/custom_qt.h"
#include "tools/file_maint.h"
#include "tools/file_maint_qt.h"

namespace egresso {

void OpenConfiguration(Workstation& ws, QWidget* parent) {
  CustomDialog logic(ws);
  TCustom dialog(ws, logic, parent);
  dialog.exec();
}

void OpenFileMaintenance(Workstation& ws, QWidget* parent) {
  FileMaintDialog logic(ws);
  TFileMaint dialog(ws, logic, parent);
  dialog.exec();
}

}  // namespace egresso
