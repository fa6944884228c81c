#include "messages/form_rules.h"

#include "storage/notify_file.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/workstation.h"
#include "messages/board_files.h"
#include "text/notices.h"
#include "storage/dates.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr int kNoticeEveryone = 1419;

std::string Trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) --b;
  return std::string(s.substr(a, b - a));
}

// The lines of a text file; false when it cannot be read.
bool ReadLines(FileOps& ops, const std::string& path, std::vector<std::string>& lines,
               std::size_t maxLines = 1000) {
  // Lines of at most 254 characters are kept: more than that many bytes a
  // line is never read, whatever stands under the name.
  std::string all;
  if (ReadFileBounded(ops, path, maxLines * 512, all) != io::Ok) return false;
  std::size_t start = 0;
  while (lines.size() < maxLines && start < all.size()) {
    std::size_t end = all.find('\n', start);
    std::string line = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(FieldText(line, 254));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && s.size() <= 9 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The recipient text with every word that holds an "@" and a "." (a mail
// address) taken out; words end at blanks, commas and semicolons.
std::string WithoutMailAddresses(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = std::min(text.find_first_of(" ,;\t", i), text.size());
    const std::string_view word = std::string_view(text).substr(i, end - i);
    const bool address = word.find('@') != std::string_view::npos && word.find('.') != std::string_view::npos;
    if (!address) out += word;
    if (end < text.size()) out += text[end];
    i = end + 1;
  }
  return out;
}

int GroupOf(const Workstation& ws, std::string_view code) {
  if (code.empty()) return 0;
  for (int g = 1; g <= mcfg::Groups; ++g)
    if (ws.mcfg.groupName(g) == code) return g;
  return 0;
}

// The words of a recipient list: runs of characters between blanks, commas
// and semicolons. A word is taken whole, so "SALLY" is one unknown word and
// never the initials SAL followed by LY.
std::vector<std::string> RecipientTokens(std::string_view codes) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < codes.size()) {
    const std::size_t end = std::min(codes.find_first_of(" ,;\t", i), codes.size());
    if (end > i) tokens.emplace_back(codes.substr(i, end - i));
    i = end + 1;
  }
  return tokens;
}

// The everyone word stands alone: the first three characters of its notice
// (as the form shows it) or the notice's whole first word.
bool IsEveryoneToken(Workstation& ws, std::string_view token) {
  if (token == EveryoneWord(ws)) return true;
  const std::string notice = UpperText(Trim(MessageText(ws, kNoticeEveryone)));
  const std::string word = notice.substr(0, notice.find_first_of(" :,;\t"));
  return !word.empty() && token == word;
}

}  // namespace

ClockStep AddMinutes(int hhmm, long long minutes) {
  long long total = static_cast<long long>(hhmm / 100) * 60 + hhmm % 100 + std::max(0LL, minutes);
  ClockStep r;
  r.days = static_cast<int>(std::min<long long>(total / 1440, 40000));
  total %= 1440;
  r.hhmm = static_cast<int>(total / 60 * 100 + total % 60);
  return r;
}

