// The status page over HTTP: `egresso-cli serve`. cpp-httplib parses the
// requests; every one is answered by AnswerStatusRequest (board/status_page.h),
// so this layer serves nothing else, no files from disk among them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace egresso {

// egresso-cli serve [--listen ADDRESS:PORT] [SWITCHES]: serves until SIGINT
// or SIGTERM; returns the exit code (2 bad arguments, 1 no data folder or no
// port to listen on, 0 after a stop signal).
int RunServeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                    std::ostream& err);

}  // namespace egresso
