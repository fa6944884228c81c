// A pseudo-terminal pair; the slave side stands in for a serial device and
// the master side sees what the program writes to it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace egresso::test {

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      char name[128];
      if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
    }
  }
  ~PseudoTerminal() {
    if (slaveFd_ >= 0) close(slaveFd_);
    if (master_ >= 0) close(master_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  const std::string& device() const { return slave_; }
  int master() const { return master_; }

  // Opens the slave side as a raw line (no output processing), kept open
  // for the life of the pair so the settings stay; false on failure.
  bool makeRaw() {
    slaveFd_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (slaveFd_ < 0 || tcgetattr(slaveFd_, &t) != 0) return false;
    cfmakeraw(&t);
    return tcsetattr(slaveFd_, TCSANOW, &t) == 0;
  }
  // Output stopped as by a modem that holds its clear-to-send line off.
  bool stopOutput() { return slaveFd_ >= 0 && tcflow(slaveFd_, TCOOFF) == 0; }

  // What was written to the slave side: reads until `bytes` characters
  // have come or nothing more arrives for a moment.
  std::string received(std::size_t bytes) {
    std::string out;
    char buf[256];
    pollfd p{master_, POLLIN, 0};
    while (out.size() < bytes && poll(&p, 1, 1000) > 0 && (p.revents & POLLIN)) {
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }

 private:
  int master_ = -1;
  int slaveFd_ = -1;
  std::string slave_;
};

}  // namespace egresso::test
