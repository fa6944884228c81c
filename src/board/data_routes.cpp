#include "board/data_routes.h"

#include <algorithm>

#include "board/board_data.h"
#include "board/cli.h"
#include "core/workstation.h"
#include "platform/codepage.h"
#include "text/notices.h"

namespace egresso {

namespace {

// Printed on paper or read on a phone: the roll call's own style sheet.
constexpr std::string_view kRollCallStyle =
    "*{box-sizing:border-box}"
    "body{margin:0;font-family:\"Liberation Sans\",Arial,Helvetica,sans-serif;color:#111;background:#fff}"
    "header{padding:.8rem 1.2rem;background:#1f2a44;color:#fff;display:flex;flex-wrap:wrap;gap:.3rem 1.5rem;"
    "align-items:baseline}"
    "h1{margin:0;font-size:1.8rem}"
    ".taken{font-size:1.1rem;opacity:.9}"
    ".count{font-size:1.3rem;font-weight:700;margin-left:auto}"
    "main{padding:.8rem 1.2rem}"
    "button{font:inherit;font-size:1rem;padding:.3em 1em;margin-bottom:.8rem}"
    "table{width:100%;border-collapse:collapse;font-size:1rem}"
    "th{text-align:left;font-size:.75rem;text-transform:uppercase;letter-spacing:.05em;padding:.4em .5em;"
    "background:#d9dde4;border-bottom:2px solid #444}"
    "td{padding:.35em .5em;border-bottom:1px solid #ccc;vertical-align:top;overflow-wrap:anywhere}"
    "td.name{font-weight:700}"
    "td.status{font-weight:700;text-transform:uppercase;white-space:nowrap}"
    "tr.in td.status{color:#1d7a3a}"
    "tr.out td.status{color:#b3261e}"
    "td.check{width:2.2em}"
    "td.check span{display:inline-block;width:1.1em;height:1.1em;border:1.5px solid #333}"
    "@media (max-width:640px){"
    "main{padding:.5rem}"
    "thead{display:none}"
    "table,tbody,tr,td{display:block}"
    "tr{padding:.4em 0;border-bottom:1px solid #bbb}"
    "td{border:0;padding:.1em .4em}"
    "td.name,td.status{display:inline-block}"
    "td.check,td:empty{display:none}"
    "td.back::before{content:\"Back \";opacity:.6}"
    "td.changed::before{content:\"Last change \";opacity:.6}"
    ".count{margin-left:0}"
    "}"
    "@media print{"
    "@page{size:A4;margin:14mm 12mm}"
    "body{font-size:10pt}"
    "header{background:none;color:#000;border-bottom:2px solid #000;padding:0 0 .3em}"
    "main{padding:.5em 0}"
    "button{display:none}"
    "thead{display:table-header-group}"
    "tr{break-inside:avoid}"
    "th{background:none}"
    "td.name,td.back,td.changed{white-space:nowrap}"
    "}";

// Reloads every board tick, but never while the page is being printed: a
// reload then would print a half-built page.
std::string RefreshScript(int periodMs) {
  const std::string ms = std::to_string(periodMs);
  return "var t=0;function arm(){clearTimeout(t);t=setTimeout(function(){location.reload()}," + ms +
         ")}arm();"
         "addEventListener('beforeprint',function(){clearTimeout(t)});"
         "addEventListener('afterprint',arm);"
         "var b=document.getElementById('print');if(b)b.addEventListener('click',function(){window.print()});";
}

// Blanks removed on both sides; a text of blanks becomes empty.
std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::vector<std::pair<std::string, std::string>> SafeHeaders(std::string contentType) {
  return {
      {"Content-Type", std::move(contentType)},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Cache-Control", "no-store"},
  };
}

StatusReply RollCallPage(Workstation& ws, const BoardSnapshot& s, std::string_view nonce) {
  const std::string n = HtmlEscape(nonce);
  const std::string title = RollCallTitle(ws, s);
  const std::string staleText = Trimmed(cp1252ToUtf8(MessageText(ws, 1445)));
  std::string d =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><meta name=\"robots\" content=\"noindex\">";
  d += "<title>" + HtmlEscape(title) + "</title><style nonce=\"" + n + "\">";
  d += kRollCallStyle;
  d += "</style></head><body><header><h1>Roll call</h1><span class=\"taken\">Taken " +
       HtmlEscape(ShownDate(ws, s.day) + " " + ShownTime(ws, s.time)) + "</span><span class=\"count\">" +
       HtmlEscape(InBuildingText(s)) + "</span></header><main>";
  d += "<button id=\"print\" type=\"button\">Print</button>";
  d += "<table><thead><tr><th class=\"check\"></th><th>Name</th><th>In/out</th><th>Where</th><th>Back</th>"
       "<th>Last change</th></tr></thead><tbody>";
  for (const BoardEntry& e : s.entries) {
    const std::string back = ShownDate(ws, e.returnDay) + " " + ShownTime(ws, e.returnTime);
    const std::string changed =
        e.changedBy.empty() ? std::string() : e.changedBy + " " + ShownDate(ws, e.changedDay) + " " + ShownTime(ws, e.changedTime);
    d += std::string("<tr class=\"") + (e.out ? "out" : "in") + "\"><td class=\"check\"><span></span></td>";
    d += "<td class=\"name\">" + HtmlEscape(e.name) + "</td>";
    d += std::string("<td class=\"status\">") + (e.out ? "out" : "in") + "</td>";
    d += "<td class=\"where\">" + HtmlEscape(e.out || !e.stale ? e.destination : staleText) + "</td>";
    d += "<td class=\"back\">" + HtmlEscape(e.out ? Trimmed(back) : std::string()) + "</td>";
    d += "<td class=\"changed\">" + HtmlEscape(Trimmed(changed)) + "</td></tr>";
  }
  d += "</tbody></table></main><script nonce=\"" + n + "\">" + RefreshScript(ws.board.Timer1PeriodMs) +
       "</script><noscript><meta http-equiv=\"refresh\" content=\"" +
       std::to_string(std::max(1, ws.board.Timer1PeriodMs / 1000)) + "\"></noscript></body></html>\n";
  StatusReply r;
  r.body = std::move(d);
  r.headers = SafeHeaders("text/html; charset=utf-8");
  r.headers.emplace_back("Content-Security-Policy", "default-src 'none'; style-src 'nonce-" + std::string(nonce) +
                                                        "'; script-src 'nonce-" + std::string(nonce) +
                                                        "'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'");
  return r;
}

}  // namespace

bool AnswerDataRoute(Platform platform, const StatusSite& site, const StatusRequest& request, StatusReply& reply) {
  const std::string& path = request.path;
  if (path != "/roll-call" && path != "/calendar.ics" && path != "/board.json") return false;
  Workstation ws(platform);
  if (site.files != nullptr) ws.files = site.files;
  std::string error;
  if (!LoadViewer(ws, site.programFolder, site.switches, error)) {
    reply = StatusProblem(503, "The data folder cannot be read.", request.nonce);
    return true;
  }
  try {
    const BoardSnapshot s = TakeBoardSnapshot(ws, path != "/board.json");
    if (path == "/roll-call") {
      reply = RollCallPage(ws, s, request.nonce);
    } else if (path == "/calendar.ics") {
      reply.body = CalendarFeed(s, site.protectedHeadlines, LocalCalendarZone(), CalendarStamp());
      reply.headers = SafeHeaders("text/calendar; charset=utf-8");
      reply.headers.emplace_back("Content-Disposition", "inline; filename=\"egresso.ics\"");
    } else {
      reply.body = BoardJson(s);
      reply.headers = SafeHeaders("application/json; charset=utf-8");
    }
    reply.status = 200;
    reply = WithSources(std::move(reply), site, ws);
  } catch (const std::exception&) {
    reply = StatusProblem(500, "The board could not be read.", request.nonce);
  }
  return true;
}

}  // namespace egresso
