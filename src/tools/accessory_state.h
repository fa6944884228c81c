// Program-wide state of the accessories: the memo editor's request and the
// calculator's two memories, which live for the run of the program.
#pragma once

#include <optional>
#include <string>

namespace egresso {

// What the board asks of the memo editor before opening it.
struct EditorRequest {
  std::string Path;       // the memo file, at most 254 characters
  int EmployeeIndex = 0;  // slot 1..50 of the memo's employee
  int Mode = 0;           // 0 no memo, 1 edit, 2 view (read-only)
};

struct AccessoryState {
  EditorRequest Editor;
  std::optional<double> CalcMemory[2];  // Mem1, Mem2; empty until set
};

// A window's place on the screen.
struct ToolRect {
  int left = 0, top = 0, width = 0, height = 0;
};

}  // namespace egresso
