// The paths record: program, data and backup folders and the file names built from them.
#pragma once

namespace egresso {

struct Paths {
};

}  // namespace egresso
