// The single-instance guard: a per-user lock file held for the life of the
// process, so that a second start on the same workstation can be refused.
#pragma once

#include <string>

namespace egresso {

class InstanceGuard {
 public:
  enum class Result { Acquired, Busy, Unavailable };

  InstanceGuard() = default;
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  // Takes the lock <folder>/<name>.lock without waiting. Busy: another
  // process holds it. Unavailable: the lock file cannot be made (the
  // program then runs unguarded rather than not at all).
  Result acquire(const std::string& folder, const std::string& name);

 private:
  int fd_ = -1;
};

// "Egresso", with the workstation identity (its first 15 characters)
// appended when EGRESSO_STATION sets one, so that several workstations can
// run on one computer.
std::string InstanceLockName();

// The per-user runtime folder: XDG_RUNTIME_DIR, else a private folder
// under /tmp named after the user id (created when missing); empty when
// neither is private to the user (the guard is then unavailable).
std::string InstanceLockFolder();

}  // namespace egresso
