#include "tools/dial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "core/workstation.h"
#include "platform/posix_serial.h"
#include "storage/extract.h"
#include "support/fake_platform.h"
#include "support/pseudo_terminal.h"

namespace egresso {
namespace {

class ModemSearch : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  Workstation ws{fake.platform()};
  test::TempDir data;
  void SetUp() override {
    ws.paths.DataFolder = data.str();
    ws.paths.PersonalConfigPath = data.str() + "/CFG.DAF";
  }
};

TEST_F(ModemSearch, AllPortsInTurnUntilOneAnswers) {
  fake.serial.portWithModem = 3;
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ws.pcfg.u8(pcfg::ModemPort), '3');
}

TEST_F(ModemSearch, OnlyTheGivenPort) {
  fake.serial.portWithModem = 3;
  EXPECT_FALSE(FindModemPort(ws, 2));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{2}));
  EXPECT_EQ(ws.pcfg.u8(pcfg::ModemPort), 0);
}

TEST_F(ModemSearch, NoModemAnywhere) {
  EXPECT_FALSE(FindModemPort(ws, 7));
  EXPECT_EQ(fake.serial.probed, (std::vector<int>{1, 2, 3, 4}));
  ws.platform.serial = nullptr;
  EXPECT_FALSE(FindModemPort(ws, 0));
}

TEST_F(ModemSearch, FoundPortIsStoredUnlessNormalDataStandsBesideTheAlternativeFolder) {
  fake.serial.portWithModem = 2;
  ws.paths.AltDataFolder = data.str() + "/ALT";
  ws.options.NormalDataPresent = true;
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_FALSE(std::filesystem::exists(data / "CFG.DAF"));

  ws.options.NormalDataPresent = false;  // the alternative folder is the one in use
  EXPECT_TRUE(FindModemPort(ws, 0));
  EXPECT_EQ(test::readFile(data / "CFG.DAF").at(880), '2');
}

}  // namespace
}  // namespace egresso

