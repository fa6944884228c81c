#include "board/status_page.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include "board/board_lines.h"
#include "board/board_list.h"
#include "board/cli.h"
#include "board/data_routes.h"
#include "core/workstation.h"
#include "platform/codepage.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

// A column of the fixed-width list lines: first position (from 1) and width.
struct Span {
  int from;
  int width;
  const char* css;
};

constexpr std::array<Span, 4> kDefaultColumns{{{1, 23, "name"}, {24, 36, "where"}, {61, 6, "time"}, {68, 8, "date"}}};
// The return column (1-17) holds the time and the date, or the stale text.
constexpr std::array<Span, 4> kReturnFirstColumns{{{1, 6, "time"}, {8, 8, "date"}, {18, 23, "name"}, {41, 36, "where"}}};
constexpr Span kReturnColumn{1, 17, "time"};
constexpr std::array<Span, 1> kCompactColumns{{{1, 83, "where"}}};
constexpr std::array<Span, 4> kMessageColumns{{{1, 53, "where"}, {57, 8, "date"}, {66, 6, "time"}, {73, 11, "name"}}};

// Blanks removed on both sides; a text of blanks becomes empty.
std::string_view Stripped(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Cut(std::string_view line, const Span& s) {
  const auto from = static_cast<std::size_t>(s.from - 1);
  if (from >= line.size()) return {};
  return cp1252ToUtf8(Stripped(line.substr(from, static_cast<std::size_t>(s.width))));
}

std::vector<std::string> SplitAt(std::string_view heading, std::string_view gap) {
  std::vector<std::string> titles;
  std::size_t i = 0;
  while (i < heading.size()) {
    while (i < heading.size() && heading[i] == ' ') ++i;
    if (i >= heading.size()) break;
    std::size_t end = heading.find(gap, i);
    if (end == std::string_view::npos) end = heading.size();
    titles.push_back(cp1252ToUtf8(Stripped(heading.substr(i, end - i))));
    i = end;
  }
  return titles;
}

// The column titles of a heading notice: its words, split where two or more
// blanks stand between them (so a title may hold a blank), else at every
// blank. A heading that does not split into one title per column gives none.
std::vector<std::string> HeadingTitles(std::string_view heading, std::size_t columns) {
  std::vector<std::string> titles = SplitAt(heading, "  ");
  if (titles.size() != columns) titles = SplitAt(heading, " ");
  if (titles.size() != columns) titles.clear();
  return titles;
}

std::string CssColour(std::uint32_t bgr) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", bgr & 0xFFu, (bgr >> 8) & 0xFFu, (bgr >> 16) & 0xFFu);
  return text;
}

