#include "config/switches.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>
#include <functional>
#include <limits>
#include <optional>

#include "core/workstation.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "text/fixed_width.h"

namespace egresso {

namespace {

constexpr std::size_t kSwitchFileMax = 1u << 20;

// One switch being applied: the text upper-cased and as given (folder
// values keep their case on a case-sensitive file system).
struct SwitchText {
  std::string upper;
  std::string given;
  // From a switch file of the data folder, which every account of the
  // office can write, rather than from this workstation's command line.
  bool fromFolderFile = false;
};

using Handler = std::function<void(Workstation&, const SwitchText&, std::string_view key)>;

struct Key {
  std::string_view key;
  Handler apply;
};

std::string valueOf(const SwitchText& t, std::string_view key, std::size_t width = std::string::npos) {
  return t.upper.size() > key.size() ? t.upper.substr(key.size(), width) : std::string();
}

// A decimal integer with an optional sign and surrounding blanks. A value
// with anything else in it is not a number and the switch is ignored, so a
// mistyped switch never changes a stored setting.
std::optional<int> number(std::string_view v) {
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  long long n = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size()) return std::nullopt;
  if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(n);
}

bool allDigits(std::string_view v) {
  return !v.empty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Folder values: at most 80 characters, without the final "/" (file names
// are appended with a leading "/"). A NUL cannot be part of a path.
std::string folderOf(const SwitchText& t, std::string_view key) {
  std::string v = t.given.size() > key.size() ? t.given.substr(key.size(), 80) : std::string();
  v = v.substr(0, v.find('\0'));
  while (!v.empty() && v.back() == '/') v.pop_back();
  return v;
}

// Whether folder is the data folder or lies below it, once both are made
// absolute, ".." taken out and every link that exists followed: a link
// planted inside that points outside counts as outside.
bool insideDataFolder(const Workstation& ws, const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty() || ws.paths.DataFolder.empty()) return false;
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(fs::absolute(ws.paths.DataFolder, ec), ec);
  if (ec) return false;
  const fs::path target = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  if (ec) return false;
  const fs::path rel = target.lexically_normal().lexically_relative(root.lexically_normal());
  return !rel.empty() && *rel.begin() != "..";
}

// A folder the workstation writes to ("/ED=", "/BD="): a switch file of the
// data folder may name one only inside it, or any colleague could have this
// workstation create folders and copy the office's files wherever this
// account may write. Outside ones are taken from the command line only; a
// refused one leaves the folder as it was and is noted for the start.
bool folderAllowed(Workstation& ws, const SwitchText& t, std::string_view key, const std::string& folder) {
  if (!t.fromFolderFile || insideDataFolder(ws, folder)) return true;
  ws.options.RefusedFolderSwitches.push_back(std::string(key) + folder);
  return false;
}

void setNumber(const SwitchText& t, std::string_view key, std::size_t width, int& target) {
  if (auto n = number(valueOf(t, key, width))) target = *n;
}

// A flag switch: key and the option it turns on or off.
Key flag(std::string_view key, bool Options::*option, bool value) {
  return {key, [option, value](Workstation& ws, const SwitchText&, std::string_view) { ws.options.*option = value; }};
}

void applyMainUser(Workstation& ws, const SwitchText& t, std::string_view key) {
  std::string v = valueOf(t, key);
  auto note = [&v](char c) {
    auto at = v.find(c);
    if (at == std::string::npos) return false;
    v.erase(at, 1);
    return true;
  };
  ws.options.MuStar = note('*');
  ws.options.MuHash = note('#');
  ws.options.MuMinus = note('-');
  ws.options.MainUserOverride = v.substr(0, 3);
  if (v == "XXX") {
    ws.mcfg.setStr(mcfg::MainUserInitials, 3, v);
    ws.MultiUser = true;
  }
}

void applyPanel(Workstation& ws, const SwitchText& t, std::string_view) {
  ws.options.CompactMode = true;
  struct Sub {
    std::string_view key;
    int Options::*field;
  };
  static constexpr Sub kSubs[] = {{"/PDH=", &Options::PanelHeight},
                                  {"/PDW=", &Options::PanelWidth},
                                  {"/PDL=", &Options::PanelLeft},
                                  {"/PDT=", &Options::PanelTop}};
  for (const Sub& s : kSubs)
    if (t.upper.starts_with(s.key)) setNumber(t, s.key, 3, ws.options.*s.field);
}

std::vector<Key> buildKeys() {
  std::vector<Key> k;
  k.push_back({"/MD=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 // Nothing left of the value would put the shared files into
                 // the root of the file system.
                 std::string folder = folderOf(t, key);
                 if (folder.empty()) return;
                 ws.paths.DataFolder = std::move(folder);
                 if (!ws.board.ReadOnlyView) createFolder(ws.paths.DataFolder, *ws.files);
                 ws.paths.BackupFolder = ws.paths.DataFolder + "/BACKUP";
               }});
  k.push_back({"/TU=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 ws.ThisUser = valueOf(t, key, 3);
               }});
  k.push_back({"/MU=", applyMainUser});
  k.push_back({"/RD=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 std::string folder = folderOf(t, key);
                 if (folder.empty()) return;  // as "/MD=": never the root folder
                 ws.paths.AltDataFolder = std::move(folder);
                 if (!ws.board.ReadOnlyView) createFolder(ws.paths.AltDataFolder, *ws.files);
                 if (fileExists(ws.paths.DataFolder + "/CFGMAIN.DAF")) {
                   ws.options.NormalDataPresent = true;
                 } else {
                   ws.paths.DataFolder = ws.paths.AltDataFolder;
                   ws.paths.BackupFolder = ws.paths.DataFolder + "/BACKUP";
                 }
               }});
  k.push_back({"/ED=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 std::string folder = folderOf(t, key);
                 // Empty is the default: no extra folder.
                 if (folder.empty() || folderAllowed(ws, t, key, folder)) ws.paths.ExtraFolder = std::move(folder);
               }});
  k.push_back({"/BD=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 std::string folder = folderOf(t, key);
                 if (folderAllowed(ws, t, key, folder)) ws.paths.BackupFolder = std::move(folder);
               }});
  k.push_back({"/LP=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 std::string v = valueOf(t, key);
                 if (allDigits(v))
                   if (auto n = number(v)) ws.options.CalcPrinter = *n - 1;
               }});
  k.push_back({"/PN=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.PhoneDigitsMin);
               }});
  k.push_back({"/EM=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.KeepDays);
               }});
  k.push_back(flag("/IM", &Options::StartMinimised, true));
  k.push_back(flag("/AM", &Options::ArchiveOn, true));
  k.push_back(flag("/DA", &Options::ArchiveOff, true));
  k.push_back({"/EL=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 // The stored timeout is 16 bits; a longer one means "wait very long".
                 if (auto n = number(valueOf(t, key, 5))) ws.options.LockTimeoutSwitch = std::min(*n, 32767);
               }});
  k.push_back(flag("/SI-", &Options::SignAllOutMinus, true));
  k.push_back(flag("/SI+", &Options::SignAllOutPlus, true));
  k.push_back(flag("/SJ-", &Options::OwnSignInMinus, true));
  k.push_back(flag("/SJ+", &Options::OwnSignInPlus, true));
  k.push_back(flag("/IL+", &Options::ReportsUserPlus, true));
  k.push_back(flag("/IL-", &Options::ReportsUserMinus, true));
  k.push_back(flag("/IL*", &Options::NoReportUser, true));
  k.push_back(flag("/PW+", &Options::PasswordPlus, true));
  k.push_back(flag("/UA+", &Options::AllPasswordPlus, true));
  k.push_back(flag("/UA-", &Options::AllPasswordMinus, true));
  k.push_back(flag("/NT", &Options::PrintTitle, false));
  k.push_back(flag("/LE", &Options::ShowEveryEntry, false));
  k.push_back({"/WC", [](Workstation& ws, const SwitchText&, std::string_view) {
                 ws.options.WorkClock = !ws.options.WorkClock;
               }});
  k.push_back(flag("/MC", &Options::StartInMessages, true));
  k.push_back(flag("/RT", &Options::ReturnFirst, true));
  k.push_back(flag("/NO", &Options::Notifications, false));
  k.push_back({"/NL=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 ws.options.Notifications = true;
                 ws.paths.NotificationText = valueOf(t, key, 120);
               }});
  k.push_back(flag("/SA", &Options::NotifyAll, true));
  k.push_back(flag("/NA-", &Options::NotifyAll, false));
  k.push_back(flag("/UM", &Options::MorningRun, false));
  k.push_back(flag("/TS", &Options::TallBoard, true));
  k.push_back(flag("/MM", &Options::MemoReadOnly, true));
  k.push_back(flag("/NB", &Options::BoldPrint, false));
  k.push_back(flag("/OT", &Options::TimeStamped, true));
  k.push_back(flag("/MF", &Options::NoticesFromFile, true));
  k.push_back(flag("/SL+", &Options::LogPlus, true));
  k.push_back(flag("/SLO+", &Options::LogSharedPlus, true));
  k.push_back(flag("/SL-", &Options::LogMinus, true));
  k.push_back(flag("/SLO-", &Options::LogSharedMinus, true));
  k.push_back(flag("/TB+", &Options::TracePlus, true));
  k.push_back(flag("/TB-", &Options::TraceMinus, true));
  k.push_back(flag("/MS", &Options::NoSwitch, true));
  k.push_back(flag("/DS", &Options::SortedBoard, false));
  k.push_back({"/QR-", [](Workstation& ws, const SwitchText&, std::string_view) {
                 ws.options.IndexedScan = !ws.options.IndexedScan;
               }});
  k.push_back(flag("/DT", &Options::ReturnDateTime, true));
  k.push_back(flag("/NS", &Options::StretchPrint, false));
  k.push_back({"/SZ=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.ZoneHours);
               }});
  k.push_back(flag("/TY", &Options::TrayIcon, false));
  k.push_back(flag("/FI", &Options::FlashMode, true));
  k.push_back({"/UT=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, 2, ws.options.DailyOffsetSwitch);
               }});
  k.push_back(flag("/SS", &Options::QuietBoard, true));
  k.push_back({"/FT=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, 3, ws.options.HostTimerSwitch);
               }});
  k.push_back({"/BT=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, 3, ws.options.BoardTimerSwitch);
               }});
  k.push_back(flag("/BU", &Options::DailyBackup, false));
  k.push_back({"/OC=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 // Colour numbers 1..16 index the board's colour table.
                 if (auto n = number(valueOf(t, key, 2)); n && *n >= 0 && *n <= 16) ws.options.OutColour = *n;
               }});
  k.push_back(flag("/SR+", &Options::StaggerPlus, true));
  k.push_back(flag("/SR-", &Options::StaggerMinus, true));
  k.push_back(flag("/LS", &Options::OwnEntryOnly, true));
  k.push_back(flag("/SX", &Options::AutoInOut, true));
  k.push_back({"/PD", applyPanel});
  k.push_back(flag("/EC", &Options::DecimalComma, true));
  k.push_back({"/CL=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.CalcRowsSwitch);
               }});

  // Keys of the office suite: accepted, kept, not acted on here.
  static constexpr std::string_view kSuite[] = {
      "/DP=", "/EP=", "/EPO=", "/KP",  "/CS",  "/EX",  "/CU",  "/MP",  "/CT",  "/P1=", "/CP=", "/UD",  "/ST",
      "/BG",  "/LI=", "/FP",   "/PP",  "/EB",  "/UM",  "/BL",  "/FM",  "/EA",  "/FH",  "/PS",  "/ME",  "/NP",
      "/UP",  "/PB",  "/TO",   "/PH",  "/PR",  "/SF",  "/FE",  "/FS",  "/AE",  "/LF",  "/AI",  "/AS",  "/PX",
      "/SN",  "/ND",  "/PU",   "/UE",  "/NU",  "/LU",  "/DB",  "/WN",  "/DV",  "/BA",  "/OE",  "/AD",  "/SC",
      "/LC",  "/SP",  "/SQ",   "/UI",  "/CB",  "/UJ",  "/JS",  "/WR",  "/SD",  "/SM",  "/SO",  "/PF",  "/DL",
      "/PC",  "/PT",  "/C6",   "/C7",  "/DD",  "/CM",  "/BP",  "/NC",  "/NR",  "/IAX", "/IP",  "/IPX", "/AV=",
      "/TD",  "/ID",  "/CC=",  "/WL=", "/PE=", "/PM=", "/JW=", "/DC=", "/D1=", "/D2=", "/ZC",  "/FF",  "/CN",
      "/BC+", "/SB",  "/NN",   "/DN",  "/LK",  "/LK+", "/WM",  "/SW",  "/LM+", "/LM-", "/TT",  "/UR",  "/BE",
      "/IT",  "/RA",  "/RC",   "/ES",  "/DM",  "/F1=", "/PLE", "/QF",  "/UF",  "/HP"};
  for (std::string_view key : kSuite) {
    k.push_back({key, [](Workstation& ws, const SwitchText& t, std::string_view key) {
                   std::string v = key.ends_with('=') ? valueOf(t, key) : std::string();
                   if ((key == "/P1=" || key == "/CP=" || key == "/LI=") && !allDigits(v)) return;
                   ws.options.SuiteOptions[std::string(key)] = v;
                 }});
  }
  // Four suite keys still change stored bytes.
  k.push_back(flag("/CD", &Options::CdGiven, true));
  k.push_back(flag("/12", &Options::TwelveGiven, true));
  k.push_back({"/ET=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.EtValue);
               }});
  k.push_back({"/EE=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 setNumber(t, key, std::string::npos, ws.options.EeValue);
               }});
  k.push_back(flag("/FL", &Options::FlagLogMode, true));
  k.push_back({"/AN=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 ws.paths.AnnouncementText = valueOf(t, key, 80);
               }});
  k.push_back({"/IA=", [](Workstation& ws, const SwitchText& t, std::string_view key) {
                 ws.paths.ImportText = valueOf(t, key, 120);
               }});
  return k;
}

