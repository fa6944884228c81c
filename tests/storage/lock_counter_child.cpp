// One workstation of the lock test: takes "LOCATELK" the given number of
// times and each time adds one to the counter record COUNTER.DAF.
// Arguments: data folder, station identity, rounds. Exit code 0 = done.
#include <array>
#include <cstdio>
#include <string>

#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "platform/console_platform.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 4) return 2;
  ConsolePlatform system;
  Workstation ws(system.platform());
  ws.paths.DataFolder = argv[1];
  ws.locks.TraceFolder = argv[1];
  ws.StationId = argv[2];
  ws.ThisUser = "W" + std::string(argv[2]).substr(std::string(argv[2]).size() - 2);
  ws.MultiUser = true;
  const int rounds = std::stoi(argv[3]);
  const std::string counter = ws.paths.DataFolder + "/COUNTER.DAF";

  for (int i = 0; i < rounds; ++i) {
    if (!AcquireLock(ws, "LOCATELK", "CNT")) return 3;
    RecordFile f;
    std::array<std::uint8_t, 4> value{};
    if (f.open(counter, 4) != io::Ok || f.read(0, value) != io::Ok) return 4;
    putI32(value, 0, getI32(value, 0) + 1);
    if (f.write(0, value) != io::Ok || f.close() != io::Ok) return 5;
    ReleaseLock(ws, "LOCATELK");
  }
  return 0;
}