AbbreviationResult ApplyAbbreviation(Workstation& ws, std::string_view line, int currentReturnDay, bool chosen) {
  AbbreviationResult r;
  const std::size_t lt = line.find('<');
  const std::size_t at = line.find('@');
  if (lt == std::string_view::npos && at == std::string_view::npos) {
    r.changed = true;
    r.firstLine = std::string(line) + " ";
    return r;
  }
  const int now = CurrentTimeHHMM(ws);
  if (lt != std::string_view::npos) {
    const std::size_t gt = line.find('>', lt);
    if (gt != std::string_view::npos && gt >= lt + 2) {
      r.changed = true;
      r.firstLine = Trim(line.substr(0, lt)) + " ";
      const std::string n = Trim(line.substr(lt + 1, gt - lt - 1));
      if (AllDigits(n)) {
        ClockStep s = AddMinutes(now, std::stoll(n));
        // Midnight is 2400 of the day that ends there: 0 would read as no
        // time, and 2400 of the next day is a day late.
        if (s.hhmm == 0 && s.days > 0) {
          s.hhmm = 2400;
          --s.days;
        }
        r.setsReturn = true;
        r.stepMinutes = static_cast<int>(std::stoll(n));
        r.returnDay = std::min(currentReturnDay + s.days, kNoDateFrom - 1);
        r.returnTime = FormatTime(ws, s.hhmm == 0 ? 2400 : s.hhmm, true, true, 0);
      }
      return r;
    }
  }
  if (at != std::string_view::npos) {
    const std::size_t bang = line.find('!', at);
    if (bang != std::string_view::npos && bang >= at + 2) {
      r.changed = true;
      r.firstLine = Trim(line.substr(0, at)) + " ";
      const int t = ParseTime(ws, Trim(line.substr(at + 1, bang - at - 1)));
      if (t > 0) {
        r.setsReturn = true;
        r.returnDay = currentReturnDay;
        if (t < now && currentReturnDay == ws.Today) r.returnDay = currentReturnDay + 1;
        r.returnTime = FormatTime(ws, t, true, true, 0);
      }
      return r;
    }
  }
  if (!chosen) {
    r.changed = true;
    r.firstLine = std::string(line);
  }
  return r;
}

std::vector<std::string> LoadAbbreviations(Workstation& ws) {
  std::vector<std::string> items;
  ReadLines(*ws.files, DataFile(ws, "PLACE" + ws.ThisUser + ".DAF"), items);
  ReadLines(*ws.files, DataFile(ws, "PLACE.DAF"), items);
  return items;
}

bool DefaultDestination(Workstation& ws, std::string& line) {
  std::vector<std::string> lines;
  const std::string personal = DataFile(ws, "EG" + ws.ThisUser + ".DAF");
  if (!ReadLines(*ws.files, fileExists(personal) ? personal : DataFile(ws, "EG.DAF"), lines, 1) || lines.empty()) return false;
  line = lines.front();
  return true;
}

std::vector<std::string> ReturnTimeList(Workstation& ws, int returnDay) {
  std::vector<std::string> out;
  const int now = CurrentTimeHHMM(ws);
  const bool today = returnDay == ws.Today;
  std::vector<std::string> lines;
  if (ReadLines(*ws.files, DataFile(ws, "RETURNTM.DAF"), lines)) {
    for (const auto& l : lines) {
      const int t = ParseTime(ws, l);
      if (t <= 0 || (today && t < now)) continue;
      out.push_back(FormatTime(ws, t, true, true, 0));
    }
    return out;
  }
  const int step = ws.pcfg.i16(pcfg::PartitionMinutes);
  if (step <= 0) return out;
  int start = ws.pcfg.i16(pcfg::WorkDayBegin);
  int end = ws.pcfg.i16(pcfg::WorkDayEnd);
  if (start <= 0 || start > 2359) start = 800;
  if (end <= 0 || end > 2359) end = 1730;
  const ClockStep limit = AddMinutes(end, step);
  const int stop = limit.days > 0 ? 2400 : limit.hhmm;
  for (ClockStep t{start, 0}; t.days == 0 && t.hhmm < stop && out.size() < 1440; t = AddMinutes(t.hhmm, step)) {
    if (today && t.hhmm < now) continue;
    out.push_back(FormatTime(ws, t.hhmm, true, true, 0));
  }
  return out;
}