namespace egresso {
namespace {

TEST(DialNumber, TheDialerTakesTheFirstLongEnoughRunOrTheDigitsThatEndTheText) {
  EXPECT_EQ(ExtractPhoneNumber("Room 12, call 555-1234", 7), "5551234");
  EXPECT_EQ(ExtractPhoneNumber("back at 3, room 12 or 14 ok", 7), "");
  EXPECT_EQ(ExtractPhoneNumber("ext. 12 ask for 42", 7), "42");
  EXPECT_EQ(ExtractPhoneNumber("555,12-34 or 999-9999", 7), "5551234");
  EXPECT_EQ(ExtractPhoneNumber("call 555-12 34 x", 6), "");
  EXPECT_EQ(ExtractPhoneNumber("", 7), "");
}

// The dialer against a pseudo-terminal standing in for the modem on port 2.
class DialerOnPseudoTerminal : public ::testing::Test {
 protected:
  test::FakePlatform fake;
  test::PseudoTerminal pty;
  PosixSerialPorts ports{{"", "", "", ""}};
  Workstation ws{fake.platform()};
  test::TempDir data;
  void SetUp() override {
    ASSERT_TRUE(pty.makeRaw());
    ports = PosixSerialPorts({"/nonexistent/ttyS0", pty.device(), "", ""});
    ports.commandTimeoutMs = 200;
    ws.platform.serial = &ports;
    ws.paths.DataFolder = data.str();
    ws.paths.PersonalConfigPath = data.str() + "/CFGANN.DAF";
    ws.notices.lines.assign(2000, "");
    ws.notices.lines[1363 - 1] = "Dialing";
    ws.notices.lines[1364 - 1] = "&Hang Up";
    ws.notices.lines[1367 - 1] = "Dialing Parameters";
    ws.notices.lines[1375 - 1] = "No telephone number was found.";
    ws.notices.lines[1378 - 1] = "Lift the receiver, then press Hang Up.";
    ws.pcfg.setU8(pcfg::ModemPort, '2');
    ws.pcfg.setU8(pcfg::DialMode, 'P');
    ws.pcfg.setStr(pcfg::DialPrefix, 19, "9");
  }
};

TEST_F(DialerOnPseudoTerminal, DialsThePulseLineWithPrefixThenHangsUp) {
  PhoneDialer dialer(ws, true, "Room 12, call 555-1234");
  dialer.FormShow();
  EXPECT_EQ(pty.received(15), "ATDP,95551234\r\n");
  EXPECT_EQ(dialer.view.Caption, "Dialing 5551234 . . .");
  EXPECT_EQ(dialer.view.HangUpCaption, "&Hang Up");
  EXPECT_EQ(dialer.view.Label1, "Lift the receiver, then press Hang Up.");
  EXPECT_FALSE(dialer.view.ParametersVisible);

  dialer.HangUpBtnClick();
  EXPECT_EQ(pty.received(5), "ATH\r\n");
  EXPECT_TRUE(dialer.view.Closed);
  // The port was given back: another program may take it now.
  const int fd = open(pty.device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

TEST_F(DialerOnPseudoTerminal, AClosedFormKeepsTheLineUntilTheNextDial) {
  {
    PhoneDialer first(ws, true, "555-1234");
    first.FormShow();
    first.FormClose();
    EXPECT_FALSE(first.Dialing);
  }
  EXPECT_EQ(pty.received(15), "ATDP,95551234\r\n");
  ws.pcfg.setU8(pcfg::DialMode, 'T');
  PhoneDialer second(ws, true, "call 4441234 now");
  second.FormShow();  // gives the line back first, then dials again
  EXPECT_EQ(pty.received(15), "ATDT,94441234\r\n");
  second.HangUpBtnClick();
  EXPECT_EQ(pty.received(5), "ATH\r\n");
}

TEST_F(DialerOnPseudoTerminal, NoNumberDialsNothing) {
  PhoneDialer dialer(ws, true, "back at 3 pm");
  dialer.FormShow();
  EXPECT_EQ(dialer.view.Caption, "No telephone number was found.");
  EXPECT_TRUE(dialer.view.HangUpVisible);
  EXPECT_EQ(pty.received(1), "");
}

TEST_F(DialerOnPseudoTerminal, AModemThatTakesNothingGivesTheParametersNotAHang) {
  ASSERT_TRUE(pty.stopOutput());
  PhoneDialer dialer(ws, true, "555-1234");
  dialer.FormShow();
  EXPECT_TRUE(dialer.view.ParametersVisible);
  EXPECT_EQ(dialer.view.Caption, "Dialing Parameters");
  EXPECT_FALSE(dialer.view.HangUpVisible);
  EXPECT_EQ(dialer.view.Port, 2);

  // A port whose device is missing, and no port known at all: the same.
  ws.pcfg.setU8(pcfg::ModemPort, '1');
  PhoneDialer missing(ws, true, "555-1234");
  missing.FormShow();
  EXPECT_TRUE(missing.view.ParametersVisible);
  ws.pcfg.setU8(pcfg::ModemPort, 0);
  PhoneDialer unknown(ws, true, "555-1234");
  unknown.FormShow();
  EXPECT_TRUE(unknown.view.ParametersVisible);
  EXPECT_EQ(unknown.view.Port, 1);
}

// A prefix from the shared personal record never carries a second modem
// command: nothing is sent, and the parameters offer it cleaned.
TEST_F(DialerOnPseudoTerminal, APrefixWithControlBytesDialsNothing) {
  for (const auto& [prefix, shown] : std::vector<std::pair<std::string, std::string>>{
           {"9\rATH1", "9ATH1"}, {"9\nATZ", "9ATZ"}, {std::string("9\0AT", 4), "9AT"}, {"\x1b" "9", "9"}, {"9\x7f", "9"}}) {
    ws.pcfg.setStr(pcfg::DialPrefix, 19, prefix);
    PhoneDialer dialer(ws, true, "555-1234");
    dialer.FormShow();
    EXPECT_EQ(pty.received(1), "") << shown;
    EXPECT_EQ(dialer.view.ParametersVisible ? dialer.view.Prefix : "dialled", shown);
    dialer.OKbtnClick();
    EXPECT_EQ(ws.pcfg.str(pcfg::DialPrefix, 19), shown);
  }
  EXPECT_EQ(DialCommand('T', "9", "555\r\nATH"), "");
}

TEST_F(DialerOnPseudoTerminal, ParametersAreSavedInThePersonalRecord) {
  PhoneDialer dialer(ws, false);
  dialer.FormShow();
  EXPECT_TRUE(dialer.view.ParametersVisible);
  EXPECT_EQ(dialer.view.Prefix, "9");
  EXPECT_FALSE(dialer.view.Tone);
  dialer.view.Port = 4;
  dialer.view.Tone = true;
  dialer.view.Prefix = "0123456789012345678999";
  dialer.OKbtnClick();
  const std::string saved = test::readFile(data / "CFGANN.DAF");
  ASSERT_EQ(saved.size(), pcfg::Size);
  EXPECT_EQ(saved[pcfg::ModemPort], '4');
  EXPECT_EQ(saved[pcfg::DialMode], 'T');
  EXPECT_EQ(saved.substr(pcfg::DialPrefix, 20), std::string("\x13") + "0123456789012345678");
}

}  // namespace
}  // namespace egresso
