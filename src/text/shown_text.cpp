#include "text/shown_text.h"

#include <array>

namespace egresso {

namespace {

constexpr std::array<bool, 256> kControl = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[static_cast<std::size_t>(c)] = true;
  for (int c : {0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D}) t[static_cast<std::size_t>(c)] = true;
  return t;
}();

}  // namespace

bool IsControlByte(unsigned char c) { return kControl[c]; }

void BlankControls(char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (kControl[static_cast<unsigned char>(text[i])]) text[i] = ' ';
}

std::string BlankControls(std::string_view text) {
  std::string out(text);
  BlankControls(out.data(), out.size());
  return out;
}

std::string TerminalText(std::string_view utf8, bool keepLineBreaks) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c == '\t') {
      out += ' ';
    } else if (keepLineBreaks && c == '\n') {
      out += '\n';
    } else if (keepLineBreaks && c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
      out += '\n';
      ++i;
    } else if (c < 0x80) {
      out += kControlMark;
    } else {
      // A whole sequence is copied or none of it: a stray byte of
      // 0x80..0x9F is a C1 control to a terminal that reads eight-bit bytes.
      const std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
      std::size_t k = 1;
      while (len != 0 && k < len && i + k < utf8.size() && (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80) ++k;
      // U+0080..U+009F: a terminal reading UTF-8 takes U+009B as CSI.
      const bool c1 = c == 0xC2 && len == k && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
      if (len == 0 || k != len || c1) {
        out += kControlMark;
        if (c1) ++i;
      } else {
        out.append(utf8.substr(i, len));
        i += len - 1;
      }
    }
  }
  return out;
}

}  // namespace egresso
