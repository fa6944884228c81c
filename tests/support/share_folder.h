// A folder on a real file share for the tests that run several
// workstations on a file server: EGRESSO_SHARE_DIR names it (test.sh sets
// it to a Samba share mounted by tools/samba-share.sh). Without it those
// cases skip.
#pragma once

#include <string>

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

}  // namespace egresso::test
