// Arbitrary bytes as NOTICES.TXT: the table loads or is refused, every line
// is one line of the file, and every text looked up, from the table or
// straight from the file's records, expands to at most 254 characters.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "config/notices_file.h"
#include "text/notices.h"

using namespace egresso;
using egresso::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  const std::uint8_t flags = data[0];
  const int probe = data[1] | (data[2] << 8);
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  // Small files stand for the table's thousands of lines when repeated.
  if (flags & 1) {
    std::string big;
    while (big.size() < 40000 && !text.empty()) big += text + "\r\n";
    text = big;
  }
  test::writeFile(dir / ((flags & 2) ? "notices.txt" : "NOTICES.TXT"), text);
  ws.paths.NoticesPath = dir.str() + "/NOTICES.TXT";
  ws.notices.Terms[0] = std::string(flags % 16, 'T');
  ws.notices.Terms[1] = "Project";
  ws.notices.Terms[3] = std::string(15, 'A');
  ws.notices.UseSecondShortWord = flags & 4;

  const bool loaded = LoadNotices(ws);
  if (loaded) {
    const auto& t = ws.notices;
    for (const auto& line : t.lines) require(line.find('\n') == std::string::npos, "a line holds no line end");
    require(!t.lines.empty(), "a loaded table holds text");
    require(t.ShortWords[0].size() <= 12 && t.ShortWords[1].size() <= 12, "short words cut");
    require(t.lines.size() < 204 || !t.StartupTerms.empty(), "start-up terms split");
    for (std::size_t n = 1; n <= std::min<std::size_t>(t.lines.size(), 300); ++n)
      require(MessageText(ws, static_cast<int>(n)).size() <= 254, "expanded text cut");
  } else {
    require(ws.notices.lines.empty(), "a refused file leaves the table alone");
  }
  require(MessageText(ws, probe - 100).size() <= 254, "any number looks up safely");
  ws.options.NoticesFromFile = true;
  require(MessageText(ws, probe % 2000).size() <= 254, "direct read within its record");
  for (int kind = -1; kind <= 4; ++kind) require(DialogCaption(ws, kind).size() <= 254, "caption cut");
  return 0;
}
