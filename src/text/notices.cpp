#include "text/notices.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "core/workstation.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

constexpr std::size_t kMaxText = 254;

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(s.size(), n))); }

// Direct-read mode: text N is record N-1 of the notice file, a length byte
// and up to 90 characters. A file that cannot be read leaves the text empty.
std::string readDirect(const std::string& path, int number) {
  constexpr std::size_t kDirectRecord = 91;
  if (number < 1) return {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  unsigned char rec[kDirectRecord];
  const ssize_t got = ::pread(fd, rec, sizeof rec, static_cast<off_t>(number - 1) * static_cast<off_t>(kDirectRecord));
  ::close(fd);
  if (got != static_cast<ssize_t>(kDirectRecord)) return {};
  return std::string(reinterpret_cast<const char*>(rec + 1), std::min<std::size_t>(rec[0], kDirectRecord - 1));
}

}  // namespace

std::string NoticesMissingText(std::string_view programFolder) {
  return "Because the " + std::string(programFolder) +
         "/NOTICES.TXT file is missing, this program will abort.  "
         "Always start this program from the shorcut created during setup.";
}

std::string ExpandNotice(const NoticeTable& t, std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char c : raw) {
    switch (static_cast<unsigned char>(c)) {
      case 3: out += cut(t.ShortWords[t.UseSecondShortWord ? 1 : 0], 15); break;
      case 5: out += t.Terms[1]; break;
      case 16: out += t.Terms[0]; break;
      case 17: {
        // Right-aligns a term of up to ten characters in a ten-wide column.
        int n = static_cast<int>(t.Terms[0].size());
        out += std::string(static_cast<std::size_t>(std::abs(10 - n)), ' ') + TrimText(t.Terms[0]);
        break;
      }
      case 18: out += PadText(TrimText(t.Terms[0]), 7); break;
      case 19: out += t.StartupTerms.size() >= 9 ? t.StartupTerms[8] : std::string(); break;
      case 24: out += t.Terms[3]; break;
      default: out += c;
    }
    if (out.size() >= kMaxText) break;
  }
  return cut(out, kMaxText);
}

std::string MessageText(Workstation& ws, int number) {
  std::string raw;
  if (ws.options.NoticesFromFile) {
    raw = readDirect(ws.paths.NoticesPath, number);
  } else if (number >= 1 && static_cast<std::size_t>(number) <= ws.notices.lines.size()) {
    raw = ws.notices.lines[number - 1];
  } else {
    const std::string className = "EStringListError";
    ReportException(ws, className, "List index out of bounds (" + std::to_string(number - 1) + ")", "\"EMF\"");
    raw = " " + className + " ";
  }
  return ExpandNotice(ws.notices, raw);
}

std::string DialogCaption(Workstation& ws, int captionKind) {
  static constexpr int kCaptions[] = {1984, 1726, 2062, 2061};
  if (captionKind < 0 || captionKind > 3) return {};
  return MessageText(ws, kCaptions[captionKind]);
}

DialogRequest MakeDialogRequest(std::string_view message, int captionKind, std::string_view button1,
                                std::string_view button2, std::string_view button3, int defaultButton) {
  DialogRequest r;
  r.message = cut(message, kMaxText);
  r.captionKind = captionKind;
  r.button1 = cut(button1, 12);
  r.button2 = cut(button2, 12);
  r.button3 = cut(button3, 12);
  r.defaultButton = defaultButton;
  return r;
}

int UltimateDialog(Workstation& ws, std::string_view message, int captionKind, std::string_view button1,
                   std::string_view button2, std::string_view button3, int defaultButton) {
  DialogRequest r = MakeDialogRequest(message, captionKind, button1, button2, button3, defaultButton);
  int result = ws.platform.dialogs->ultimateDialog(r);
  if (!r.message.empty() && r.message[0] == '*') return 0;
  return result >= 0 && result <= 3 ? result : 0;
}

void ReportException(Workstation& ws, std::string_view className, std::string_view message, std::string_view tag) {
  ws.platform.dialogs->beep();
  ws.platform.dialogs->messageBox("Exception Error: " + std::string(className) + "\r\n\n" + std::string(message) +
                                      "\r\n\n" + cut(tag, 80) + "\r\n\n",
                                  BoxKind::Information);
}

HelpCommand TranslateHelpRequest(HelpRequestKind kind) {
  switch (kind) {
    case HelpRequestKind::Context:
    case HelpRequestKind::ContextPopup: return HelpCommand::Context;
    case HelpRequestKind::Keyword: return HelpCommand::Keyword;
    case HelpRequestKind::Quit: return HelpCommand::Quit;
    default: return HelpCommand::Topic;
  }
}

void ApplicationHelp(Workstation& ws, HelpRequestKind kind, int context, std::string_view keyword) {
  if (ws.platform.help) ws.platform.help->request(TranslateHelpRequest(kind), context, keyword);
}

}  // namespace egresso
