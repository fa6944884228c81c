// One workstation writing to a colleague's notification file: puts its own
// letter in, waits until the colleague has taken it, and does so again for
// the given number of rounds, so that the colleague can count how often the
// letter arrived. Arguments: data folder, owner's initials, letter,
// rounds. Exit code 0 = done, 3 = a put failed, 4 = the letter never went.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/workstation.h"
#include "platform/console_platform.h"
#include "storage/notify_file.h"
#include "storage/held_lock.h"
#include "storage/record_io.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 5) return 2;
  ConsolePlatform console;
  Workstation ws(console.platform());
  ws.paths.DataFolder = argv[1];
  const std::string owner = argv[2];
  const char letter = argv[3][0];
  const int rounds = std::stoi(argv[4]);
  ws.ThisUser = std::string("W") + letter;
  ws.StationId = ws.ThisUser;
  ws.MultiUser = true;
  const std::string file = NotifyFileOf(ws, owner);
  auto waiting = [&] {
    std::vector<std::string> texts;
    if (!ReadNotifyTexts(PosixFileOps(), file, texts) || texts.empty()) return false;
    return texts.front().find(letter) != std::string::npos;
  };
  for (int round = 0; round < rounds; ++round) {
    // Ten letters fit; more writers than that take turns for room.
    int rc = kNotifyNoRoom;
    for (int attempt = 0; rc == kNotifyNoRoom && attempt < 20000; ++attempt) {
      {
        HeldLock held(ws, NotifyLockName(owner), "TEST");
        if (!held) return 3;
        rc = PutNotifyText(file, std::string(1, letter), PosixFileOps());
      }
      if (rc == kNotifyNoRoom) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (rc != io::Ok) return 3;
    for (int look = 0; waiting(); ++look) {
      if (look > 60000) return 4;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return 0;
}
