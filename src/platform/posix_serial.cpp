#include "platform/posix_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
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

PosixSerialPorts::~PosixSerialPorts() { closeCommands(); }

bool PosixSerialPorts::openForCommands(int port) {
  closeCommands();
  if (port < 1 || port > 4 || device(port).empty()) return false;
  const int fd = ::open(device(port).c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios t{};
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &t) != 0) {
    ::close(fd);
    return false;
  }
  if ((t.c_cflag & CLOCAL) == 0) {
    t.c_cflag |= CLOCAL;
    tcsetattr(fd, TCSANOW, &t);
  }
  commandFd_ = fd;
  return true;
}

bool PosixSerialPorts::sendCommand(std::string_view line) {
  if (commandFd_ < 0) return false;
  const std::string data = std::string(line) + "\r\n";
  unsent_ = true;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(commandTimeoutMs);
  auto remainingMs = [&] {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
  };
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::write(commandFd_, data.data() + sent, data.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    // The device takes nothing now (flow control held, buffer full): wait a
    // little for room, but never past the deadline.
    const int wait = remainingMs();
    if (wait <= 0) return false;
    pollfd p{commandFd_, POLLOUT, 0};
    if (poll(&p, 1, wait < 50 ? wait : 50) < 0 && errno != EINTR) return false;
  }
  // Flushed: the line has left the output queue (tcdrain could wait forever).
  for (;;) {
    int queued = 0;
    if (ioctl(commandFd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
      unsent_ = false;
      return true;
    }
    const int wait = remainingMs();
    if (wait <= 0) return false;
    poll(nullptr, 0, wait < 20 ? wait : 20);
  }
}

void PosixSerialPorts::closeCommands() {
  if (commandFd_ < 0) return;
  // A line the device never took is thrown away, or the close would wait
  // for it to drain. (Only then: on a pseudo-terminal the flush would also
  // throw away what the other side has not read yet.)
  if (unsent_) tcflush(commandFd_, TCOFLUSH);
  unsent_ = false;
  ::close(commandFd_);
  commandFd_ = -1;
}

}  // namespace egresso
