// The phone dialer's modem search.
#pragma once

namespace egresso {

struct Workstation;

// Looks for a modem on serial port 1..4, or on all four when port is
// anything else; on success stores the port in the personal configuration
// (written unless the normal data folder is present beside an alternative
// one) and returns true.
bool FindModemPort(Workstation& ws, int port);

}  // namespace egresso