const std::vector<Key>& keys() {
  // Built once; the table is constant, it holds no state of any workstation.
  static const std::vector<Key> kKeys = buildKeys();
  return kKeys;
}

int applySwitch(Workstation& ws, std::string_view text, bool fromFolderFile) {
  SwitchText t;
  t.given = std::string(text.substr(0, kSwitchTextMax));
  t.upper = UpperText(t.given);
  t.fromFolderFile = fromFolderFile;
  int matched = 0;
  for (const Key& k : keys()) {
    if (!t.upper.starts_with(k.key)) continue;
    ++matched;
    k.apply(ws, t, k.key);
  }
  return matched;
}

// Applies every line of a switch file; a file that cannot be opened is
// skipped. Only the first 254 characters of a line count; the rest of an
// over-long line is passed over, never taken for a line of its own.
void applySwitchFile(Workstation& ws, const std::string& path) {
  // Read through the folder's one way in (no link, no FIFO), and no more
  // of it than a switch file may hold.
  std::string all;
  if (ReadFileBounded(*ws.files, path, kSwitchFileMax, all) != io::Ok) return;
  std::istringstream in(all);
  std::string line;
  bool pending = false;
  auto apply = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    applySwitch(ws, line, true);
    line.clear();
    pending = false;
  };
  char c;
  while (in.get(c)) {
    if (c == '\n') {
      apply();
      continue;
    }
    pending = true;
    // One character more than a switch can hold, for the CR of a full line.
    if (line.size() <= kSwitchTextMax) line.push_back(c);
  }
  if (pending) apply();
}

}  // namespace

