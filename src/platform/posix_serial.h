// Serial ports through POSIX terminal devices: port n is a device such as
// /dev/ttyS<n-1>. A device is looked at without waiting for carrier and is
// given back at once.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

class PosixSerialPorts : public SerialPorts {
 public:
  PosixSerialPorts();
  // The device of each port 1..4 (tests point them at pseudo-terminals).
  explicit PosixSerialPorts(std::array<std::string, 4> devices);

  // True when the device of the port opens, is a terminal nobody else holds
  // and shows clear-to-send. Anything else counts as no modem.
  bool clearToSend(int port) override;

  const std::string& device(int port) const { return devices_[static_cast<std::size_t>(port - 1)]; }

  // The port is opened without waiting for carrier and held exclusively;
  // only the local-line flag is set on it, so that a modem that is off
  // cannot hold the open or the write. Speed and parity stay as the
  // system has them.
  bool openForCommands(int port) override;
  bool sendCommand(std::string_view line) override;
  void closeCommands() override;
  ~PosixSerialPorts() override;

  // How long a command may wait for the device to take it.
  int commandTimeoutMs = 2000;

 protected:
  // Reads the modem status lines (TIOCM_* bits) of an open device; false
  // when the device has none to report.
  virtual bool readModemLines(int fd, int& lines);

 private:
  std::array<std::string, 4> devices_;
  int commandFd_ = -1;
  bool unsent_ = false;  // the last line may still wait in the output queue
};

}  // namespace egresso
