// Helper programs of the multi-process tests (tests/x/foo_child.cpp, built
// as egresso_foo_child next to the test programs).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace egresso::test {

// The path of the helper program egresso_<name>.
std::string ChildProgram(const std::string& name);
// Starts the program with the arguments; 0 when it cannot be started.
pid_t SpawnChild(const std::string& program, const std::vector<std::string>& args);

}  // namespace egresso::test
