// Fixed-width text helpers used by every record layout and list line.
// Text is single-byte Windows-1252, as stored in the records.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

// n >= 1: blanks appended up to n characters; n <= 0: blanks put in front up
// to |n| characters; then the first |n| characters are kept. |n| <= 254.
std::string PadText(std::string_view s, int n);
// The same with "0" instead of blanks; |n| <= 20.
std::string PadNumber(std::string_view s, int n);
// Trailing, then leading blanks removed, but never the last remaining
// character: a text of blanks leaves one blank.
std::string TrimText(std::string_view s);
// Upper-cases letters of Windows-1252 (a..z and the accented letters).
std::string UpperText(std::string_view s);
std::string RemoveBlanks(std::string_view s);
// min(n, 180) copies of c.
std::string RepeatChar(char c, int n);
// The numeric part of s, at most 12 characters: characters before the first
// digit or decimal separator are dropped (a "-" among them is kept as the
// sign), a leading separator gets a "0" in front, and characters after the
// last digit are dropped. Characters inside the number are kept, so that
// "12a34" does not pass for 12. Empty when s holds no digit.
std::string CleanNumber(std::string_view s, char decimalSeparator = '.');

int MinInt(int a, int b);
int MaxInt(int a, int b);

// The whole text as a decimal integer (an optional "-" then digits only);
// false for anything else and for values beyond the int range.
bool IntValue(std::string_view s, int& value);

}  // namespace egresso
