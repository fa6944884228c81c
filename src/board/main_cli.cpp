// egresso-cli: the board and the message lists of a data folder on the
// command line, the demo data folder, and the status page's web server.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "board/cli.h"
#include "board/status_server_http.h"

int main(int argc, char** argv) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv[0], ec);
  const std::string programFolder = exe.parent_path().string();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "serve")
    return egresso::RunServeCommand({args.begin() + 1, args.end()}, programFolder, std::cout, std::cerr);
  return egresso::RunCli(args, programFolder, std::cout, std::cerr);
}