// The one style sheet of every page; the line colours of the configuration
// are added as classes after it.
constexpr std::string_view kStyle =
    "*{box-sizing:border-box}"
    "body{margin:0;font-family:\"Liberation Sans\",Arial,Helvetica,sans-serif;background:#eef0f3;color:#111}"
    "header{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:baseline;gap:.3rem 1rem;"
    "padding:.7rem 1.2rem;background:#1f2a44;color:#fff}"
    "h1{margin:0;font-size:clamp(1.4rem,3.2vw,2.8rem);font-weight:700}"
    "h2{margin:1.2rem 0 .4rem;font-size:clamp(1.1rem,2.2vw,1.8rem)}"
    ".stamp{font-size:clamp(.9rem,1.6vw,1.4rem);opacity:.85}"
    "main{padding:.8rem 1.2rem 1.5rem}"
    "table{width:100%;border-collapse:collapse;font-size:clamp(1rem,2.3vw,2.1rem);box-shadow:0 1px 3px #0003}"
    "th{text-align:left;font-size:.62em;text-transform:uppercase;letter-spacing:.06em;padding:.5em .6em;"
    "background:#d9dde4;color:#333}"
    "td{padding:.4em .6em;border-top:1px solid #0001;vertical-align:top;overflow-wrap:anywhere}"
    "td.name{font-weight:700}"
    "td.time,td.date{white-space:nowrap}"
    "tr.out td:first-child{border-left:.4em solid #d2382f}"
    "tr.in td:first-child{border-left:.4em solid #2e9d4f}"
    "tr.in td{opacity:.55}"
    ".board th:first-child{border-left:.4em solid #d9dde4}"
    ".none{padding:1em;font-style:italic;opacity:.7}"
    "form{margin-top:1.2rem;font-size:1.1rem}"
    "input{font:inherit;width:4.5em;text-transform:uppercase;padding:.2em .4em}"
    "button{font:inherit;padding:.2em .8em}"
    "a{color:inherit}"
    "@media (max-width:640px){"
    "main{padding:.5rem}"
    "thead{display:none}"
    "table,tbody,tr{display:block}"
    "tr{border-top:1px solid #0002}"
    "td{display:block;border:0;padding:.15em .6em}"
    "td.time,td.date,table:not(.board) td.name{display:inline-block}"
    "td:empty{display:none}"
    "tr td:first-child{padding-top:.45em}"
    "tr.out td:first-child,tr.in td:first-child,th:first-child{border-left:0}"
    "tr{padding-bottom:.3em}"
    "tr.out{border-left:.4em solid #d2382f}"
    "tr.in{border-left:.4em solid #2e9d4f}"
    "}";

class Page {
 public:
  Page(Workstation& ws, std::string_view nonce) : ws_(ws), nonce_(nonce) {}

  void table(const std::vector<BoardLine>& lines, const Span* spans, std::size_t count, int headingNotice,
             bool board) {
    const std::string staleText = MessageText(ws_, 1445);
    const std::vector<std::string> titles =
        headingNotice != 0 ? HeadingTitles(MessageText(ws_, headingNotice), count) : std::vector<std::string>{};
    body_ += "<table";
    body_ += board ? " class=\"board\">" : ">";
    if (!titles.empty()) {
      body_ += "<thead><tr>";
      for (std::size_t c = 0; c < count; ++c)
        body_ += "<th class=\"" + std::string(spans[c].css) + "\">" + HtmlEscape(titles[c]) + "</th>";
      body_ += "</tr></thead>";
    }
    body_ += "<tbody>";
    for (const auto& line : lines) {
      std::vector<std::string> cells;
      bool out = false;
      for (std::size_t c = 0; c < count; ++c) {
        cells.push_back(Cut(line.text, spans[c]));
        if (std::string_view(spans[c].css) == "where") out = !cells.back().empty();
      }
      if (spans == kReturnFirstColumns.data() && LineIsStale(line.text) &&
          std::string_view(line.text).substr(0, staleText.size()) == staleText) {
        cells[0] = Cut(line.text, kReturnColumn);
        cells[1].clear();
      }
      // A compact line always starts with the name; the entry is out when
      // anything follows it.
      if (count == 1) out = !cells[0].empty() && cells[0].find(':') != std::string::npos && cells[0].back() != ':';
      body_ += "<tr class=\"";
      if (board) body_ += out ? "out " : "in ";
      body_ += colourClass(board ? LineDrawColour(ws_, line) : line.colour) + "\">";
      for (std::size_t c = 0; c < count; ++c)
        body_ += "<td class=\"" + std::string(spans[c].css) + "\">" + HtmlEscape(cells[c]) + "</td>";
      body_ += "</tr>";
    }
    body_ += "</tbody></table>";
    if (lines.empty()) body_ += "<p class=\"none\">No entries.</p>";
  }

  void text(std::string_view utf8Html) { body_ += utf8Html; }

