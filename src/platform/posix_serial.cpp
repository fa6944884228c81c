#include "platform/posix_serial.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <utility>

namespace egresso {

PosixSerialPorts::PosixSerialPorts()
    : devices_{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"} {}

PosixSerialPorts::PosixSerialPorts(std::array<std::string, 4> devices) : devices_(std::move(devices)) {}

bool PosixSerialPorts::readModemLines(int fd, int& lines) { return ioctl(fd, TIOCMGET, &lines) == 0; }

bool PosixSerialPorts::clearToSend(int port) {
  if (port < 1 || port > 4 || device(port).empty()) return false;
  // Non-blocking: a port without carrier, or a device that is not there,
  // must never hold up the start of the program.
  const int fd = ::open(device(port).c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool present = false;
  // A port another program holds (dialler, modem manager) is not ours to probe.
  if (isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
    int lines = 0;
    present = readModemLines(fd, lines) && (lines & TIOCM_CTS) != 0;
  }
  ::close(fd);
  return present;
}

}  // namespace egresso
