// Print Detail: the board's lines on portrait pages, 47 lines a page, each
// page under the board's printed heading.
#pragma once

#include <string>
#include <vector>

namespace egresso {

struct Workstation;

inline constexpr int kPrintLinesPerPage = 47;
inline constexpr std::size_t kPrintLineWidth = 80;
// Where the lines stand, as fractions of the page height: the first line,
// and the step from one line to the next.
inline constexpr double kPrintFirstLine = 1.0 / 7.53;
inline constexpr double kPrintLineStep = 1.0 / 54.0;

// The lines cut to their first 80 characters, split into pages.
std::vector<std::vector<std::string>> PrintDetailPages(const std::vector<std::string>& lines);

// The texts of the printed heading of one page.
struct PrintHeading {
  std::string page;     // "Page 2"
  std::string title;    // the board, the archive or the messages
  std::string userLine; // messages: for whom; empty otherwise
  std::string columns;  // the column headings
};
PrintHeading PrintDetailHeading(Workstation& ws, int pageNumber);

}  // namespace egresso