  // The whole document: title and heading (UTF-8), refresh every tick.
  std::string document(std::string_view title, std::string_view heading) const {
    const int tick = std::max(1, ws_.board.Timer1PeriodMs / 1000);
    std::string d;
    d.reserve(body_.size() + kStyle.size() + 1024);
    d += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<meta name=\"robots\" content=\"noindex\">";
    d += "<meta http-equiv=\"refresh\" content=\"" + std::to_string(tick) + "\">";
    d += "<title>" + HtmlEscape(title) + "</title>";
    d += "<style nonce=\"" + HtmlEscape(nonce_) + "\">";
    d += kStyle;
    d += "table{background:" + CssColour(ListColour(ws_)) + "}";
    for (const auto& [colour, name] : colours_) d += "." + name + "{color:" + CssColour(colour) + "}";
    d += "</style></head><body><header><h1>" + HtmlEscape(heading) + "</h1><span class=\"stamp\">" +
         HtmlEscape(stamp()) + "</span></header><main>";
    d += body_;
    d += "</main></body></html>\n";
    return d;
  }

 private:
  std::string colourClass(std::uint32_t bgr) {
    bgr &= 0xFFFFFFu;
    auto it = colours_.find(bgr);
    if (it == colours_.end()) it = colours_.emplace(bgr, "k" + std::to_string(colours_.size())).first;
    return it->second;
  }

  // When the page was made, so a wall screen that lost the server shows it.
  std::string stamp() const {
    const LocalDateTime now = ws_.platform.clock->now();
    return "Updated " + cp1252ToUtf8(Stripped(BoardDateText(ws_, ws_.Today))) + " " +
           cp1252ToUtf8(Stripped(BoardTimeText(ws_, now.hour * 100 + now.minute)));
  }

  Workstation& ws_;
  std::string nonce_;
  std::string body_;
  std::map<std::uint32_t, std::string> colours_;
};

StatusReply Reply(int status, std::string body, std::string_view nonce) {
  StatusReply r;
  r.status = status;
  r.body = std::move(body);
  r.headers = {
      {"Content-Type", "text/html; charset=utf-8"},
      {"X-Content-Type-Options", "nosniff"},
      {"Content-Security-Policy", "default-src 'none'; style-src 'nonce-" + std::string(nonce) +
                                      "'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Cache-Control", "no-store"},
  };
  return r;
}

}  // namespace

StatusReply StatusProblem(int status, std::string_view text, std::string_view nonce) {
  return Reply(status,
               "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + std::to_string(status) +
                   "</title></head><body><p>" + HtmlEscape(text) + "</p><p><a href=\"/\">In/out board</a></p></body></html>\n",
               nonce);
}

