// Windows-1252, the single-byte encoding of every text in the data files,
// converted to and from UTF-8 where text meets the windows.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

std::string cp1252ToUtf8(std::string_view text);
// Characters Windows-1252 cannot hold become '?'. Invalid UTF-8 bytes are
// taken as Windows-1252 already, so nothing is lost.
std::string utf8ToCp1252(std::string_view text);
bool isValidUtf8(std::string_view text);

}  // namespace egresso
