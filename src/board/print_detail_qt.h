// Print Detail on a printer or into a PDF file: the pages of
// board/print_detail.h drawn with the board's printed heading.
#pragma once

#include <string>
#include <vector>

class QPagedPaintDevice;

namespace egresso {

struct Workstation;

// Prints the lines (in the records' code page) portrait on the printer;
// false when the printer cannot be drawn on.
bool PrintBoardLines(Workstation& ws, QPagedPaintDevice& printer, const std::vector<std::string>& lines);

}  // namespace egresso
