// Lock-protocol state, trace-file and configuration-storage state of one workstation.
#pragma once

namespace egresso {

struct LockState {
};

}  // namespace egresso
