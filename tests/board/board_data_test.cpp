#include "board/board_data.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>

#include "board/cli.h"
#include "board/status_page.h"
#include "config/records.h"
#include "storage/dates.h"
#include "storage/record_io.h"
#include "support/cli_run.h"
#include "platform/console_platform.h"
#include "support/demo_folder.h"

namespace egresso {
namespace {

using test::RunCliProgram;

// The demo office as of the real clock (the program reads dates by it),
// with the sign-outs below added: slot, destination, return day (from
// today; none when kNone), return time (2900: none).
constexpr int kNone = 99;
struct SignOut {
  int slot;
  const char* destination;
  int returnIn;
  int returnAt;
};
constexpr SignOut kSignOuts[] = {
    {5, "Bank, then lunch; back \"soon\"\\ maybe", 1, 2900},                   // date only, escaped text
    {1, "Abroad without a return", kNone, 2900},                              // no return: no event
    {6, "Yesterday's meeting", -1, 1200},                                     // expired: in
    {7, "Z\xFCrich\x07office, a long way with a text that fills the line", 0, 1645},  // folded, not ASCII
};

struct Office {
  LocalDateTime now = SystemClock().now();
  test::DemoFolder demo{&now};
  std::string md = "/MD=" + demo.dir.str();

  Office() {
    Workstation& w = demo.writer;
    for (const SignOut& s : kSignOuts) {
      test::SignOutTo(w, s.slot, s.destination);
      w.board.RecordBuffer.setReturnDay(static_cast<std::int16_t>(s.returnIn == kNone ? brd::NoReturnDay : w.Today + s.returnIn));
      w.board.RecordBuffer.setReturnAt(static_cast<std::int16_t>(s.returnAt));
      w.board.RecordBuffer.setMadeDay(static_cast<std::int16_t>(w.Today + std::min(0, s.returnIn)));
      w.board.RecordBuffer.setMadeTime(930);
      w.board.RecordBuffer.setEnteredBy("ANN");
      EXPECT_EQ(WriteBoardRecord(w, s.slot, "T"), 0);
    }
  }
  BoardSnapshot snapshot() {
    Workstation viewer(demo.fake.platform());
    std::string error;
    EXPECT_TRUE(LoadViewer(viewer, EGRESSO_PROGRAM_DIR, {md}, error)) << error;
    return TakeBoardSnapshot(viewer, true);
  }
  // Employee slot 2 asks for a password.
  void protectBob() {
    RecordFile f;
    std::array<std::uint8_t, pcfg::Size> bytes{};
    bytes[pcfg::RequestPassword] = 1;
    ASSERT_EQ(f.open(demo.dir.path() / "CFGBOB.DAF", pcfg::Size, RecordFile::Mode::Create, PosixFileOps()), 0);
    ASSERT_EQ(f.write(0, bytes), 0);
  }
};

// The sign-outs the feed must hold, as "summary|start|end" in local time.
std::vector<std::string> ExpectedEvents(const BoardSnapshot& s, bool withBob) {
  std::vector<std::string> out;
  for (const BoardEntry& e : s.entries) {
    if (!e.out || (e.returnDay == 0 && e.returnTime < 0) || (!withBob && e.initials == "BOB")) continue;
    const std::string end = e.returnTime >= 0 ? IsoDateTime(e.returnDay, e.returnTime)
                                              : IsoDateTime(e.returnDay + 1, 0);
    std::string summary = e.name + ": " + e.destination;
    std::replace(summary.begin(), summary.end(), '\x07', ' ');
    out.push_back(summary + "|" + IsoDateTime(e.changedDay, e.changedTime) + "|" + end);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Python's icalendar reads the feed: every event as "summary|start|end"
// (wall time), sorted, then "zone ok" when each time carries the offset
// the zone database gives it.
constexpr const char* kReader = R"(
import sys, icalendar
from zoneinfo import ZoneInfo
cal = icalendar.Calendar.from_ical(sys.stdin.buffer.read())
rows, ok = [], True
for ev in cal.walk('VEVENT'):
    s, e = ev.decoded('DTSTART'), ev.decoded('DTEND')
    for t in (s, e):
        ok = ok and t.tzinfo is not None and t.utcoffset() == t.replace(tzinfo=ZoneInfo(sys.argv[1])).utcoffset()
    rows.append('%s|%s|%s' % (ev.decoded('SUMMARY').decode(), s.strftime('%Y-%m-%dT%H:%M'), e.strftime('%Y-%m-%dT%H:%M')))
print('\n'.join(sorted(rows)))
print('zone ok' if ok else 'zone wrong')
)";

std::vector<std::string> ReadFeed(const std::string& feed, const std::string& zone) {
  test::TempDir dir;
  test::writeFile(dir.path() / "feed.ics", feed);
  test::writeFile(dir.path() / "read.py", kReader);
  const auto r = test::RunCommand("/usr/bin/python3 " + test::ShellQuoted((dir.path() / "read.py").string()) + " " +
                                  zone + " < " + test::ShellQuoted((dir.path() / "feed.ics").string()));
  EXPECT_EQ(r.code, 0) << feed;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) lines.push_back(l);
  return lines;
}

// The process's time zone set to zone while it lives: the office's day is
// the day in the zone the program runs in, which near midnight is not the
// day of the machine's own zone.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* tz = std::getenv("TZ")) old_ = tz;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (old_) ::setenv("TZ", old_->c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(BoardData, AnIndependentReaderFindsOneEventPerSignOutWithAReturn) {
  if (!std::filesystem::exists("/usr/bin/python3") || test::RunCommand("/usr/bin/python3 -c 'import icalendar'").code != 0)
    GTEST_SKIP() << "python3-icalendar is missing";
  Office o;
  o.protectBob();
  const BoardSnapshot s = o.snapshot();
  // Zones: one the library knows, and UTC (times converted from the local clock).
  const struct {
    const char* env;
    const char* zone;
    std::vector<std::string> args;
    bool bob;
  } cases[] = {
      {"TZ=Europe/Berlin", "Europe/Berlin", {"calendar", o.md}, false},
      {"TZ=America/New_York", "America/New_York", {"calendar", "--with-protected", o.md}, true},
      {"TZ=UTC", "UTC", {"calendar", o.md}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.env);
    const auto r = RunCliProgram(c.args, c.env);
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("\r\n"), std::string::npos) << "CR LF lines";
    const BoardSnapshot there = [&] {
      ZoneScope zone(c.zone);
      o.demo.fake.clock.current = SystemClock().now();
      return o.snapshot();
    }();
    std::vector<std::string> expected = ExpectedEvents(there, c.bob);
    expected.push_back("zone ok");
    EXPECT_EQ(ReadFeed(r.out, c.zone), expected) << r.out;
  }
  EXPECT_EQ(ExpectedEvents(s, true).size(), 5U) << "four of the demo and the one back tomorrow";
}