namespace {

StatusReply BoardPage(Workstation& ws, std::string_view nonce) {
  BoardListing(ws);
  Page page(ws, nonce);
  if (ws.options.CompactMode)
    page.table(ws.board.BBSlist, kCompactColumns.data(), kCompactColumns.size(), 0, true);
  else if (ws.options.ReturnFirst)
    page.table(ws.board.BBSlist, kReturnFirstColumns.data(), kReturnFirstColumns.size(), HeadingNotice(ws), true);
  else
    page.table(ws.board.BBSlist, kDefaultColumns.data(), kDefaultColumns.size(), HeadingNotice(ws), true);
  page.text(
      "<form action=\"/messages\" method=\"get\"><label>Messages for <input name=\"user\" maxlength=\"3\" "
      "autocomplete=\"off\" aria-label=\"initials\"></label> <button type=\"submit\">Show</button></form>");
  const std::string title = cp1252ToUtf8(MessageText(ws, 1396));
  return Reply(200, page.document(title, title), nonce);
}

StatusReply MessagePage(Workstation& ws, std::string_view nonce) {
  MessageListing(ws);
  Page page(ws, nonce);
  page.table(ws.board.BBSlist, kMessageColumns.data(), kMessageColumns.size(), HeadingNotice(ws), false);
  page.text("<h2>" + HtmlEscape(cp1252ToUtf8(MessageText(ws, 1443) + " " + ws.ThisUser + ":")) + "</h2>");
  page.table(ws.board.BBSoldList, kMessageColumns.data(), kMessageColumns.size(), HeadingNotice(ws), false);
  page.text("<p><a href=\"/\">" + HtmlEscape(cp1252ToUtf8(MessageText(ws, 1396))) + "</a></p>");
  const std::string user = cp1252ToUtf8(ws.ThisUser);
  const std::string name = cp1252ToUtf8(ws.mcfg.empName(ws.UserSlot));
  return Reply(200, page.document(cp1252ToUtf8(MessageText(ws, 1398)) + " " + user,
                                  cp1252ToUtf8(MessageText(ws, 1398)) + ": " + (name.empty() ? user : name)),
               nonce);
}

// Initials as a request names them: one to three characters that can be
// initials (no blanks, controls or slashes); empty when they cannot.
std::string RequestedInitials(std::string_view utf8) {
  if (!isValidUtf8(utf8)) return {};
  const std::string text = UpperText(utf8ToCp1252(utf8));
  if (text.empty() || text.size() > 3) return {};
  for (unsigned char c : text)
    if (c <= ' ' || c == '/' || c == '\\' || c == 0x7F) return {};
  return text;
}

// A host name as compared: lower case, without a trailing dot.
std::string HostKey(std::string_view host) {
  std::string name(host);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  if (!name.empty() && name.back() == '.') name.pop_back();
  return name;
}

// "name:port", "[address]:port" or either without the port.
bool HostAccepted(const StatusSite& site, std::string_view header) {
  std::string_view host = header;
  if (host.front() == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    host = host.substr(1, close - 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  if (IsLoopbackName(host)) return true;
  const std::string key = HostKey(host);
  return !key.empty() && std::find(site.hostNames.begin(), site.hostNames.end(), key) != site.hostNames.end();
}

}  // namespace

StatusReply WithSources(StatusReply reply, const StatusSite& site, const Workstation& ws, const Workstation* reader) {
  std::vector<std::string>& out = reply.sources;
  auto add = [&out](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!path.empty() && std::find(out.begin(), out.end(), path) == out.end()) out.push_back(std::move(path));
  };
  // The folders the site starts in (the program folder unless it names
  // others), whose switch files may send the viewer on to another, and the
  // ones it ended in.
  for (const std::string& s : site.switches) {
    const std::string key = UpperText(s.substr(0, std::min<std::size_t>(4, s.size())));
    if (key == "/MD=" || key == "/RD=") add(s.substr(4));
  }
  if (out.empty()) add(site.programFolder);
  for (const Workstation* w : {&ws, reader}) {
    if (w == nullptr) continue;
    add(w->paths.DataFolder);
    add(w->paths.AltDataFolder);
    add(w->paths.NoticesPath);
  }
  return reply;
}

bool AddHostNames(std::string_view text, std::vector<std::string>& names, std::string& error) {
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t comma = std::min(text.find(',', from), text.size());
    const std::string name = HostKey(text.substr(from, comma - from));
    const bool valid = !name.empty() && name.size() <= 253 && std::all_of(name.begin(), name.end(), [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '_';
    });
    if (!valid) {
      error = "expected host names or addresses separated by commas, e.g. board.office.lan,192.168.1.20";
      return false;
    }
    names.push_back(name);
    from = comma + 1;
  }
  return true;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\0': out += "\xEF\xBF\xBD"; break;  // U+FFFD: a NUL has no place in a page
      default: out += c;
    }
  }
  return out;
}

std::string NewStyleNonce() {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::random_device random;
  std::string nonce;
  for (int i = 0; i < 22; ++i) nonce += kDigits[random() % 64];
  return nonce;
}

