// State of the invisible host window: tray icon, flashing, notification check, daily trigger.
#pragma once

namespace egresso {

struct HostState {
};

}  // namespace egresso
