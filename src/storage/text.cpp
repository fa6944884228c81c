// Placeholder bodies; replaced by the full helpers.
#include "storage/text.h"

#include <algorithm>
#include <cctype>

namespace egresso {

std::string PadText(std::string_view s, int n) {
  std::size_t w = static_cast<std::size_t>(n < 0 ? -n : n);
  std::string r(s);
  if (r.size() < w) r = n >= 1 ? r + std::string(w - r.size(), ' ') : std::string(w - r.size(), ' ') + r;
  return r.substr(0, w);
}
std::string PadNumber(std::string_view s, int n) {
  std::size_t w = static_cast<std::size_t>(n < 0 ? -n : n);
  std::string r(s);
  if (r.size() < w) r = n >= 1 ? r + std::string(w - r.size(), '0') : std::string(w - r.size(), '0') + r;
  return r.substr(0, w);
}
std::string TrimText(std::string_view s) { return std::string(s); }
std::string UpperText(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}
std::string RemoveBlanks(std::string_view s) {
  std::string r(s);
  r.erase(std::remove(r.begin(), r.end(), ' '), r.end());
  return r;
}
std::string RepeatChar(char c, int n) { return std::string(static_cast<std::size_t>(std::clamp(n, 0, 180)), c); }
std::string CleanNumber(std::string_view s) { return std::string(s); }

}  // namespace egresso
