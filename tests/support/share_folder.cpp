#include "support/share_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
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

MountWatch::MountWatch(std::string folder) : folder_(std::move(folder)) {
  const auto start = std::chrono::steady_clock::now();
  thread_ = std::thread([this, start] {
    while (running_) {
      struct stat st {};
      if (::stat(folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const int err = errno;
        if (failures_++ == 0) {
          firstErrno_ = err;
          firstMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                         .count();
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
}

MountWatch::~MountWatch() { stop(); }

int MountWatch::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
  return failures_;
}

std::string MountWatch::lost() const {
  if (failures_ == 0) return "";
  return "the mount lost the folder " + std::to_string(failures_.load()) + " times, first after " +
         std::to_string(firstMs_.load() / 1000.0) + " s (" + std::strerror(firstErrno_.load()) +
         "): a failure of the mount, not of the program";
}

}  // namespace egresso::test
