// A folder on a real file share for the tests that run several
// workstations on a file server: EGRESSO_SHARE_DIR names it (test.sh sets
// it to a Samba share mounted by tools/samba-share.sh). Without it those
// cases skip.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace egresso::test {

// The folder, or empty when no share is given.
std::string ShareFolder();
// Why a share case skips.
inline constexpr const char* kNoShare =
    "EGRESSO_SHARE_DIR is not set: no Samba share to run on (tools/samba-share.sh mounts one)";
// For a case that failed on the share: whether the share itself still
// answers (a folder listed, a file made, read and removed), so that a mount
// that went away is not taken for a fault of the program.
std::string ShareVerdict();

// Looks at a folder five times a second from the test itself while
// workstations work in it: when the mount loses its server for a while the
// folder vanishes for the test too, and what the workstations reported then
// is the program answering a failing drive, not a fault of its own.
class MountWatch {
 public:
  explicit MountWatch(std::string folder);
  ~MountWatch();
  MountWatch(const MountWatch&) = delete;
  MountWatch& operator=(const MountWatch&) = delete;
  // Ends the watch; the number of looks that failed.
  int stop();
  // "" when every look succeeded, else when and how the folder went away.
  std::string lost() const;

 private:
  std::string folder_;
  std::atomic<bool> running_{true};
  std::atomic<int> failures_{0};
  std::atomic<long long> firstMs_{-1};
  std::atomic<int> firstErrno_{0};
  std::thread thread_;
};

}  // namespace egresso::test
