// Fixed-width text helpers used by every record layout and list line.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

std::string PadText(std::string_view s, int n);    // n >= 1 pad right, n <= 0 pad left; keep |n|
std::string PadNumber(std::string_view s, int n);  // the same with '0'
std::string TrimText(std::string_view s);          // never removes the last character
std::string UpperText(std::string_view s);
std::string RemoveBlanks(std::string_view s);
std::string RepeatChar(char c, int n);
std::string CleanNumber(std::string_view s);

}  // namespace egresso
