// Shared pieces of the fuzz targets: a workstation on fake services with the
// notice texts the storage code needs, and a stop that libFuzzer reports.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/workstation.h"
#include "support/fake_platform.h"

namespace egresso::fuzz {

inline void fillNotices(NoticeTable& notices) {
  notices.lines.assign(2000, "");
  static const char* const kMonths[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                        "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
  for (int m = 0; m < 12; ++m) notices.lines[184 + m - 1] = kMonths[m];
  notices.lines[29 - 1] = "OK";
}

// Text as a single-line field holds it: no control characters.
inline bool lineText(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
inline void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace egresso::fuzz
