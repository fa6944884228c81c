#include "core/waiting.h"

#include <chrono>
#include <thread>

#include "core/workstation.h"
#include "storage/locks.h"

namespace egresso {

WaitScope::WaitScope(Workstation& ws) : ws_(ws) { ++ws_.WaitDepth; }

WaitScope::~WaitScope() { --ws_.WaitDepth; }

bool CommandInProgress(const Workstation& ws) { return ws.WaitDepth > 0 || !ws.locks.Taken.empty(); }

void PauseMs(Workstation& ws, int ms) {
  WaitScope waiting(ws);
  // The locks this workstation holds stay fresh through its waits, and a
  // break asked for by another workstation is answered here.
  KeepHeldLocks(ws);
  if (ws.platform.events)
    ws.platform.events->sleepMs(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace egresso
