#include "text/notices.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>

#include "core/workstation.h"
#include "platform/codepage.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

constexpr std::size_t kMaxText = 254;

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(s.size(), n))); }

// Direct-read mode: text N is line N of the notice file, read again at each
// request, so that a file changed while the program runs shows at once. The
// file is read only as far as that line. A line that is UTF-8 is taken as
// such, else as Windows-1252 (a Windows-1252 text is almost never valid
// UTF-8). A file or line that cannot be read gives nothing.
std::optional<std::string> readDirect(const std::string& path, int number) {
  if (number < 1) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string text;
  std::size_t start = 0;  // where line `line` begins in text
  int line = 1;
  bool atEnd = false;
  char chunk[8192];
  for (;;) {
    for (std::size_t end; line < number && (end = text.find('\n', start)) != std::string::npos; ++line) start = end + 1;
    if (line == number && text.find('\n', start) != std::string::npos) break;
    if (atEnd) break;
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) atEnd = true;
    else text.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (number == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) start = 3;
  if (line < number || start >= text.size()) return std::nullopt;
  std::size_t stop = text.find('\n', start);
  if (stop == std::string::npos) stop = text.size();
  if (stop > start && text[stop - 1] == '\r') --stop;
  std::string found = text.substr(start, stop - start);
  const bool ascii = std::all_of(found.begin(), found.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && isValidUtf8(found)) found = utf8ToCp1252(found);
  return found;
}

constexpr int kFirstBuiltIn = 2069;
constexpr const char* kBuiltIn[] = {
    "The file \"",  // 2069
    "\" could not be read or written: ",  // 2070
    "read-only file system",  // 2071
    "permission denied",  // 2072
    "no such file or folder",  // 2073
    "input/output error",  // 2074
    "no space left on the disk",  // 2075
    "The data folder is read-only. Ask whoever looks after it to make it writable again; until then nothing can be saved.",  // 2076
    "Ask whoever looks after the data folder to give your account write access to it.",  // 2077
    "Check that the network drive is connected and the data folder is there, then try again.",  // 2078
    "Check the network connection and try again; if it keeps failing, tell whoever looks after the data folder.",  // 2079
    "Make room on the disk of the data folder, then try again.",  // 2080
    "Not done: ",  // 2081
    "the change to the in/out board was not saved",  // 2082
    "the message was not saved",  // 2083
    "the line of the in/out journal was not written",  // 2084
    "the change was not saved",  // 2085
    "The data folder cannot be reached. The lists show what was last read; they come back by themselves when the folder is back.",  // 2086
    "The data folder is read-only: nothing can be saved until it is writable again.",  // 2087
    "read-only folder (permission denied)",  // 2088
    "not a plain file (a link, a folder or a device stands in its place); it was left alone",  // 2089
    "Ask whoever looks after the data folder to remove what stands in the file's place.",  // 2090
    "New message for ",  // 2091
    "The notice file NOTICES.TXT is older than this program: the texts it lacks are shown as the program has them.",  // 2092
    "Someone else changed the announcement after you began. Save yours in place of theirs? (No shows theirs.)",  // 2093
    "Keep waiting",  // 2094
    "Give up",  // 2095
    "Free the lock",  // 2096
    "in use on another workstation, and the file server lets nobody replace or delete it meanwhile",  // 2097
    "Try again in a moment. A purge or restore that stopped here is finished whole by the next workstation that takes its locks; nobody reads its files until then.",  // 2098
    "Not done: another workstation freed the locks of this maintenance run while it worked, so nothing was changed. Start it again.",  // 2099
    "This lock cannot be freed from here: the workstation that holds it keeps its lock file open on the file server, which lets nobody delete it. That workstation has been asked to let go; if it does not, close the program there.",  // 2100
};
constexpr int kLastBuiltIn = kFirstBuiltIn + static_cast<int>(std::size(kBuiltIn)) - 1;

}  // namespace

std::string_view BuiltInNotice(int number) {
  if (number < kFirstBuiltIn || number > kLastBuiltIn) return {};
  return kBuiltIn[number - kFirstBuiltIn];
}

bool NoticesOlderThanProgram(const NoticeTable& table) {
  return table.lines.size() < static_cast<std::size_t>(kLastBuiltIn);
}

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
    raw = readDirect(ws.paths.NoticesPath, number).value_or(std::string(BuiltInNotice(number)));
  } else if (number >= 1 && static_cast<std::size_t>(number) <= ws.notices.lines.size()) {
    raw = ws.notices.lines[number - 1];
  } else if (const std::string_view own = BuiltInNotice(number); !own.empty()) {
    raw = own;
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
