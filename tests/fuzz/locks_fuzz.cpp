// Arbitrary bytes as a lock file another workstation left: the holder read
// from it stays inside its fields, a lock whose line names nobody is taken
// only once it stayed so for the grace time, breaking deletes only the file
// examined, and a lock taken is released without a trace.
#include <cstdint>
#include <string>

#include <unistd.h>

#include "fuzz_support.h"
#include "storage/locks.h"
#include "storage/record_io.h"

using namespace egresso;
using egresso::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  test::TempDir dir;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.paths.DataFolder = dir.str();
  ws.locks.TraceFolder = dir.str();
  ws.MultiUser = true;
  ws.ThisUser = "ANN";
  ws.StationId = "HOST-A";
  const std::uint8_t flags = data[0];
  const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = LockFilePath(ws, "MEMOLK");
  test::writeFile(path, content);

  const bool taken = TryLock(ws, "MEMOLK", "FUZZ");
  const auto& L = ws.locks;
  require(L.HolderInitials.size() <= 3 && L.HolderStation.size() <= 15 && L.LockLine.size() <= 120, "holder fields");
  require(fuzz::lineText(L.LockLine) && fuzz::lineText(L.HolderInitials) && fuzz::lineText(L.HolderStation), "holder text");
  require(taken == !L.LockBusy, "busy flag");
  const std::string line = content.substr(0, content.find_first_of("\r\n"));
  const bool readable = !L.HolderInitials.empty();
  if (taken) {
    require(readable && L.HolderStation == ws.StationId, "only this workstation's own lock is taken at once");
  } else if (!readable) {
    // Unreadable or naming nobody: held until it stayed so for the grace time.
    fp.clock.mono += L.DeadLockGraceMs;
    require(TryLock(ws, "MEMOLK", "FUZZ"), "a dead lock is taken after the grace time");
    require(test::readFile(path).starts_with("ANN FUZZ"), "the new lock line");
    ReleaseLock(ws, "MEMOLK");
    require(!fileExists(path), "released lock gone");
    return 0;
  }
  if (taken) {
    ReleaseLock(ws, "MEMOLK");
    require(!fileExists(path), "own lock released");
    return 0;
  }
  // Another workstation's lock: releasing leaves it, breaking it removes
  // it unless somebody replaced it meanwhile.
  ReleaseLock(ws, "MEMOLK");
  require(test::readFile(path) == content, "another's lock left alone");
  ws.locks.LastLockName = "MEMOLK";
  if (flags & 1) {
    ::unlink(path.c_str());
    test::writeFile(path, "BOB FUZZ            HOST-B\r\n");
    if (content == "BOB FUZZ            HOST-B\r\n") return 0;
    BreakLock(ws);
    require(fileExists(path), "a replaced lock is not broken");
    return 0;
  }
  BreakLock(ws);
  require(!fileExists(path), "broken lock gone");
  require(TryLock(ws, "MEMOLK", "FUZZ"), "taken after the break");
  ReleaseLock(ws, "MEMOLK");
  require(!fileExists(path), "released after the break");
  return 0;
}
