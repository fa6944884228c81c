// One workstation of the lock test: takes "LOCATELK" the given number of
// times and each time adds one to the counter record COUNTER.DAF.
// Arguments: data folder, station identity, rounds, and optionally how long
// each hold lasts (milliseconds) and the stale-lock timeout (seconds); with
// a hold, the file INSIDE is made exclusively for its length, and a hold
// that finds it made already (two holders at once) is counted in OVERLAPS.
// Exit code 0 = done.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "core/workstation.h"
#include "storage/bytes.h"
#include "storage/locks.h"
#include "storage/record_io.h"
#include "platform/console_platform.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 4 && argc != 6) return 2;
  ConsolePlatform system;
  Workstation ws(system.platform());
  ws.paths.DataFolder = argv[1];
  ws.locks.TraceFolder = argv[1];
  ws.StationId = argv[2];
  ws.ThisUser = "W" + std::string(argv[2]).substr(std::string(argv[2]).size() - 2);
  ws.MultiUser = true;
  // The waiting note's texts (no NOTICES.TXT here).
  ws.notices.lines.assign(2100, std::string());
  const int rounds = std::stoi(argv[3]);
  const int holdMs = argc == 6 ? std::stoi(argv[4]) : 0;
  if (argc == 6) ws.mcfg.setI16(mcfg::LockTimeout, static_cast<std::int16_t>(std::stoi(argv[5])));
  const std::string inside = ws.paths.DataFolder + "/INSIDE";
  const std::string counter = ws.paths.DataFolder + "/COUNTER.DAF";

  for (int i = 0; i < rounds; ++i) {
    if (!AcquireLock(ws, "LOCATELK", "CNT")) {
      std::fprintf(stderr, "%s: lock not taken in round %d (I/O result %d)\n", argv[2], i, ws.locks.IoResult);
      return 3;
    }
    if (holdMs > 0) {
      const int fd = ::open(inside.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) ::close(fd);
      if (fd < 0) {
        const int overlaps = ::open((ws.paths.DataFolder + "/OVERLAPS").c_str(), O_WRONLY | O_CREAT, 0666);
        if (overlaps >= 0) {
          ::lseek(overlaps, 0, SEEK_END);
          if (::write(overlaps, "x", 1) != 1) std::fprintf(stderr, "%s: overlap not counted\n", argv[2]);
          ::close(overlaps);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
      if (fd >= 0) ::unlink(inside.c_str());
    }
    RecordFile f;
    std::array<std::uint8_t, 4> value{};
    int rc = f.open(counter, 4, RecordFile::Mode::ReadWrite, PosixFileOps());
    if (rc == io::Ok) rc = f.read(0, value);
    if (rc != io::Ok) {
      std::fprintf(stderr, "%s: counter not read in round %d (I/O result %d)\n", argv[2], i, rc);
      return 4;
    }
    putI32(value, 0, getI32(value, 0) + 1);
    rc = f.write(0, value);
    if (int closed = f.close(); rc == io::Ok) rc = closed;
    if (rc != io::Ok) {
      std::fprintf(stderr, "%s: counter not written in round %d (I/O result %d)\n", argv[2], i, rc);
      return 5;
    }
    ReleaseLock(ws, "LOCATELK");
  }
  return 0;
}
