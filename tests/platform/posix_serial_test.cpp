#include "platform/posix_serial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "support/fake_platform.h"
#include "support/pseudo_terminal.h"

namespace egresso {
namespace {

using test::PseudoTerminal;

// The port as a pseudo-terminal cannot report its lines: the status is
// scripted, everything else (open, lock, close) is the real thing.
class ScriptedLines : public PosixSerialPorts {
 public:
  using PosixSerialPorts::PosixSerialPorts;
  int lines = 0;
  bool readable = true;
  int reads = 0;

 protected:
  bool readModemLines(int, int& out) override {
    ++reads;
    out = lines;
    return readable;
  }
};

TEST(PosixSerial, PseudoTerminalWithoutModemLinesIsNoModem) {
  PseudoTerminal pty;
  ASSERT_FALSE(pty.device().empty());
  PosixSerialPorts ports({pty.device(), "", "", ""});
  EXPECT_FALSE(ports.clearToSend(1));
}

TEST(PosixSerial, ClearToSendDecidesOnAnOpenTerminal) {
  PseudoTerminal pty;
  ASSERT_FALSE(pty.device().empty());
  ScriptedLines ports({pty.device(), pty.device(), "", ""});
  ports.lines = TIOCM_CTS | TIOCM_DSR;
  EXPECT_TRUE(ports.clearToSend(1));
  ports.lines = TIOCM_DSR | TIOCM_CD;
  EXPECT_FALSE(ports.clearToSend(2));
  ports.lines = TIOCM_CTS;
  ports.readable = false;
  EXPECT_FALSE(ports.clearToSend(1));
  EXPECT_EQ(ports.reads, 3);
}

TEST(PosixSerial, MissingDevicesPlainFilesAndBadPortsAreAbsent) {
  test::TempDir dir;
  test::writeFile(dir / "ttyS9", "not a terminal");
  ScriptedLines ports({(dir / "ttyS9").string(), (dir / "missing").string(), "", ""});
  ports.lines = TIOCM_CTS;
  EXPECT_FALSE(ports.clearToSend(1));
  EXPECT_FALSE(ports.clearToSend(2));
  EXPECT_FALSE(ports.clearToSend(3));
  EXPECT_FALSE(ports.clearToSend(0));
  EXPECT_FALSE(ports.clearToSend(5));
  EXPECT_EQ(ports.reads, 0);
}

TEST(PosixSerial, APortHeldByAnotherProgramIsLeftAlone) {
  PseudoTerminal pty;
  ASSERT_FALSE(pty.device().empty());
  const int holder = open(pty.device().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  ScriptedLines ports({pty.device(), "", "", ""});
  ports.lines = TIOCM_CTS;
  EXPECT_FALSE(ports.clearToSend(1));
  close(holder);
  EXPECT_TRUE(ports.clearToSend(1));
}

TEST(PosixSerial, DefaultDevicesAreTheFirstFourSerialPorts) {
  PosixSerialPorts ports;
  EXPECT_EQ(ports.device(1), "/dev/ttyS0");
  EXPECT_EQ(ports.device(4), "/dev/ttyS3");
}

}  // namespace
}  // namespace egresso
