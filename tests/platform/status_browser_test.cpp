// The status page in a real browser: Debian's headless Chromium renders the
// page of the running `egresso-cli serve`. Skipped where Chromium is not
// installed.
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/serve_process.h"

namespace egresso::test {
namespace {

const char* const kChromium = "/usr/bin/chromium";

// Runs headless Chromium on the url with a throw-away profile; its standard
// output ("written" for a screenshot that was written). Chromium now and
// then gives nothing on a loaded machine, so such a run is tried again.
std::string RunChromium(const std::string& action, const std::string& url, const TempDir& scratch) {
  std::string out;
  const bool screenshot = action.rfind("--screenshot", 0) == 0;
  for (int attempt = 0; attempt < 3 && out.empty(); ++attempt) {
    std::filesystem::remove(scratch / "page.png");
    const std::string profile = scratch.str() + "/profile" + std::to_string(attempt);
    const std::string command =
        "cd " + scratch.str() + " && timeout 120 " + kChromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --no-proxy-server --hide-scrollbars --user-data-dir=" +
        profile + " " + action + " '" + url + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) continue;
    std::array<char, 4096> buf;
    for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
    pclose(p);
    if (screenshot) out = std::filesystem::exists(scratch / "page.png") ? "written" : "";
  }
  return out;
}

TEST(StatusBrowser, ChromiumRendersTheEscapedBoardAndItsChanges) {
  if (access(kChromium, X_OK) != 0) GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
  ServedDemo site;
  Workstation& w = site.demo.writer;
  // Markup in destinations must reach the DOM as text, not as elements.
  SignOutTo(w, 2, "<script>alert(1)</script>");
  SignOutTo(w, 3, "<img src=x onerror=alert(2)>");
  ServeProcess server({"/MD=" + site.demo.dir.str()});
  ASSERT_GT(server.port(), 0);
  TempDir scratch;

  std::string dom = RunChromium("--dump-dom", server.url(), scratch);
  ASSERT_NE(dom.find("<h1>In/Out Board</h1>"), std::string::npos) << dom.substr(0, 500);
  EXPECT_NE(dom.find("Bob Carter"), std::string::npos);
  EXPECT_NE(dom.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(dom.find("&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
  EXPECT_EQ(dom.find("<script"), std::string::npos);
  EXPECT_EQ(dom.find("<img"), std::string::npos);

  ASSERT_FALSE(RunChromium("--screenshot=page.png --window-size=1280,800", server.url(), scratch).empty());
  const std::string png = readFile(scratch / "page.png");
  EXPECT_GT(png.size(), 1000u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");

  // A change in the data folder is on the page the browser loads next.
  SignOutTo(w, 5, "Gone fishing");
  dom = RunChromium("--dump-dom", server.url(), scratch);
  EXPECT_NE(dom.find("Gone fishing"), std::string::npos);
  dom = RunChromium("--dump-dom", server.url("/messages/DAN"), scratch);
  EXPECT_NE(dom.find("Team meeting moved to Thursday 10:00"), std::string::npos);
}

}  // namespace
}  // namespace egresso::test
