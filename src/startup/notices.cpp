// Placeholder bodies; replaced by the notice table and dialog logic.
#include "startup/notices.h"

#include "startup/workstation.h"

namespace egresso {

std::string MessageText(Workstation& ws, int number) {
  if (number >= 1 && static_cast<std::size_t>(number) <= ws.notices.lines.size()) return ws.notices.lines[number - 1];
  return {};
}

int UltimateDialog(Workstation& ws, std::string_view message, int captionKind, std::string_view button1,
                   std::string_view button2, std::string_view button3, int defaultButton) {
  DialogRequest r{std::string(message), captionKind, std::string(button1), std::string(button2), std::string(button3),
                  defaultButton};
  return ws.platform.dialogs->ultimateDialog(r);
}

void ReportException(Workstation& ws, std::string_view className, std::string_view message, std::string_view tag) {
  ws.platform.dialogs->beep();
  ws.platform.dialogs->messageBox("Exception Error: " + std::string(className) + "\r\n\n" + std::string(message) +
                                      "\r\n\n" + std::string(tag).substr(0, 80) + "\r\n\n",
                                  BoxKind::Information);
}

}  // namespace egresso