TEST(BoardData, TheJsonListsWhatTheBoardListsAndTheRollCallEveryone) {
  Office o;
  const BoardSnapshot s = o.snapshot();
  for (const std::vector<std::string>& sw : {std::vector<std::string>{o.md}, {o.md, "/LE"}, {o.md, "/RT"}}) {
    SCOPED_TRACE(sw.back());
    std::vector<std::string> args{"board", "--format", "json"};
    args.insert(args.end(), sw.begin(), sw.end());
    const auto json = RunCliProgram(args);
    args.erase(args.begin() + 1, args.begin() + 3);
    const auto text = RunCliProgram(args);
    ASSERT_EQ(json.code, 0);
    ASSERT_EQ(text.code, 0);
    const auto doc = nlohmann::json::parse(json.out);
    std::vector<std::string> lines;
    std::istringstream in(text.out);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(doc["entries"].size(), lines.size()) << json.out << text.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto& e = doc["entries"][i];
      EXPECT_NE(lines[i].find(e["name"].get<std::string>()), std::string::npos) << lines[i];
      EXPECT_EQ(e["status"] == "out", !e["destination"].is_null());
      if (e["status"] == "out") {
        // The board's columns show a control character as a blank.
        std::string shown = e["destination"].get<std::string>().substr(0, 20);
        std::replace(shown.begin(), shown.end(), '\x07', ' ');
        EXPECT_NE(lines[i].find(shown), std::string::npos) << lines[i];
      }
      if (!e["returnDate"].is_null()) {
        EXPECT_EQ(e["returnDate"].get<std::string>().size(), 10U);
      }
      if (!e["returnTime"].is_null()) {
        EXPECT_EQ(e["returnTime"].get<std::string>()[2], ':');
      }
    }
  }
  // The roll call in each of its forms: everyone, one in the building.
  const struct {
    const char* format;
    const char* has;
  } forms[] = {{"text", "\nIn the building: 1 of 7\n"},
               {"csv", "initials,name,status,destination,return_date,return_time,stale,changed_by,changed\r\n"},
               {"json", "\"inBuilding\": 1,\n  \"employees\": 7,"}};
  for (const auto& f : forms) {
    const auto r = RunCliProgram({"roll-call", "--format", f.format, o.md});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find(f.has), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Gilles Hart"), std::string::npos) << "UTF-8 names and texts";
    EXPECT_NE(r.out.find("Z\xC3\xBCrich"), std::string::npos);
  }
  EXPECT_EQ(s.inBuilding(), 1);
  EXPECT_EQ(s.entries.size(), 7U);

  // A sign-in names nobody in the record: the office's journal says who.
  o.demo.writer.mcfg.setU8(mcfg::InOutLogShared, 1);
  RecordFile cfg;
  ASSERT_EQ(cfg.open(o.demo.writer.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
  ASSERT_EQ(cfg.write(0, o.demo.writer.mcfg.bytes), 0);
  ASSERT_EQ(RunCliProgram({"in", "--who", "BOB", o.md, "/TU=CLA"}).code, 0);
  const auto bob = nlohmann::json::parse(RunCliProgram({"roll-call", "--format", "json", o.md}).out)["entries"][1];
  EXPECT_EQ(bob["status"], "in");
  EXPECT_EQ(bob["changedBy"], "CLA");
  EXPECT_EQ(bob["changed"].get<std::string>().substr(0, 10), IsoDate(o.demo.writer.Today));
}

TEST(BoardData, WrongUseIsRefused) {
  Office o;
  const struct {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{"roll-call", "--format", "xml", o.md}, 2},   {{"board", "--format", "csv", o.md}, 2},
      {{"calendar", "--format", "json", o.md}, 2},   {{"board", "--format"}, 2},
      {{"roll-call", "--with-protected", o.md}, 2},  {{"roll-call", "/MD=/no/such/folder"}, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCliProgram(c.args).code, c.code) << c.args[0] << " " << c.args[1];
}

TEST(BoardData, TheStatusPageServesTheRollCallFeedAndJsonAndWritesNothing) {
  Office o;
  o.protectBob();
  const auto before = test::Snapshot(o.demo.dir.path());
  const struct {
    const char* path;
    bool withProtected;
    const char* type;
    std::vector<std::string> has;
    std::vector<std::string> hasNot;
  } cases[] = {
      {"/roll-call", false, "text/html; charset=utf-8",
       {"In the building: 1 of 7", "@media print", "beforeprint", "<script nonce=\"n0nce\">", "Z\xC3\xBCrich",
        "&quot;soon&quot;"},
       {"<meta http-equiv=\"refresh\" content=\"5\"><title"}},
      {"/calendar.ics", false, "text/calendar; charset=utf-8", {"BEGIN:VCALENDAR", "SUMMARY:Gilles Hart"}, {"Bob Carter"}},
      {"/calendar.ics", true, "text/calendar; charset=utf-8", {"SUMMARY:Bob Carter", "back \"soon\"\\\\ maybe"}, {}},
      {"/board.json", false, "application/json; charset=utf-8", {"\"status\": \"out\"", "\"returnTime\": \"16:45\""}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    StatusSite site{EGRESSO_PROGRAM_DIR, {o.md}};
    site.protectedHeadlines = c.withProtected;
    const StatusReply r = AnswerStatusRequest(o.demo.fake.platform(), site, {"GET", c.path, "", "", "n0nce"});
    EXPECT_EQ(r.status, 200);
    std::string type, csp;
    for (const auto& [k, v] : r.headers) {
      if (k == "Content-Type") type = v;
      if (k == "Content-Security-Policy") csp = v;
    }
    EXPECT_EQ(type, c.type);
    if (type.rfind("text/html", 0) == 0) {
      EXPECT_NE(csp.find("script-src 'nonce-n0nce'"), std::string::npos) << csp;
    }
    for (const auto& t : c.has) EXPECT_NE(r.body.find(t), std::string::npos) << t << "\n" << r.body;
    for (const auto& t : c.hasNot) EXPECT_EQ(r.body.find(t), std::string::npos) << t;
  }
  EXPECT_EQ(test::Snapshot(o.demo.dir.path()), before);
  StatusSite gone{EGRESSO_PROGRAM_DIR, {"/MD=/no/such/folder"}};
  EXPECT_EQ(AnswerStatusRequest(o.demo.fake.platform(), gone, {"GET", "/roll-call", "", "", "n"}).status, 503);
}

}  // namespace
}  // namespace egresso
