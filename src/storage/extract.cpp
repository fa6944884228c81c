#include "storage/extract.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "core/workstation.h"
#include "platform/codepage.h"
#include "storage/file_ops.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr int kNoticeOk = 29;
constexpr int kNoticeLinkRefused = 1930;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' '; }

std::string Trimmed(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return std::string(s.substr(a, b - a));
}

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

std::string Lower(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return u;
}

std::string TwoDigits(int v) {
  std::string s = std::to_string(v % 100);
  return s.size() < 2 ? "0" + s : s;
}

bool InRanges(unsigned char c, bool leading) {
  return (c >= 33 && c <= (leading ? 47 : 46)) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
         (c >= 123 && c <= 126);
}

// Characters an address handed to the desktop may hold: printable ASCII
// without blanks, quotes, angle brackets and the like that could end or
// bend the address.
bool PlainUrlText(std::string_view s) {
  for (unsigned char c : s) {
    if (c <= 32 || c >= 127) return false;
    if (std::string_view("\"<>\\^`{|}'").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  return !s.empty();
}

bool PlainMailAddress(std::string_view a) {
  const std::size_t at = a.find('@');
  if (at == std::string_view::npos || at == 0 || a.find('@', at + 1) != std::string_view::npos) return false;
  const std::string_view local = a.substr(0, at), domain = a.substr(at + 1);
  for (unsigned char c : local)
    if (!std::isalnum(c) && std::string_view("._%+-").find(static_cast<char>(c)) == std::string_view::npos) return false;
  for (unsigned char c : domain)
    if (!std::isalnum(c) && c != '.' && c != '-') return false;
  return domain.find('.') != std::string_view::npos && domain.front() != '.' && domain.back() != '.';
}

// Kinds of file the desktop runs, or hands to an interpreter, instead of
// showing them.
bool RunnableExtension(const std::filesystem::path& p) {
  static constexpr std::array<std::string_view, 44> kinds = {
      ".desktop", ".sh",  ".bash", ".csh", ".zsh",     ".ksh", ".fish", ".py",  ".pyc", ".pyw", ".pl",
      ".rb",      ".php", ".jar",  ".exe", ".com",     ".bat", ".cmd",  ".msi", ".scr", ".ps1", ".vbs",
      ".vbe",     ".js",  ".jse",  ".wsf", ".appimage", ".run", ".bin", ".so",  ".deb", ".rpm", ".flatpakref",
      ".lnk",     ".url", ".command", ".app", ".reg", ".hta", ".cpl", ".pif", ".elf", ".ko", ".service"};
  const std::string ext = Lower(p.extension().string());
  return std::find(kinds.begin(), kinds.end(), ext) != kinds.end();
}

// A script or a program whatever its name says. Looked at through the same
// open as the data folder's files (no link, no FIFO, no wait); what cannot
// be looked at counts as a program and is not opened.
bool StartsLikeProgram(const std::filesystem::path& p) {
  const int fd = OpenPlainFile(p.c_str(), O_RDONLY, 0);
  if (fd < 0) return true;
  char head[4] = {};
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  if (n >= 2 && head[0] == '#' && head[1] == '!') return true;
  if (n >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return true;
  if (n >= 2 && head[0] == 'M' && head[1] == 'Z') return true;
  return false;
}

bool Inside(const std::filesystem::path& file, const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  const auto base = std::filesystem::weakly_canonical(folder, ec);
  if (ec || base.empty()) return false;
  auto f = file.begin();
  for (auto b = base.begin(); b != base.end(); ++b, ++f) {
    if (b->empty()) continue;  // a trailing separator
    if (f == file.end() || *f != *b) return false;
  }
  return true;
}

void TellRefused(Workstation& ws, std::string_view target) {
  std::string text = MessageText(ws, kNoticeLinkRefused);
  if (text.empty()) text = "Only web and mail addresses and documents can be opened from a text. Not opened: ";
  std::string shown(target.substr(0, 120));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  std::string ok = MessageText(ws, kNoticeOk);
  UltimateDialog(ws, text + shown, -1, "", "", ok.empty() ? "OK" : ok, 3);
}

}  // namespace

std::string ExtractPhoneNumber(std::string_view scan, int minDigits) {
  std::string found;
  for (char c : scan) {
    if (IsDigit(c)) {
      found += c;
    } else if (c == ',' || c == '-') {
      continue;
    } else if (static_cast<int>(found.size()) < minDigits) {
      found.clear();
    } else {
      break;
    }
  }
  return Trimmed(found);
}

std::string ExtractMailAddress(std::string_view scan) {
  const std::size_t at = scan.find('@');
  if (at == std::string_view::npos || at < 2) return {};
  std::size_t start = at;
  while (start > 0 && !IsBlank(scan[start - 1])) --start;
  if (start == at) return {};
  std::size_t end = scan.find(' ', at);
  if (end == std::string_view::npos) end = scan.size();
  return std::string(scan.substr(start, end - start));
}

std::string ExtractWebAddress(std::string_view scan) {
  const std::string upper = Upper(scan);
  std::size_t from = upper.find("HTTP");
  if (from == std::string::npos) from = upper.find("WWW");
  if (from == std::string::npos) return {};
  std::size_t end = scan.find(' ', from);
  if (end == std::string_view::npos) end = scan.size();
  return std::string(scan.substr(from, end - from));
}

std::string BuildStamp(Workstation& ws, char kind, bool withUser) {
  const int now = CurrentTimeHHMM(ws);
  std::string stamp;
  if (kind == 'S') {
    const LocalDateTime t = ws.platform.clock->now();
    const CalendarDate d = SplitDay(ws.Today > 0 ? ws.Today : DayNumber(t));
    std::string hhmm = std::to_string(now);
    hhmm.insert(0, 4 - std::min<std::size_t>(4, hhmm.size()), '0');
    stamp = TwoDigits(d.day) + TwoDigits(d.month) + TwoDigits(d.year) + " " + hhmm;
  } else {
    stamp = RemoveBlanks(FormatDay(ws, ws.Today)) + ", " + RemoveBlanks(FormatTime(ws, now, true, true, 0)) + ": \r\n";
  }
  if (withUser) stamp = ws.ThisUser + " " + stamp;
  if (kind == 'S') stamp = " <" + stamp + "> ";
  if (stamp.size() > 120) stamp.resize(120);
  return stamp;
}

void CopyStampToClipboard(Workstation& ws, char kind, bool withUser) {
  ws.paths.StampText = BuildStamp(ws, kind, withUser);
  if (ws.platform.clipboard) ws.platform.clipboard->setText(ws.paths.StampText);
}

std::string LinkTextAt(std::string_view text, int caret, int selectionStart, int selectionLength) {
  const int size = static_cast<int>(text.size());
  if (selectionLength > 0 && selectionStart >= 0 && selectionStart < size)
    return std::string(text.substr(static_cast<std::size_t>(selectionStart),
                                   static_cast<std::size_t>(std::min(selectionLength, size - selectionStart))));
  caret = std::clamp(caret, 0, size);
  auto separator = [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; };
  // Inside double quotes on the caret's line the whole phrase counts.
  int lineStart = caret, lineEnd = caret;
  while (lineStart > 0 && text[lineStart - 1] != '\n' && text[lineStart - 1] != '\r') --lineStart;
  while (lineEnd < size && text[lineEnd] != '\n' && text[lineEnd] != '\r') ++lineEnd;
  int quotesBefore = 0, lastQuote = -1;
  for (int i = lineStart; i < caret; ++i)
    if (text[i] == '"') ++quotesBefore, lastQuote = i;
  if (quotesBefore % 2 == 1) {
    const std::size_t close = text.substr(0, static_cast<std::size_t>(lineEnd)).find('"', static_cast<std::size_t>(caret));
    if (close != std::string_view::npos)
      return std::string(text.substr(static_cast<std::size_t>(lastQuote), close - lastQuote + 1));
  }
  int a = caret, b = caret;
  while (a > 0 && !separator(text[a - 1])) --a;
  while (b < size && !separator(text[b])) ++b;
  return std::string(text.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
}

std::string CleanLinkText(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != '"' && c != '\r' && c != '\n') s += c;
  s = Trimmed(s);
  while (s.size() > 1 && InRanges(static_cast<unsigned char>(s.back()), false)) s.pop_back();
  // A leading "/" begins a path on this system and stays.
  std::size_t first = 0;
  while (s.size() - first > 1 && s[first] != '/' && InRanges(static_cast<unsigned char>(s[first]), true)) ++first;
  return s.substr(first);
}

bool IsSafeDocument(const Workstation& ws, const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty() || path[0] != '/') return false;
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  if (ec || !fs::is_regular_file(real, ec) || ec) return false;
  // Hidden files (keys, settings) and the system's own trees are nothing a
  // colleague's text has reason to open; they are refused before the file
  // is read, since reading some of them (/proc/kmsg) waits for ever.
  for (const auto& part : real)
    if (part.string().size() > 1 && part.string()[0] == '.') return false;
  for (const char* system : {"/proc", "/sys", "/dev", "/etc", "/boot", "/run"})
    if (Inside(real, system)) return false;
  struct stat st {};
  if (::stat(real.c_str(), &st) != 0) return false;
  if ((st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0) return false;
  if (RunnableExtension(real) || RunnableExtension(fs::path(path))) return false;
  if (Inside(real, ws.paths.DataFolder) || Inside(real, ws.paths.ProgramFolder) ||
      Inside(real, ws.paths.BulletinFolder))
    return false;
  return !StartsLikeProgram(real);
}

LinkAction ResolveLink(Workstation& ws, std::string_view text) {
  const std::string t(text);
  if (t.empty()) return {};
  const std::size_t blank = t.find(' ');
  const std::size_t dot = t.find('.');
  const bool dotBeforeBlank = dot != std::string::npos && (blank == std::string::npos || dot < blank);
  const std::string filePart = dotBeforeBlank && blank != std::string::npos ? t.substr(0, blank) : t;
  std::error_code ec;
  // The text is in the records' code page; the file system names its files
  // in UTF-8 ("Réunion.txt" has two bytes for its é there).
  const std::string fileName = cp1252ToUtf8(filePart);
  const bool names = dot != std::string::npos && !filePart.empty() && std::filesystem::exists(fileName, ec);
  if (names || t.find(":\\") != std::string::npos) {
    if (t.size() > 4 && Upper(t.substr(t.size() - 4)) == ".DAM") return {};
    // Only the file itself is opened: the rest of the text is never passed on.
    if (IsSafeDocument(ws, fileName)) return {LinkKind::Document, fileName};
    return {LinkKind::Refused, filePart};
  }
  const std::string upper = Upper(t);
  if (upper.find("HTTP") != std::string::npos || upper.find("WWW") != std::string::npos) {
    std::string web = ExtractWebAddress(t);
    const std::string lower = Lower(web);
    if (lower.rfind("www.", 0) == 0) web = "http://" + web;
    const std::string l2 = Lower(web);
    const bool scheme = l2.rfind("http://", 0) == 0 || l2.rfind("https://", 0) == 0;
    if (scheme && web.size() > 8 && PlainUrlText(web)) return {LinkKind::Web, web};
    return {LinkKind::Refused, web};
  }
  const std::string mail = ExtractMailAddress(t);
  if (!mail.empty()) {
    if (mail.size() <= 6) return {};
    if (!PlainMailAddress(mail)) return {LinkKind::Refused, mail};
    return {LinkKind::Mail, "mailto:" + mail + "?Subject= &Body="};
  }
  const std::string digits = ExtractPhoneNumber(t, ws.options.PhoneDigitsMin);
  if (!digits.empty() && static_cast<int>(digits.size()) >= ws.options.PhoneDigitsMin) return {LinkKind::Phone, digits};
  return {};
}

int Launch(Workstation& ws, const LinkAction& action) {
  bool allowed = false;
  switch (action.kind) {
    case LinkKind::Web: allowed = PlainUrlText(action.target); break;
    case LinkKind::Mail: allowed = action.target.rfind("mailto:", 0) == 0; break;
    case LinkKind::Document: allowed = IsSafeDocument(ws, action.target); break;
    case LinkKind::Refused: break;
    case LinkKind::Nothing:
    case LinkKind::Phone: return 0;
  }
  if (!allowed || ws.platform.shell == nullptr) {
    TellRefused(ws, action.target);
    return 0;
  }
  const int result = ws.platform.shell->open(action.target, "", "");
  if (result == Shell::kNotADocument) TellRefused(ws, action.target);
  return result;
}

bool OpenLinkText(Workstation& ws, std::string_view rawText, std::string& phone) {
  phone.clear();
  const LinkAction a = ResolveLink(ws, CleanLinkText(rawText));
  if (a.kind == LinkKind::Nothing) return false;
  if (a.kind == LinkKind::Phone) {
    phone = a.target;
    return true;
  }
  return Launch(ws, a) > 32;
}

}  // namespace egresso
