// Small files of the system (/proc, /etc), read whole with plain reads:
// files under /proc show a size of 0, and the C++ streams would set up a
// locale at every start just to read a few lines.
#pragma once

#include <cstddef>
#include <string>

namespace egresso {

// The first max bytes of path; empty when it cannot be read.
std::string ReadSystemFile(const char* path, std::size_t max = 1 << 20);

}  // namespace egresso
