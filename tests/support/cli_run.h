// The real egresso-cli run as a user or a script runs it: standard output
// captured, optional environment settings in front ("TZ=Europe/Berlin").
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

namespace egresso::test {

struct CliOutput {
  int code = -1;
  std::string out;
};

inline std::string ShellQuoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a command line through the shell; standard error is dropped.
inline CliOutput RunCommand(const std::string& command) {
  CliOutput r;
  std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  char buf[4096];
  for (std::size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = p ? ::pclose(p) : -1;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline CliOutput RunCliProgram(const std::vector<std::string>& args, const std::string& env = {}) {
  std::string command = env.empty() ? std::string() : "env " + env + " ";
  command += ShellQuoted(std::string(EGRESSO_PROGRAM_DIR) + "/egresso-cli");
  for (const auto& a : args) command += " " + ShellQuoted(a);
  return RunCommand(command);
}

}  // namespace egresso::test
