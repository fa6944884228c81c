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

constexpr HelpContextPage kPages[] = {
    {295, "calculator.html"}, {685, "memo.html"},      {800, "configuration.html"},
    {900, "shared.html"},     {1300, "messages.html"}, {1350, "signing-out.html"},
};

}  // namespace

std::span<const HelpContextPage> HelpContextPages() { return kPages; }

std::string HelpPageUrl(std::string_view programFolder, HelpCommand command, int context, std::string_view keyword) {
  if (command == HelpCommand::Quit) return {};
  const std::string folder = "file://" + percentEncode(std::string(programFolder) + "/help/", true);
  if (command == HelpCommand::Context) {
    for (const HelpContextPage& p : kPages)
      if (p.context == context) return folder + std::string(p.page);
  }
  if (command == HelpCommand::Keyword) return folder + "index.html?keyword=" + percentEncode(keyword, false) + "#keywords";
  return folder + "index.html";
}

}  // namespace egresso
