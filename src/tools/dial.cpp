#include "tools/dial.h"

#include "core/workstation.h"
#include "storage/config_store.h"

namespace egresso {

bool FindModemPort(Workstation& ws, int port) {
  if (!ws.platform.serial) return false;
  const int first = port >= 1 && port <= 4 ? port : 1;
  const int last = port >= 1 && port <= 4 ? port : 4;
  for (int p = first; p <= last; ++p) {
    if (!ws.platform.serial->clearToSend(p)) continue;
    ws.pcfg.setU8(pcfg::ModemPort, static_cast<std::uint8_t>('0' + p));
    if (ws.paths.AltDataFolder.empty() || !ws.options.NormalDataPresent) WritePersonalConfig(ws);
    return true;
  }
  return false;
}

}  // namespace egresso
