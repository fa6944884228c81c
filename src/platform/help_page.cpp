#include "platform/help_page.h"

namespace egresso {
namespace {

std::string percentEncode(std::string_view s, bool keepSlash) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                 c == '_' || c == '.' || c == '~' || (keepSlash && c == '/');
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string HelpPageUrl(std::string_view programFolder, HelpCommand command, int context, std::string_view keyword) {
  if (command == HelpCommand::Quit) return {};
  std::string page = "file://" + percentEncode(std::string(programFolder) + "/help/index.html", true);
  switch (command) {
    case HelpCommand::Context: return page + "#context-" + std::to_string(context);
    case HelpCommand::Keyword: return page + "?keyword=" + percentEncode(keyword, false) + "#keywords";
    default: return page;
  }
}

}  // namespace egresso
