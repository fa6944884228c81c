#include "text/fixed_width.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace egresso {

namespace {

std::string padWith(std::string_view s, int n, char fill, int maxWidth) {
  const auto width = static_cast<std::size_t>(std::min(n < 0 ? -static_cast<long long>(n) : n,
                                                       static_cast<long long>(maxWidth)));
  if (s.size() >= width) return std::string(s.substr(0, width));
  std::string r;
  r.reserve(width);
  if (n >= 1) {
    r.append(s);
    r.append(width - s.size(), fill);
  } else {
    r.append(width - s.size(), fill);
    r.append(s);
  }
  return r;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string PadText(std::string_view s, int n) { return padWith(s, n, ' ', 254); }
std::string PadNumber(std::string_view s, int n) { return padWith(s, n, '0', 20); }

std::string TrimText(std::string_view s) {
  while (s.size() > 1 && s.back() == ' ') s.remove_suffix(1);
  while (s.size() > 1 && s.front() == ' ') s.remove_prefix(1);
  return std::string(s);
}

std::string UpperText(std::string_view s) {
  std::string r(s);
  for (auto& ch : r) {
    auto c = static_cast<std::uint8_t>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      c = static_cast<std::uint8_t>(c - 0x20);
    } else if (c == 0x9A || c == 0x9C || c == 0x9E) {  // s, oe, z with caron / ligature
      c = static_cast<std::uint8_t>(c - 0x10);
    } else if (c == 0xFF) {  // y with diaeresis
      c = 0x9F;
    }
    ch = static_cast<char>(c);
  }
  return r;
}

std::string RemoveBlanks(std::string_view s) {
  std::string r(s);
  r.erase(std::remove(r.begin(), r.end(), ' '), r.end());
  return r;
}

std::string RepeatChar(char c, int n) { return std::string(static_cast<std::size_t>(std::clamp(n, 0, 180)), c); }

std::string CleanNumber(std::string_view s, char decimalSeparator) {
  auto numeric = [&](char c) { return isDigit(c) || c == decimalSeparator; };
  std::size_t start = 0;
  while (start < s.size() && !numeric(s[start])) ++start;
  bool negative = s.substr(0, start).find('-') != std::string_view::npos;
  std::string run(s.substr(start));
  while (!run.empty() && !isDigit(run.back())) run.pop_back();
  if (run.empty()) return {};
  if (run.front() == decimalSeparator) run.insert(run.begin(), '0');
  if (negative) run.insert(run.begin(), '-');
  run.resize(std::min<std::size_t>(run.size(), 12));
  return run;
}

int MinInt(int a, int b) { return a < b ? a : b; }
int MaxInt(int a, int b) { return a > b ? a : b; }

bool IntValue(std::string_view s, int& value) {
  bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty()) return false;
  long long v = 0;
  for (char c : s) {
    if (!isDigit(c)) return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<long long>(std::numeric_limits<int>::max()) + 1) return false;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace egresso
