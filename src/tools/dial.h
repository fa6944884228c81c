// The phone dialer TPhoneDial without its window: dialling the number found
// in a text through the modem, hanging up, and editing the dialling
// parameters; and the modem search at start-up.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

// Looks for a modem on serial port 1..4, or on all four when port is
// anything else; on success stores the port in the personal configuration
// (written unless the normal data folder is present beside an alternative
// one) and returns true.
bool FindModemPort(Workstation& ws, int port);

// Whether text holds a control byte (below a blank, or DEL).
bool HasControlBytes(std::string_view text);

// The command line that dials a number: "ATD", the dial mode, ",", the
// prefix and the number; empty when the prefix or the number holds a
// control byte, which would end the command and start another.
std::string DialCommand(char dialMode, std::string_view prefix, std::string_view number);

// What the dialer's window shows.
struct DialView {
  std::string Caption;
  bool HangUpVisible = false;
  std::string HangUpCaption;
  bool Label1Visible = false;
  std::string Label1;
  // The parameter controls: PrefixLabel, Prefix, Tone, Pulse, ModemPortBox.
  bool ParametersVisible = false;
  std::string PrefixLabel, ModemPortCaption, PortCaptions[4], ToneCaption, PulseCaption, OkCaption;
  std::string Prefix;  // at most 19 characters
  int Port = 1;        // the selected port button 1..4
  bool Tone = true;    // else Pulse
  bool FocusOnOk = false;
  bool Closed = false;
};

class PhoneDialer {
 public:
  // dialing: opened by a dial button for scanText; else the parameters.
  PhoneDialer(Workstation& ws, bool dialing, std::string_view scanText = {});

  void FormShow();
  // Hang Up and Escape: "ATH", the port closed, the form closed.
  void HangUpBtnClick();
  // OK of the parameters; the window writes Prefix, Port and Tone first.
  void OKbtnClick();
  // Closing in any way; a dialling form closed without Hang Up keeps the line.
  void FormClose();

  DialView view;
  bool Dialing;
  std::string FoundText;

 private:
  void ShowParameters();
  Workstation& ws_;
  std::string scanText_;
};

}  // namespace egresso
