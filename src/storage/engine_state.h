// Buffers and flags of the record-file engine (calendar and client sets).
#pragma once

namespace egresso {

struct EngineState {
};

}  // namespace egresso
