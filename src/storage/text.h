// Fixed-width text helpers used by every record layout and list line.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

std::string padText(std::string_view s, int n);    // n >= 1 pad right, n <= 0 pad left; keep |n|
std::string padNumber(std::string_view s, int n);  // the same with '0'
std::string trimText(std::string_view s);          // never removes the last character
std::string upperText(std::string_view s);
std::string removeBlanks(std::string_view s);
std::string repeatChar(char c, int n);
std::string cleanNumber(std::string_view s);

}  // namespace egresso
