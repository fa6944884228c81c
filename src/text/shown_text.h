// Texts of the data folder are typed by colleagues, and a file there can be
// written by anyone with a text editor: a location or a message may hold
// bytes that a terminal obeys as commands (escape sequences that move the
// cursor, retitle the window or fill the clipboard) or that shift a list's
// columns. These helpers make such text harmless where it is shown.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace egresso {

// A Windows-1252 byte that shows nothing of its own: C0, DEL, and the five
// positions the code page leaves undefined, which turn into C1 controls
// (0x9D is OSC) on their way to UTF-8.
bool IsControlByte(unsigned char c);

// Windows-1252 text with every control byte a blank: one character stays one
// column wide.
void BlankControls(char* text, std::size_t n);
std::string BlankControls(std::string_view text);

// What a terminal shows of the mark below.
inline constexpr std::string_view kControlMark = "\xEF\xBF\xBD";  // U+FFFD

// UTF-8 text safe to write to a terminal: every C0 and C1 control and DEL
// becomes U+FFFD, a tab a blank, so one character stays one column wide.
// keepLineBreaks: LF and CR LF stay line breaks (written as LF); a CR alone
// is marked too, since it would let the rest of a line overwrite the start.
std::string TerminalText(std::string_view utf8, bool keepLineBreaks = false);

}  // namespace egresso
