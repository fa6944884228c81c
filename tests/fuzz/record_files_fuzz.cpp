// Arbitrary bytes as the files of a calendar set and a client set: every
// read, scan, list and write copes, and the partial record at the end of a
// damaged data file is never overwritten.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "storage/record_files.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

const char* const kFiles[] = {"SCHED.DAF", "SCHED.DAI", "SCHED.DAE", "SCHED.DAQ", "PROJ.DAF", "PROJ.DAI", "PROJ.DAE"};
constexpr std::size_t kFileCount = sizeof(kFiles) / sizeof(kFiles[0]);

// Each file is the pattern of its slice of the input repeated up to a length
// the header chooses, so that small inputs still make files of several
// records and index pages.
struct Reader {
  const std::uint8_t* data;
  std::size_t size, pos = 0;
  std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
  std::size_t word() { return byte() | (static_cast<std::size_t>(byte()) << 8); }
};

std::string tiled(const std::uint8_t* p, std::size_t n, std::size_t length) {
  std::string s(length, '\0');
  if (n > 0)
    for (std::size_t i = 0; i < length; ++i) s[i] = static_cast<char>(p[i % n]);
  return s;
}

std::string tailOf(const std::string& path, std::size_t recordSize) {
  std::string content = test::readFile(path);
  return content.substr(content.size() - content.size() % recordSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  test::TempDir dir;
  test::FakePlatform fp;
  fp.dialogs.answers = {2, 2, 2, 2};
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.Today = 5000;
  auto& p = ws.paths;
  p.DataFolder = dir.str();
  p.SchedDataPath = dir.str() + "/SCHED.DAF";
  p.SchedIndexPath = dir.str() + "/SCHED.DAI";
  p.ClientDataPath = dir.str() + "/PROJ.DAF";
  p.ClientIndexPath = dir.str() + "/PROJ.DAI";
  p.ClientNamesPath = dir.str() + "/PROJ.DAE";
  ws.locks.TraceFolder = dir.str();

  Reader in{data, size};
  std::uint8_t flags = in.byte();
  ws.options.NoDisplayNames = flags & 1;
  ws.options.MarkFlaggedClients = flags & 2;
  ws.engine.LogMode = flags & 4;
  std::size_t lengths[kFileCount];
  for (auto& l : lengths) l = in.word() % 40000;
  std::size_t rest = size - std::min(size, in.pos);
  std::size_t slice = rest / kFileCount;
  for (std::size_t i = 0; i < kFileCount; ++i) {
    if (lengths[i] == 0 && (flags & 8)) continue;  // a missing file
    test::writeFile(dir / kFiles[i], tiled(data + in.pos + i * slice, slice, lengths[i]));
  }
  std::string schedTail = tailOf(p.SchedDataPath, kCalRecordSize);
  std::string clientTail = tailOf(p.ClientDataPath, kClientRecordSize);
  in.pos += slice * kFileCount;

  std::int32_t recNo = static_cast<std::int32_t>(in.word() % 64) - 1;
  ReadCalRecord(ws, p.SchedDataPath, recNo, "F1");
  BuildQuickRecord(ws);
  ExpandQuickRecord(ws);
  std::int32_t last = ws.engine.LastCalRecord;
  ReadCalIndexPage(ws, p.SchedIndexPath, IndexPageOf(recNo), "F2");
  SetIndexEntry(ws, IndexEntryOf(recNo));

  // A scan over the whole set as the maintenance does it.
  if (BeginCalScan(ws, p.SchedDataPath, p.SchedIndexPath) == 0) {
    for (std::int32_t n = 1; n <= last; ++n) {
      if (IndexEntryOf(n) == 1) ReadCalIndexPage(ws, "", IndexPageOf(n), "F3");
      ReadCalRecord(ws, "", n, "F4");
      require(EntrySpan(ws, IndexEntryOf(n)) <= 255, "span is a byte");
    }
  }
  EndCalScan(ws);

  OpenClientFiles(ws, 0);
  ReadClientRecord(ws, -1, "F5");
  ReadClientRecord(ws, recNo, "F6");
  LoadClientList(ws);
  BuildClientNameEntry(ws);
  require(ws.engine.ClientNameEntry[0] <= 30, "display name length");

  // Writes over the fuzzed files, at a number around their end.
  WriteCalRecord(ws, p.SchedDataPath, last + static_cast<std::int32_t>(in.byte() % 3), "F7");
  WriteCalIndexPage(ws, p.SchedIndexPath, in.byte() % 3, "F8");
  WriteClientRecord(ws, static_cast<std::int32_t>(in.byte() % 4), "F9");
  OpenCalFiles(ws, dir.str() + "/SCHED");

  if (!schedTail.empty()) require(tailOf(p.SchedDataPath, kCalRecordSize) == schedTail, "calendar tail kept");
  if (!clientTail.empty()) require(tailOf(p.ClientDataPath, kClientRecordSize) == clientTail, "client tail kept");
  return 0;
}
