// Arbitrary command lines and switch files: every value lands cut to its
// room, folder values never name the root or hold a NUL, and a text that is
// no switch changes nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "config/switches.h"
#include "fuzz_support.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

void checkFolder(const std::string& folder, bool mayBeEmpty) {
  require(folder.find('\0') == std::string::npos, "folder without NUL");
  require(mayBeEmpty || !folder.empty(), "folder never the root");
  require(folder.empty() || folder.back() != '/', "folder without a final slash");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  // No folder a fuzzed switch names is made on this machine.
  ws.board.ReadOnlyView = true;
  ws.paths.DataFolder = dir.str();
  ws.ThisUser = "ANN";
  std::vector<std::string> parts = split(std::string(reinterpret_cast<const char*>(data), size), '\xFF');
  parts.resize(3);
  test::writeFile(dir / "FANN.DAF", parts[1]);
  test::writeFile(dir / "FALL.DAF", parts[2]);
  std::vector<std::string> args = split(parts[0], '\n');

  LoadSwitches(ws, args);
  const Options& o = ws.options;
  require(ws.ThisUser.size() <= 3, "user initials");
  require(o.MainUserOverride.size() <= 3, "main user initials");
  checkFolder(ws.paths.DataFolder, false);
  checkFolder(ws.paths.ExtraFolder, true);
  require(ws.paths.DataFolder.size() <= 80 || ws.paths.DataFolder == dir.str(), "data folder cut");
  require(o.OutColour >= 0 && o.OutColour <= 16, "out colour");
  require(o.LockTimeoutSwitch <= 32767, "lock timeout fits its field");
  require(o.DailyOffsetSwitch >= -9 && o.DailyOffsetSwitch <= 99 || o.DailyOffsetSwitch == -99, "daily offset");
  require(o.HostTimerSwitch >= -99 && o.HostTimerSwitch <= 999, "host timer");
  require(o.BoardTimerSwitch >= -99 && o.BoardTimerSwitch <= 999, "board timer");
  require(o.PanelHeight >= -99 && o.PanelHeight <= 999, "panel height");
  require(ws.paths.AnnouncementText.size() <= 80, "announcement text");
  require(ws.paths.ImportText.size() <= 120 && ws.paths.NotificationText.size() <= 120, "texts cut");
  for (const auto& [key, value] : o.SuiteOptions) require(key.size() <= 5 && value.size() <= 254, "suite option");

  // A line that matches no key leaves everything as it was.
  for (const std::string& a : args) {
    Workstation probe(fp.platform());
    probe.board.ReadOnlyView = true;
    probe.paths.DataFolder = dir.str();
    const std::string before = probe.paths.DataFolder + probe.ThisUser;
    const int matched = ApplySwitch(probe, a);
    require(matched >= 0, "match count");
    if (matched == 0)
      require(probe.paths.DataFolder + probe.ThisUser == before && probe.options.SuiteOptions.empty() &&
                  probe.options.Notifications && !probe.options.CompactMode,
              "no switch, no change");
  }
  return 0;
}
