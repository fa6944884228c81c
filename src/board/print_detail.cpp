#include "board/print_detail.h"

#include "board/board_list.h"
#include "core/workstation.h"
#include "text/notices.h"

namespace egresso {

std::vector<std::vector<std::string>> PrintDetailPages(const std::vector<std::string>& lines) {
  std::vector<std::vector<std::string>> pages;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i % kPrintLinesPerPage == 0) pages.emplace_back();
    pages.back().push_back(lines[i].substr(0, kPrintLineWidth));
  }
  return pages;
}

PrintHeading PrintDetailHeading(Workstation& ws, int pageNumber) {
  PrintHeading h;
  h.page = MessageText(ws, 725) + " " + std::to_string(pageNumber);
  const int title = ws.ListMode == 1 ? 1397 : (ws.ArchiveView ? 1456 : 1382);
  h.title = MessageText(ws, title);
  if (ws.ListMode == 0 && ws.UserSlot >= 1 && ws.UserSlot <= 50) {
    const std::string initials = ws.mcfg.empInitials(ws.UserSlot);
    if (!initials.empty()) h.userLine = " " + MessageText(ws, 32) + " " + initials;
  }
  h.columns = MessageText(ws, HeadingNotice(ws));
  return h;
}

}  // namespace egresso
