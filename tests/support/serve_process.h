// The real `egresso-cli serve` for the status page tests: started on an
// ephemeral port of 127.0.0.1, spoken to over raw sockets.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/console_platform.h"
#include "support/demo_folder.h"

namespace egresso::test {

class ServeProcess {
 public:
  // Starts egresso-cli serve --listen 127.0.0.1:0 with the arguments and
  // reads the port it says it serves on (0 when it did not start).
  explicit ServeProcess(std::vector<std::string> args);
  // Stops it with SIGTERM; a failure unless it ends cleanly.
  ~ServeProcess();
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;
  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string url(const std::string& path = "/") const;
  // Sends the signal; the exit status, or -1 when the server died otherwise.
  int stop(int signal);

 private:
  pid_t pid_ = 0;
  FILE* out_ = nullptr;
  int port_ = 0;
};

// A connection to 127.0.0.1:port with 30-second send and receive limits;
// -1 when none can be made.
int ConnectLoopback(int port);
// Sends the bytes (as far as the server takes them) and reads one response,
// or until the server closes the connection; empty when it closed without
// a word.
std::string Exchange(int port, const std::string& request);
// The status code of a response, 0 when it is none.
int StatusOf(const std::string& reply);
// The resident memory of a process in KiB, 0 when it cannot be read.
long ResidentKb(pid_t pid);

// The demo folder as of the real clock, which the server reads dates by.
struct ServedDemo {
  LocalDateTime now = SystemClock().now();
  DemoFolder demo{&now};
};

}  // namespace egresso::test
