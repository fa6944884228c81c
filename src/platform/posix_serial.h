// Serial ports through POSIX terminal devices: port n is a device such as
// /dev/ttyS<n-1>. A device is looked at without waiting for carrier and is
// given back at once.
#pragma once

#include <array>
#include <string>

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

 protected:
  // Reads the modem status lines (TIOCM_* bits) of an open device; false
  // when the device has none to report.
  virtual bool readModemLines(int fd, int& lines);

 private:
  std::array<std::string, 4> devices_;
};

}  // namespace egresso