ReturnDateResult LeaveReturnDate(Workstation& ws, std::string_view text, std::string_view snapshot, int calendarDay) {
  ReturnDateResult r;
  std::string t = Trim(FieldText(text, 40));
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) t = ShiftDay(ws, FormatDay(ws, calendarDay, false, true), t);
  if (t.empty()) t = Trim(snapshot);
  if (t == "S" || t == "s") t = ws.form.LastDateEntered;
  const std::int16_t day = ParseDay(ws, t, snapshot, true, DaySense::Ahead);
  if (day == kBadDate || day < 0 || day >= kNoDateFrom) {
    r.ok = false;
    r.text = std::string(snapshot);
    return r;
  }
  r.day = day;
  r.text = day == 0 ? std::string() : FormatDay(ws, day);
  if (day != 0) ws.form.LastDateEntered = Trim(r.text).substr(0, 12);
  return r;
}

std::string LeaveReturnTime(Workstation& ws, std::string_view text, int returnDay, bool* unreadable) {
  int t = ParseTime(ws, FieldText(text, 60));
  if (unreadable) *unreadable = t == 0 && !Trim(FieldText(text, 60)).empty();
  if (returnDay == ws.Today && t > 0 && t <= 1200 && t < CurrentTimeHHMM(ws)) t += 1200;
  return FormatTime(ws, t, true, true, 0);
}

std::vector<std::string> PickListItems(Workstation& ws, bool withEveryone) {
  std::vector<std::string> items;
  for (int i = 1; i <= mcfg::Employees; ++i) {
    const std::string in = ws.mcfg.empInitials(i);
    if (!in.empty()) items.push_back(in + ": " + ws.mcfg.empName(i));
  }
  for (int g = 1; g <= mcfg::Groups; ++g) {
    const std::string code = ws.mcfg.groupName(g);
    if (code.empty()) continue;
    std::string members;
    int shown = 0;
    for (int m = 1; m <= mcfg::GroupSize && shown < 4; ++m) {
      const std::string who = ws.mcfg.groupMember(g, m);
      if (who.empty()) continue;
      members += (shown++ ? "," : "") + who;
    }
    items.push_back(code + ": " + members + "...");
  }
  if (withEveryone) items.push_back(MessageText(ws, kNoticeEveryone));
  return items;
}

std::string PickRecipient(std::string_view empIn, std::string_view item, Workstation& ws,
                          std::vector<std::string>* leftOut) {
  const std::size_t colon = item.find(':');
  if (colon != std::string_view::npos && item.find(',', colon) != std::string_view::npos) {
    // A group item: its members who still work here. A former member the
    // group still names would make the save refuse the whole list.
    const int g = GroupOf(ws, Trim(item.substr(0, colon)));
    std::string members;
    for (int m = 1; g && m <= mcfg::GroupSize; ++m) {
      const std::string who = ws.mcfg.groupMember(g, m);
      if (who.empty()) continue;
      if (ws.mcfg.slotOf(who) == 0) {
        if (leftOut) leftOut->push_back(who);
        continue;
      }
      members += (members.empty() ? "" : ",") + who;
    }
    if (!members.empty()) return members;
  }
  std::string code;
  for (char c : Trim(item.substr(0, std::min<std::size_t>(3, item.size()))))
    if ((c >= '!' && c <= '+') || (c >= '0' && c <= '9') || (c >= '<' && c <= 'Z')) code += c;
  if (code.empty()) return std::string(empIn);
  if (std::string_view(empIn).find(code) != std::string_view::npos) return code;
  // A name chosen beside the everyone word would still send the message to
  // everyone: the choice replaces it.
  if (UpperText(Trim(empIn)) == EveryoneWord(ws)) return code;
  return empIn.empty() ? code : std::string(empIn) + "," + code;
}

std::string PickSender(std::string_view item) {
  const std::size_t colon = item.find(':');
  return Trim(item.substr(0, colon == std::string_view::npos ? item.size() : colon)).substr(0, 3);
}

std::string EveryoneWord(Workstation& ws) {
  std::string w = MessageText(ws, kNoticeEveryone).substr(0, 3);
  return w.empty() ? "ALL" : UpperText(w);
}

