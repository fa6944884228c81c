#include "support/child_process.h"

#include <spawn.h>

extern char** environ;

namespace egresso::test {

std::string ChildProgram(const std::string& name) { return std::string(EGRESSO_TEST_BIN_DIR) + "/egresso_" + name; }

pid_t SpawnChild(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

}  // namespace egresso::test
