// The numbered notice texts (NOTICES.TXT), their lookup with placeholder
// expansion, the universal three-button dialog and the exception report.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace egresso {

struct Workstation;

class NoticeTable {
 public:
  std::vector<std::string> lines;  // line N-1 holds text N
  std::string Terms[5];            // user-defined term substitutions (configuration record)
};

// Text number n, expanded; never fails (a failing lookup is reported).
std::string MessageText(Workstation& ws, int number);

// Shows the dialog; returns 1..3 for the button pressed, 0 for Esc. A message
// beginning with "*" is a non-modal notice and returns 0 at once.
int UltimateDialog(Workstation& ws, std::string_view message, int captionKind, std::string_view button1,
                   std::string_view button2, std::string_view button3, int defaultButton);

// Beeps and shows the class name, message and the caller's tag.
void ReportException(Workstation& ws, std::string_view className, std::string_view message, std::string_view tag);

}  // namespace egresso