int ApplySwitch(Workstation& ws, std::string_view text) { return applySwitch(ws, text, false); }

void LoadSwitches(Workstation& ws, const std::vector<std::string>& args) {
  Options fresh;
  fresh.SmallFonts = ws.options.SmallFonts;
  fresh.FontScale = ws.options.FontScale;
  fresh.Display = ws.options.Display;
  ws.options = std::move(fresh);
  for (const std::string& a : args)
    if (a.size() > 2) ApplySwitch(ws, a);
  // Each name is built when its file is opened: a "/MD=" or "/TU=" in the
  // first file decides where the second is looked for.
  applySwitchFile(ws, ws.paths.DataFolder + "/F" + ws.ThisUser + ".DAF");
  applySwitchFile(ws, ws.paths.DataFolder + "/FALL.DAF");
}

void ReportRefusedSwitches(Workstation& ws) {
  std::vector<std::string> refused;
  refused.swap(ws.options.RefusedFolderSwitches);
  if (refused.empty()) return;
  std::string text =
      "A switch file of the data folder names a folder outside the data folder; only this workstation's "
      "command line may do that. The default folder is used instead of:";
  for (const std::string& s : refused) {
    if (ws.mcfg.flag(mcfg::TraceLog)) traceLine(ws, "Switch refused: " + s + traceSuffix(ws));
    text += "\n" + s;
  }
  if (ws.platform.dialogs) ws.platform.dialogs->messageBox(text, BoxKind::Warning);
}

}  // namespace egresso
