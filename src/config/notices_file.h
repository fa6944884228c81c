// Reading the notice texts from NOTICES.TXT in the program folder into the
// workstation's notice table.
#pragma once

namespace egresso {

struct Workstation;

// Reads the notice table from ws.paths.NoticesPath (UTF-8 when the file is
// valid UTF-8, else Windows-1252; CR LF or LF line ends) and fills the short
// words and start-up terms. False when the file is missing, unreadable or
// holds no text.
bool LoadNotices(Workstation& ws);

}  // namespace egresso
