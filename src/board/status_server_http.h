// The status page over HTTP: `egresso-cli serve`. libmicrohttpd parses the
// requests in one event loop; every page is made by AnswerStatusRequest
// (board/status_page.h) on a thread of its own, so this layer serves nothing
// else, no files from disk among them, and a read that hangs holds up no
// other request.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace egresso {

// egresso-cli serve [--listen ADDRESS:PORT] [--host-name NAMES]
// [--protected-headlines] [SWITCHES]: serves until SIGINT
// or SIGTERM; returns the exit code (2 bad arguments, 1 no data folder or no
// port to listen on, 0 after a stop signal).
int RunServeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                    std::ostream& err);

}  // namespace egresso