bool IsLoopbackName(std::string_view host) {
  const std::string name = HostKey(host);
  if (name == "localhost" || name == "::1") return true;
  // 127.a.b.c: four numbers, the first 127.
  if (name.rfind("127.", 0) != 0 || std::count(name.begin(), name.end(), '.') != 3 || name.back() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
         name.find("..") == std::string::npos;
}

std::string SourcesStamp(const std::vector<std::string>& sources, std::int64_t& newestNs) {
  std::string stamp;
  auto add = [&](const std::string& name, const struct stat& st) {
    const std::int64_t ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    newestNs = std::max(newestNs, ns);
    stamp += name;
    stamp += '\0';
    stamp += std::to_string(st.st_mode) + ' ' + std::to_string(st.st_ino) + ' ' + std::to_string(st.st_size) + ' ' +
             std::to_string(ns) + '\n';
  };
  for (const std::string& source : sources) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) {
      stamp += source + "\0-\n";
      continue;
    }
    add(source, st);
    if (!S_ISDIR(st.st_mode)) continue;
    DIR* dir = ::opendir(source.c_str());
    if (dir == nullptr) continue;
    std::vector<std::pair<std::string, struct stat>> entries;
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat entry {};
      if (::fstatat(::dirfd(dir), e->d_name, &entry, AT_SYMLINK_NOFOLLOW) == 0) entries.emplace_back(name, entry);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, entry] : entries) add(name, entry);
  }
  return stamp;
}

StatusReply AnswerStatusRequest(Platform platform, const StatusSite& site, const StatusRequest& request) {
  const std::string& nonce = request.nonce;
  if (!request.host.empty() && !HostAccepted(site, request.host))
    return StatusProblem(403, "This page is not served under this name.", nonce);
  if (request.method != "GET" && request.method != "HEAD") {
    StatusReply r = StatusProblem(405, "This page can only be read.", nonce);
    r.headers.emplace_back("Allow", "GET, HEAD");
    return r;
  }
  if (StatusReply data; AnswerDataRoute(platform, site, request, data)) return data;
  std::string user;
  const std::string_view path = request.path;
  constexpr std::string_view kMessages = "/messages";
  const bool messages = path == kMessages || path.substr(0, kMessages.size() + 1) == "/messages/";
  if (path != "/" && !messages) return StatusProblem(404, "No such page.", nonce);
  if (messages) {
    user = RequestedInitials(path == kMessages ? std::string_view(request.user) : path.substr(kMessages.size() + 1));
    if (user.empty()) return StatusProblem(404, "No such page.", nonce);
  }

  Workstation ws(platform);
  if (site.files != nullptr) ws.files = site.files;
  std::string error;
  if (!LoadViewer(ws, site.programFolder, site.switches, error))
    return StatusProblem(503, "The data folder cannot be read.", nonce);
  if (!messages) return WithSources(BoardPage(ws, nonce), site, ws);

  if (FindUserSlot(ws, user) == 0)
    return WithSources(StatusProblem(404, "No employee has these initials.", nonce), site, ws);
  // The initials are the employee table's own, so they make a safe switch.
  std::vector<std::string> switches = site.switches;
  switches.push_back("/TU=" + user);
  Workstation reader(platform);
  if (site.files != nullptr) reader.files = site.files;
  if (!LoadViewer(reader, site.programFolder, switches, error))
    return StatusProblem(503, "The data folder cannot be read.", nonce);
  if (!site.protectedHeadlines && (reader.pcfg.flag(pcfg::RequestPassword) || reader.mcfg.flag(mcfg::PasswordForAll)))
    return WithSources(StatusProblem(403, "These messages are protected by a password.", nonce), site, ws, &reader);
  return WithSources(MessagePage(reader, nonce), site, ws, &reader);
}

bool ParseListenAddress(std::string_view text, ListenAddress& out, std::string& error) {
  error = "expected ADDRESS:PORT, e.g. 127.0.0.1:8080";
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view host = text.substr(0, colon);
  const std::string_view port = text.substr(colon + 1);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    return false;
  }
  for (char c : host)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':')) return false;
  int value = -1;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535) {
    error = "the port must be a number from 0 to 65535";
    return false;
  }
  out.host = std::string(host);
  out.port = value;
  error.clear();
  return true;
}

}  // namespace egresso
