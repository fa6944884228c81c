#include "startup/notices.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/record_io.h"
#include "storage/text.h"

namespace egresso {
namespace {

constexpr std::size_t kMaxText = 254;
constexpr std::size_t kDirectRecord = 91;  // a length byte and up to 90 characters

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(s.size(), n))); }

// File names in the program folder are matched without regard to case, as
// on the systems the product's data files come from.
std::filesystem::path findIgnoringCase(const std::filesystem::path& wanted) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(wanted, ec)) return wanted;
  auto folder = wanted.parent_path();
  if (folder.empty()) folder = ".";
  std::string name = UpperText(wanted.filename().string());
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (UpperText(it->path().filename().string()) == name && it->is_regular_file(ec)) return it->path();
  }
  return {};
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = next;
  }
  return lines;
}

std::string trimBlanks(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  return std::string(s.substr(b, s.find_last_not_of(' ') - b + 1));
}

std::vector<std::string> splitTerms(std::string_view text) {
  std::vector<std::string> terms;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    terms.push_back(
        trimBlanks(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return terms;
}

std::string rawLine(const NoticeTable& t, int number) {
  return number >= 1 && static_cast<std::size_t>(number) <= t.lines.size() ? t.lines[number - 1] : std::string();
}

// Direct-read mode: text N is record N-1 of the notice file. An I/O failure
// leaves the text empty.
std::string readDirect(const Workstation& ws, int number) {
  if (number < 1) return {};
  RecordFile f;
  if (f.open(ws.paths.NoticesPath, kDirectRecord, RecordFile::Mode::ReadOnly) != io::Ok) return {};
  std::array<std::uint8_t, kDirectRecord> rec{};
  if (f.read(number - 1, rec) != io::Ok) return {};
  return getPString(rec, 0, kDirectRecord - 1);
}

}  // namespace

bool LoadNotices(Workstation& ws) {
  auto path = findIgnoringCase(ws.paths.NoticesPath);
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return false;
  std::string text = buf.str();
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  // A file with no text in it (empty, or only blanks and line ends) holds no
  // notices: taken for missing rather than as thousands of blank texts.
  if (text.find_first_not_of(" \t\r\n\x1A") == std::string::npos) return false;
  if (isValidUtf8(text)) text = utf8ToCp1252(text);

  NoticeTable& t = ws.notices;
  t.lines = splitLines(text);
  for (int i = 0; i < 2; ++i) t.ShortWords[i] = cut(trimBlanks(rawLine(t, 1282 + i)), 12);
  t.StartupTerms = splitTerms(rawLine(t, 204));
  return true;
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
    raw = readDirect(ws, number);
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
