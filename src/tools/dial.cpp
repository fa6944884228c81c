#include "tools/dial.h"

#include "storage/extract.h"

#include <cctype>

#include "core/workstation.h"
#include "text/notices.h"
#include "config/config_store.h"

namespace egresso {

bool FindModemPort(Workstation& ws, int port) {
  if (!ws.platform.serial) return false;
  const int first = port >= 1 && port <= 4 ? port : 1;
  const int last = port >= 1 && port <= 4 ? port : 4;
  for (int p = first; p <= last; ++p) {
    if (!ws.platform.serial->clearToSend(p)) continue;
    ws.pcfg.setU8(pcfg::ModemPort, static_cast<std::uint8_t>('0' + p));
    if (ws.paths.AltDataFolder.empty() || !ws.options.NormalDataPresent) WritePersonalConfig(ws);
    return true;
  }
  return false;
}

bool HasControlBytes(std::string_view text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

std::string DialCommand(char dialMode, std::string_view prefix, std::string_view number) {
  // A CR or LF would end this command and start another one of the
  // prefix's own (the prefix comes from a shared file): nothing is dialled.
  if (HasControlBytes(prefix) || HasControlBytes(number)) return {};
  std::string line = "ATD";
  line += dialMode;
  line += ',';
  line += prefix;
  line += number;
  return line;
}

namespace {

// Tone unless pulse is chosen: a byte that is neither (a record made
// elsewhere) must not reach the modem.
char DialModeOf(Workstation& ws) { return ws.pcfg.u8(pcfg::DialMode) == 'P' ? 'P' : 'T'; }

std::string WithoutControlBytes(std::string_view text) {
  std::string kept;
  for (unsigned char c : text)
    if (c >= 0x20 && c != 0x7F) kept += static_cast<char>(c);
  return kept;
}

int KnownPort(Workstation& ws) {
  const char c = static_cast<char>(ws.pcfg.u8(pcfg::ModemPort));
  return c >= '1' && c <= '4' ? c - '0' : 0;
}

}  // namespace

PhoneDialer::PhoneDialer(Workstation& ws, bool dialing, std::string_view scanText)
    : Dialing(dialing), ws_(ws), scanText_(scanText) {}

void PhoneDialer::FormShow() {
  view = DialView{};
  const int port = KnownPort(ws_);
  if (!Dialing || port == 0) {
    ShowParameters();
    return;
  }
  view.HangUpVisible = true;
  view.Label1Visible = true;
  FoundText = ExtractPhoneNumber(scanText_, ws_.options.PhoneDigitsMin);
  if (FoundText.empty()) {
    view.HangUpCaption = MessageText(ws_, 30);
    view.Caption = MessageText(ws_, 1375);
    return;
  }
  SerialPorts* serial = ws_.platform.serial;
  const std::string line = DialCommand(DialModeOf(ws_), ws_.pcfg.str(pcfg::DialPrefix, 19), FoundText);
  if (line.empty()) {
    // A prefix that cannot be sent is shown for correcting instead.
    ShowParameters();
    return;
  }
  if (serial == nullptr || !serial->openForCommands(port) || !serial->sendCommand(line)) {
    // The modem did not take the number: telling the user to lift the
    // receiver would be false. The port is given back and the parameters
    // are offered, as when no modem port is known.
    if (serial) serial->closeCommands();
    ShowParameters();
    return;
  }
  view.Caption = MessageText(ws_, 1363) + " " + FoundText + " . . .";
  view.HangUpCaption = MessageText(ws_, 1364);
  view.Label1 = MessageText(ws_, 1378);
}

void PhoneDialer::ShowParameters() {
  view = DialView{};
  view.Caption = MessageText(ws_, 1367);
  view.ModemPortCaption = MessageText(ws_, 1366);
  for (int i = 0; i < 4; ++i) view.PortCaptions[i] = MessageText(ws_, 1368 + i);
  view.PrefixLabel = MessageText(ws_, 1365);
  view.OkCaption = MessageText(ws_, 29);
  view.PulseCaption = MessageText(ws_, 1373);
  view.ToneCaption = MessageText(ws_, 1372);
  view.ParametersVisible = true;
  const int port = KnownPort(ws_);
  view.Port = port >= 2 ? port : 1;
  view.Tone = DialModeOf(ws_) == 'T';
  view.Prefix = WithoutControlBytes(ws_.pcfg.str(pcfg::DialPrefix, 19));
  view.FocusOnOk = true;
}

void PhoneDialer::HangUpBtnClick() {
  if (SerialPorts* serial = ws_.platform.serial) {
    serial->sendCommand("ATH");
    serial->closeCommands();
  }
  view.Closed = true;
}

void PhoneDialer::OKbtnClick() {
  const int port = view.Port >= 1 && view.Port <= 4 ? view.Port : 1;
  ws_.pcfg.setU8(pcfg::ModemPort, static_cast<std::uint8_t>('0' + port));
  ws_.pcfg.setU8(pcfg::DialMode, view.Tone ? 'T' : 'P');
  ws_.pcfg.setStr(pcfg::DialPrefix, 19, WithoutControlBytes(view.Prefix).substr(0, 19));
  WritePersonalConfig(ws_);
  view.Closed = true;
}

void PhoneDialer::FormClose() {
  Dialing = false;
  view.Closed = true;
}

}  // namespace egresso
