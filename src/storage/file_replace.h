// Putting a newly written file in the place of another in one step: other
// workstations see either the old file or the new one, never no file, and
// the new file keeps the permission bits and group the old one had (a data
// folder shared through a group stays usable by everybody in it).
#pragma once

#include <filesystem>

namespace egresso {

// Renames replacement over target. When target exists, replacement first
// takes its permission bits and group (as far as this user may set them).
// Returns an I/O result; on failure both files are as they were.
int ReplaceFile(const std::filesystem::path& replacement, const std::filesystem::path& target);

}  // namespace egresso
