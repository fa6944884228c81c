// The board's menu items that open the maintenance windows: Tools ▸
// Configuration, Tools ▸ Delete Tagged Messages and File ▸ Restore.
#pragma once

class QMenu;

namespace egresso {

struct Workstation;
class TBulBrd;

void ToolsConfigurationClick(Workstation& ws, TBulBrd& board);
void ToolsDeleteClick(Workstation& ws, TBulBrd& board);
// Fills the Restore submenu with the configuration backups there are.
void FileRestoreClick(Workstation& ws, TBulBrd& board, QMenu* menu);

}  // namespace egresso
