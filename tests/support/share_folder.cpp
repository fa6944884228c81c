#include "support/share_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

namespace egresso::test {

std::string ShareFolder() {
  const char* folder = std::getenv("EGRESSO_SHARE_DIR");
  return folder ? std::string(folder) : std::string();
}

std::string ShareVerdict() {
  const std::filesystem::path folder = ShareFolder();
  std::error_code ec;
  std::filesystem::directory_iterator listing(folder, ec);
  const auto probe = folder / ("PROBE-" + std::to_string(::getpid()) + ".TMP");
  bool answers = !ec;
  if (answers) {
    std::ofstream(probe) << "probe";
    std::string back;
    std::ifstream(probe) >> back;
    answers = back == "probe" && std::filesystem::remove(probe, ec);
  }
  return answers ? "the share still answers: the failure is the program's"
                 : "the share itself stopped answering (" + folder.string() +
                       "): a failure of the mount, not of the program";
}

}  // namespace egresso::test
