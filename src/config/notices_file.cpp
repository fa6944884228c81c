#include "config/notices_file.h"

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <memory>

#include "core/workstation.h"
#include "platform/codepage.h"
#include "text/fixed_width.h"

namespace egresso {
namespace {

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
  lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text, start, stop - start);
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


}  // namespace

bool LoadNotices(Workstation& ws) {
  auto path = findIgnoringCase(ws.paths.NoticesPath);
  if (path.empty()) return false;
  // Read at start-up by every program: plain stdio, without the set-up of
  // a stream.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) return false;
  std::string text;
  char chunk[16384];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;) text.append(chunk, n);
  if (std::ferror(in.get())) return false;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  // A file with no text in it (empty, or only blanks and line ends) holds no
  // notices: taken for missing rather than as thousands of blank texts.
  if (text.find_first_not_of(" \t\r\n\x1A") == std::string::npos) return false;
  // Plain ASCII reads the same in either code page.
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii && isValidUtf8(text)) text = utf8ToCp1252(text);

  NoticeTable& t = ws.notices;
  t.lines = splitLines(text);
  for (int i = 0; i < 2; ++i) t.ShortWords[i] = cut(trimBlanks(rawLine(t, 1282 + i)), 12);
  t.StartupTerms = splitTerms(rawLine(t, 204));
  return true;
}

}  // namespace egresso