RecipientResult ResolveRecipients(Workstation& ws, std::string_view empIn, BulBrdRcrd& rec) {
  RecipientResult r;
  const std::string text = UpperText(Trim(FieldText(empIn, 254)));
  for (int i = 1; i <= brd::Slots; ++i) rec.setToList(i, "");
  // Mail addresses are for the outside and pass unchecked; the codes
  // beside them are checked as usual. Only addresses: nobody here is a
  // recipient, and the message is not shown to everyone either.
  const std::string codes = WithoutMailAddresses(text);
  const bool addresses = codes.size() != text.size();
  const std::vector<std::string> tokens = RecipientTokens(codes);
  if (tokens.empty() && !addresses) {
    r.ok = false;
    r.none = true;
    return r;
  }
  // Every word is checked before any of them counts: "ALL,Sally" is a
  // typing slip, not a message to everyone.
  for (const std::string& token : tokens) {
    if (IsEveryoneToken(ws, token)) {
      r.everyone = true;
      continue;
    }
    if (ws.mcfg.slotOf(token) == 0 && GroupOf(ws, token) == 0) {
      r.ok = false;
      r.everyone = false;
      r.badToken = token;
      return r;
    }
  }
  if (r.everyone) return r;
  if (addresses) rec.setToList(1, "nul");
  for (const std::string& token : tokens) {
    const int slot = ws.mcfg.slotOf(token);
    if (slot != 0) {
      rec.setToList(slot, token);
      continue;
    }
    // Members who have left the employee table are nobody to write to.
    const int group = GroupOf(ws, token);
    for (int m = 1; m <= mcfg::GroupSize; ++m) {
      const std::string who = ws.mcfg.groupMember(group, m);
      const int s = who.empty() ? 0 : ws.mcfg.slotOf(who);
      if (s != 0) rec.setToList(s, who);
    }
  }
  // A first entry left empty would read as "everyone".
  if (rec.toList(1).empty()) rec.setToList(1, "nul");
  return r;
}

std::string RecipientText(const BulBrdRcrd& rec) {
  std::string out;
  for (int i = 1; i <= brd::Slots; ++i) {
    const std::string t = rec.toList(i);
    if (t.empty() || t == "nul") continue;
    out += (out.empty() ? "" : ",") + t;
  }
  return out;
}

std::string NumberSubject(std::string_view subject) {
  const std::string s(subject);
  if (!s.empty() && s.back() == '}') {
    const std::size_t open = s.rfind('{');
    if (open != std::string::npos && (s.size() - open <= 5 || s.size() < 4)) {
      const std::string k = s.substr(open + 1, s.size() - open - 2);
      if (AllDigits(k)) return s.substr(0, open + 1) + std::to_string(std::stoll(k) + 1) + "}";
    }
    return s;
  }
  return s.substr(0, 48) + " {1}";
}

int PostNotification(Workstation& ws, std::string_view initials, char letter) {
  if (initials.empty() || initials == "nul" || ws.board.ReadOnlyView) return io::Ok;
  return AppendNotifyLetter(ws, initials, letter);
}

std::string FieldText(std::string_view text, std::size_t max) {
  std::string out;
  out.reserve(std::min(text.size(), max));
  for (char c : text) {
    if (out.size() >= max) break;
    out += static_cast<unsigned char>(c) < 32 || c == 127 ? ' ' : c;
  }
  return out;
}

std::string DestinationHeadline(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t\r") != std::string_view::npos) lines.push_back(line);
    start = end + 1;
  }
  // One line is the headline as typed, blanks and all (an abbreviation's
  // text keeps its own).
  if (lines.size() == 1) return std::string(lines[0]);
  std::string out;
  for (std::string_view line : lines) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (!out.empty()) out += ' ';
    out += line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
  }
  return out;
}

std::string BodyText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u != 127) out += c;
    else if (c == '\r' || c == '\n' || c == '\t') out += c;
  }
  return out;
}

}  // namespace egresso
