// Placeholder bodies; replaced by the full new-record values.
#include "config/records_init.h"

#include "startup/workstation.h"

namespace egresso {

void InitMainConfig(Workstation& ws) {
  bool trace = ws.mcfg.flag(mcfg::TraceLog);
  ws.mcfg.clear();
  ws.mcfg.setU8(mcfg::BoardTimerSeconds, 4);
  ws.mcfg.setU8(mcfg::TraceLog, trace ? 1 : 0);
}
void InitPersonalConfig(Workstation& ws) { ws.pcfg.clear(); }

}  // namespace egresso
