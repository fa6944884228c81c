#include "board/maintenance_menu_qt.h"

#include <QMenu>

#include "board/board_list.h"
#include "board/bulletin_qt.h"
#include "config/custom.h"
#include "config/custom_qt.h"
#include "core/workstation.h"
#include "messages/board_files.h"
#include "platform/text_qt.h"
#include "startup/notices.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_files.h"
#include "tools/file_maint.h"
#include "tools/file_maint_qt.h"

namespace egresso {

namespace {

void Rebuild(Workstation& ws, TBulBrd& board) {
  SelectBoardFiles(ws);
  BuildBoardList(ws);
  board.FillLists();
  board.DrawBoardHeading();
}

}  // namespace

void ToolsConfigurationClick(Workstation& ws, TBulBrd& board) {
  if (!CheckDataFolder(ws)) return;
  CustomDialog logic(ws);
  {
    TCustom dialog(ws, logic, &board);
    dialog.exec();
  }
  if (ws.ListMode == 1) Rebuild(ws, board);
}

void ToolsDeleteClick(Workstation& ws, TBulBrd& board) {
  if (!CheckDataFolder(ws)) return;
  const std::string main = ws.mcfg.mainUserInitials();
  if (!main.empty() && ws.ThisUser != main) {
    UltimateDialog(ws, MessageText(ws, 775) + " " + main, -1, "", "", MessageText(ws, 29), 3);
    return;
  }
  if (!AcquireLock(ws, "MEMOLK", "BBDL1")) return;
  if (!AcquireLock(ws, "LOCATELK", "BBDL2")) {
    ReleaseLock(ws, "MEMOLK");
    return;
  }
  const int listMode = ws.ListMode;
  const bool archive = ws.ArchiveView;
  {
    FileMaintDialog logic(ws);
    TFileMaint dialog(ws, logic, &board);
    dialog.exec();
  }
  ws.ListMode = listMode;
  ws.ArchiveView = archive;
  BoardTrace(ws, "ToolsDelete: ");
  Rebuild(ws, board);
  ReleaseLock(ws, "LOCATELK");
  ReleaseLock(ws, "MEMOLK");
}

void FileRestoreClick(Workstation& ws, TBulBrd& board, QMenu* menu) {
  menu->clear();
  for (int n = 0; n <= 4; ++n) {
    const std::string path = ws.paths.BackupFolder + "/CFGMAIN.BA" + std::to_string(n);
    const int day = FileDay(path);
    if (day == 0 || (n == 0 && day != ws.Today)) continue;
    QAction* item = menu->addAction(screenText(MessageText(ws, n == 0 ? 1864 : 1747) + FormatDay(ws, day)));
    item->setObjectName(QStringLiteral("FileRestore%1").arg(n));
    QObject::connect(item, &QAction::triggered, &board, [&ws, &board, n] {
      if (!CheckDataFolder(ws)) return;
      const int listMode = ws.ListMode;
      RunRestore(ws, n, &board);
      ws.ListMode = listMode;
      Rebuild(ws, board);
    });
  }
}

}  // namespace egresso
