#include "board/status_page.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <vector>

#include "board/board_list.h"
#include "config/records.h"
#include "storage/record_io.h"
#include "support/demo_folder.h"
#include "support/faulty_file_ops.h"

namespace egresso {
namespace {

using test::DemoFolder;

void SaveMainConfig(Workstation& w) {
  RecordFile f;
  ASSERT_EQ(f.open(w.paths.MainConfigPath, mcfg::Size, RecordFile::Mode::ReadWrite, PosixFileOps()), 0);
  ASSERT_EQ(f.write(0, w.mcfg.bytes), 0);
}

StatusReply Ask(DemoFolder& d, const std::string& path, const std::string& user = {},
                const std::string& method = "GET", std::vector<std::string> switches = {}) {
  switches.insert(switches.begin(), "/MD=" + d.dir.str());
  return AnswerStatusRequest(d.fake.platform(), {EGRESSO_PROGRAM_DIR, switches}, {method, path, user, "", "n0nce"});
}

std::string Header(const StatusReply& r, const std::string& name) {
  for (const auto& [k, v] : r.headers)
    if (k == name) return v;
  return {};
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

TEST(StatusPage, EscapesEveryTextAndSpeaksUtf8) {
  EXPECT_EQ(HtmlEscape("<script>alert(\"x\")</script> & 'y'"),
            "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;y&#39;");
  EXPECT_EQ(HtmlEscape(std::string("a\0b", 3)), "a\xEF\xBF\xBD" "b");

  DemoFolder d;
  test::SignOutTo(d.writer, 2, "<script>alert(1)</script> \"Q\" & 'A'");
  // Employee names and destinations are Windows-1252 in the files.
  d.writer.mcfg.setEmpName(3, "Jos\xE9 M\x80ller");
  SaveMainConfig(d.writer);
  const StatusReply r = Ask(d, "/");
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(Header(r, "Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(r.body.find("&lt;script&gt;alert(1)&lt;/script&gt; &quot;Q&quot; &amp; &#39;A&#39;"), std::string::npos);
  EXPECT_EQ(Lower(r.body).find("<script"), std::string::npos);
  EXPECT_NE(r.body.find("Jos\xC3\xA9 M\xE2\x82\xACller"), std::string::npos) << "UTF-8 of the Windows-1252 name";
  EXPECT_EQ(r.body.find("Jos\xE9"), std::string::npos);

  // The longest destination a record holds, all of it markup: the page
  // shows the board's 36 columns of it, each character escaped whole.
  test::SignOutTo(d.writer, 2, std::string(30, '<') + std::string(30, '&'));
  const StatusReply huge = Ask(d, "/");
  std::string cell;
  for (int i = 0; i < 30; ++i) cell += "&lt;";
  for (int i = 0; i < 6; ++i) cell += "&amp;";
  EXPECT_NE(huge.body.find("<td class=\"where\">" + cell + "</td>"), std::string::npos);
}

TEST(StatusPage, RoutesMethodsAndSafeHeaders) {
  DemoFolder d;
  d.writer.mcfg.setU8(mcfg::BoardTimerSeconds, 9);
  SaveMainConfig(d.writer);

  const StatusReply board = Ask(d, "/");
  ASSERT_EQ(board.status, 200);
  EXPECT_NE(board.body.find("Bob Carter"), std::string::npos);
  EXPECT_NE(board.body.find("<meta http-equiv=\"refresh\" content=\"10\">"), std::string::npos)
      << "reloads once a board tick";
  EXPECT_EQ(Header(board, "X-Content-Type-Options"), "nosniff");
  const std::string csp = Header(board, "Content-Security-Policy");
  EXPECT_NE(csp.find("default-src 'none'"), std::string::npos);
  EXPECT_NE(csp.find("style-src 'nonce-n0nce'"), std::string::npos);
  EXPECT_EQ(csp.find("unsafe"), std::string::npos);
  EXPECT_NE(board.body.find("<style nonce=\"n0nce\">"), std::string::npos);
  EXPECT_EQ(Lower(board.body).find("style=\""), std::string::npos) << "no inline style the policy would block";
  EXPECT_EQ(Ask(d, "/", {}, "HEAD").status, 200);

  // Messages: by path or by the form's query, initials in any case.
  for (const auto& [path, user] : {std::pair<std::string, std::string>{"/messages/ANN", ""},
                                   {"/messages/ann", ""},
                                   {"/messages", "Ann"}}) {
    const StatusReply m = Ask(d, path, user);
    ASSERT_EQ(m.status, 200) << path << " " << user;
    EXPECT_NE(m.body.find("Team meeting moved to Thursday"), std::string::npos);
    EXPECT_NE(m.body.find("Please sign the expense reports"), std::string::npos);
    EXPECT_NE(m.body.find("Sent or read by ANN:"), std::string::npos);
  }
  const StatusReply bob = Ask(d, "/messages/BOB");
  ASSERT_EQ(bob.status, 200);
  EXPECT_NE(bob.body.find("Sent or read by BOB:"), std::string::npos);
  EXPECT_EQ(bob.body.find("Team meeting moved to Thursday"), std::string::npos) << "addressed to Ann only";

  for (const std::string& path : std::vector<std::string>{"/index.html", "/../../etc/passwd", "/messages/../../etc/passwd", "/messages/",
                                 "/messages/ZZZ", "/messages/ANNA", "/messages/A/B", std::string("/\0", 2),
                                 std::string("/messages/A\0", 12), "//", "/messages/ /", "/MESSAGES/ANN", ""}) {
    const StatusReply r = Ask(d, path);
    EXPECT_EQ(r.status, 404) << path;
    EXPECT_EQ(Header(r, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(r.body.find("root:"), std::string::npos);
  }
  EXPECT_EQ(Ask(d, "/messages", "").status, 404);
  EXPECT_EQ(Ask(d, "/messages", "\xFF\xFE").status, 404) << "not UTF-8";

  for (const std::string method : {"POST", "PUT", "DELETE", "OPTIONS", "TRACE", "PATCH", "get"}) {
    const StatusReply r = Ask(d, "/", {}, method);
    EXPECT_EQ(r.status, 405) << method;
    EXPECT_EQ(Header(r, "Allow"), "GET, HEAD");
  }
}

TEST(StatusPage, ReadsOnlyAndCopesWithMissingFiles) {
  DemoFolder d;
  Workstation& w = d.writer;
  // What a board would write on sight: yesterday's sign-out expires, a
  // message past the keeping period is closed, a notification is consumed.
  w.ListMode = 1;
  SelectBoardFiles(w);
  ASSERT_EQ(ReadBoardRecord(w, 6, "T"), 0);
  w.board.RecordBuffer.setReturnDay(static_cast<std::int16_t>(w.Today - 1));
  ASSERT_EQ(WriteBoardRecord(w, 6, "T"), 0);
  w.ListMode = 0;
  SelectBoardFiles(w);
  ASSERT_EQ(ReadBoardRecord(w, 0, "T"), 0);
  w.board.RecordBuffer.setMadeDay(static_cast<std::int16_t>(w.Today - 30));
  ASSERT_EQ(WriteBoardRecord(w, 0, "T"), 0);
  test::writeFile(d.dir / "TIMER.ANN", "M");
  const auto before = test::Snapshot(d.dir.path());
  for (const std::string path : {"/", "/messages/ANN", "/messages/BOB", "/nothing"}) Ask(d, path);
  Ask(d, "/", {}, "GET", {"/RT"});
  Ask(d, "/", {}, "GET", {"/PD", "/OT"});
  EXPECT_EQ(test::Snapshot(d.dir.path()), before);

  // The other layouts keep every column they show.
  const StatusReply first = Ask(d, "/", {}, "GET", {"/RT"});
  EXPECT_NE(first.body.find("<td class=\"time\">9:00A</td><td class=\"date\">9 DEC 26</td>"
                            "<td class=\"name\">Daniel Evans</td>"),
            std::string::npos);
  const StatusReply compact = Ask(d, "/", {}, "GET", {"/PD"});
  EXPECT_NE(compact.body.find("Daniel Evans: Trade fair in Lyon  9:00A 9 DEC 26<"), std::string::npos);

  // A folder without any record file yet: an empty board, nothing created.
  test::TempDir empty;
  const StatusReply none = AnswerStatusRequest(d.fake.platform(), {EGRESSO_PROGRAM_DIR, {"/MD=" + empty.str()}},
                                               {"GET", "/", "", "", "x"});
  EXPECT_EQ(none.status, 200);
  EXPECT_NE(none.body.find("No entries."), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(empty.path()));
  const std::string gone = empty.str() + "/gone";
  EXPECT_EQ(AnswerStatusRequest(d.fake.platform(), {EGRESSO_PROGRAM_DIR, {"/MD=" + gone}}, {"GET", "/", "", "", "x"}).status,
            503);
  EXPECT_FALSE(std::filesystem::exists(gone));
}

TEST(StatusPage, TheHostHeaderMustNameTheSite) {
  DemoFolder d;
  StatusSite local{EGRESSO_PROGRAM_DIR, {"/MD=" + d.dir.str()}}, office = local;
  std::string error;
  ASSERT_TRUE(AddHostNames("Board.Office.LAN.,192.168.1.20", office.hostNames, error));
  struct Case {
    const StatusSite* site;
    std::vector<std::string> hosts;
    int status;
  };
  for (const Case& c : std::vector<Case>{
           {&local, {"", "localhost", "LOCALHOST:8080", "localhost.:80", "127.0.0.1:8080", "127.1.2.3", "[::1]:8080"}, 200},
           {&local, {"evil.example", "evil.example:8080", "localhost.evil.example", "127.0.0.1.evil.example", "[::2]:80",
                     "10.0.0.5:8080", "[::1", "board.office.lan"}, 403},
           {&office, {"board.office.lan", "BOARD.office.lan.:8080", "192.168.1.20:8080", "localhost"}, 200},
           {&office, {"evil.example", "board.office.lan.evil.example", "192.168.1.21"}, 403}})
    for (const std::string& host : c.hosts)
      EXPECT_EQ(AnswerStatusRequest(d.fake.platform(), *c.site, {"GET", "/messages/ANN", "", host, "x"}).status, c.status)
          << host;
  for (const char* bad : {"", "a b", "board,,x", "x/y", "a\r\nb"}) EXPECT_FALSE(AddHostNames(bad, office.hostNames, error)) << bad;
}

// The headlines of an employee whose entry asks for a password, by the
// entry's own setting or the main configuration's for everybody.
TEST(StatusPage, ProtectedHeadlinesOnlyWhenAsked) {
  DemoFolder d;
  StatusSite site{EGRESSO_PROGRAM_DIR, {"/MD=" + d.dir.str()}};
  const auto personal = d.dir.path() / "CFGANN.DAF", main = d.dir.path() / "CFGMAIN.DAF";
  const std::string mainBefore = test::readFile(main);
  for (const auto& [file, offset] : {std::pair{personal, pcfg::RequestPassword}, std::pair{main, mcfg::PasswordForAll}}) {
    std::string bytes = file == personal ? std::string(pcfg::Size, '\0') : mainBefore;
    bytes[offset] = 1;
    test::writeFile(file, bytes);
    for (const bool shown : {false, true}) {
      site.protectedHeadlines = shown;
      const StatusReply r = AnswerStatusRequest(d.fake.platform(), site, {"GET", "/messages/ANN", "", "", "x"});
      EXPECT_EQ(r.status, shown ? 200 : 403) << file;
      EXPECT_EQ(r.body.find("Team meeting") != std::string::npos, shown) << file;
    }
    std::filesystem::remove(personal);
    test::writeFile(main, mainBefore);
  }
}

// Only a personal file that is not there means no password: whatever stands
// in its place that cannot be read whole may be one that asks, so the
// headlines are refused and the sign-out is left out of the calendar.
TEST(StatusPage, APersonalFileThatCannotBeReadCountsAsProtected) {
  DemoFolder d;
  test::SignOutTo(d.writer, 1, "Visiting the harbour");
  const auto personal = d.dir.path() / "CFGANN.DAF";
  test::TempDir outside;
  test::writeFile(outside.path() / "plain.DAF", std::string(pcfg::Size, '\0'));
  test::RefusingFileOps refusing("CFGANN.DAF", EACCES);
  struct Row {
    const char* what;
    std::function<void()> plant;
    FileOps* files;
    bool isProtected;
  };
  const std::string asks = [] {
    std::string b(pcfg::Size, '\0');
    b[pcfg::RequestPassword] = 1;
    return b;
  }();
  const std::vector<Row> rows{
      {"missing", [] {}, nullptr, false},
      {"readable, no password", [&] { test::writeFile(personal, std::string(pcfg::Size, '\0')); }, nullptr, false},
      {"readable, password", [&] { test::writeFile(personal, asks); }, nullptr, true},
      {"too short", [&] { test::writeFile(personal, "\0\0\0"); }, nullptr, true},
      {"mode 000", [&] {
         test::writeFile(personal, std::string(pcfg::Size, '\0'));
         std::filesystem::permissions(personal, std::filesystem::perms::none);
       }, nullptr, true},
      {"refused to this account", [&] { test::writeFile(personal, std::string(pcfg::Size, '\0')); }, &refusing, true},
      {"link to a file without password", [&] { std::filesystem::create_symlink(outside.path() / "plain.DAF", personal); },
       nullptr, true},
      {"FIFO", [&] { ASSERT_EQ(::mkfifo(personal.c_str(), 0666), 0); }, nullptr, true},
      {"folder", [&] { std::filesystem::create_directory(personal); }, nullptr, true},
  };
  for (const Row& row : rows) {
    std::filesystem::remove_all(personal);
    row.plant();
    // root reads a file of mode 000 all the same; the seam's row stands for it.
    if (std::string(row.what) == "mode 000" && ::geteuid() == 0) continue;
    const StatusSite site{EGRESSO_PROGRAM_DIR, {"/MD=" + d.dir.str()}, {}, false, row.files};
    const StatusReply headlines = AnswerStatusRequest(d.fake.platform(), site, {"GET", "/messages/ANN", "", "", "x"});
    EXPECT_EQ(headlines.status, row.isProtected ? 403 : 200) << row.what;
    EXPECT_EQ(headlines.body.find("Team meeting") == std::string::npos, row.isProtected) << row.what;
    const StatusReply calendar = AnswerStatusRequest(d.fake.platform(), site, {"GET", "/calendar.ics", "", "", "x"});
    ASSERT_EQ(calendar.status, 200) << row.what;
    EXPECT_EQ(calendar.body.find("Visiting the harbour") == std::string::npos, row.isProtected) << row.what;
    EXPECT_NE(calendar.body.find("Client visit"), std::string::npos) << row.what << ": the others stay";
  }
  std::filesystem::remove_all(personal);
}

TEST(StatusPage, ListenAddresses) {
  ListenAddress a;
  std::string error;
  ASSERT_TRUE(ParseListenAddress("127.0.0.1:8080", a, error));
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_EQ(a.port, 8080);
  ASSERT_TRUE(ParseListenAddress("[::1]:0", a, error));
  EXPECT_EQ(a.host, "::1");
  EXPECT_EQ(a.port, 0);
  ASSERT_TRUE(ParseListenAddress("board-screen.local:80", a, error));
  for (const char* bad : {"", "8080", ":8080", "127.0.0.1", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:-1",
                          "127.0.0.1:80x", "::1:80", "[::1:80", "a b:80", "host/x:80"})
    EXPECT_FALSE(ParseListenAddress(bad, a, error)) << bad;
}

}  // namespace
}  // namespace egresso
