// State of the board window and of the board record buffer.
#pragma once

namespace egresso {

struct BoardState {
};

}  // namespace egresso
