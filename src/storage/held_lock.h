// A lock held for the life of a scope: taken when made, released on every
// way out of the scope, an early return or an exception a handler catches
// further up included. A lock left counted as held would keep timer ticks
// away from the files and the other workstations waiting.
#pragma once

#include <string>
#include <string_view>

#include "storage/locks.h"

namespace egresso {

class HeldLock {
 public:
  HeldLock(Workstation& ws, std::string_view name, std::string_view tag)
      : ws_(ws), name_(name), held_(AcquireLock(ws, name, tag)) {}
  ~HeldLock() { release(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  // False when the lock was not taken (the user gave up, or no lock file
  // can be made).
  explicit operator bool() const { return held_; }
  // Releases before the end of the scope (nothing when not held).
  void release() {
    if (held_) {
      held_ = false;
      ReleaseLock(ws_, name_);
    }
  }

 private:
  Workstation& ws_;
  std::string name_;
  bool held_;
};

}  // namespace egresso
