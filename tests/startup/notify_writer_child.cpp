// One workstation writing to a colleague's notification file: adds the given
// number of records, each with a text of its own ("<writer>:<round>"), so
// that the reader can tell whether every one of them arrived.
// Arguments: notification file, writer number, rounds. Exit code 0 = done.
#include <string>

#include "startup/notify_file.h"
#include "storage/record_io.h"

int main(int argc, char** argv) {
  using namespace egresso;
  if (argc != 4) return 2;
  const std::string path = argv[1];
  const std::string writer = argv[2];
  const int rounds = std::stoi(argv[3]);
  for (int round = 0; round < rounds; ++round)
    if (AppendNotifyRecord(path, writer + ":" + std::to_string(round)) != io::Ok) return 3;
  return 0;
}
