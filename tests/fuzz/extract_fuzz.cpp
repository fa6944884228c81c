// Arbitrary text handed to the extract routines: what is found is a piece of
// the text of its kind, the link text taken at any caret is a piece of the
// text, and nothing reaches the desktop but a plain web or mail address or a
// safe document, never with parameters.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "storage/extract.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

bool isPiece(const std::string& piece, const std::string& text) { return text.find(piece) != std::string::npos; }

// URL schemes are read without regard to case.
bool startsWith(const std::string& s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

bool plain(const std::string& s) {
  for (unsigned char c : s)
    if (c <= 32 || c >= 127) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  test::FakePlatform fp;
  Workstation ws(fp.platform());
  fuzz::fillNotices(ws.notices);
  ws.Today = 9000;
  ws.ThisUser = "ANN";
  ws.paths.DataFolder = "/work";
  ws.options.PhoneDigitsMin = data[0] % 12;
  const int caret = static_cast<std::int8_t>(data[1]) * 3;
  const int selStart = static_cast<std::int8_t>(data[2]);
  const int selLength = static_cast<std::int8_t>(data[3]);
  const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);

  const std::string phone = ExtractPhoneNumber(text, ws.options.PhoneDigitsMin);
  for (char c : phone) require(c >= '0' && c <= '9', "a telephone number is digits");
  const std::string mail = ExtractMailAddress(text);
  require(mail.empty() || (isPiece(mail, text) && mail.find('@') != std::string::npos &&
                           mail.find(' ') == std::string::npos),
          "a mail address is one word of the text with an @");
  const std::string web = ExtractWebAddress(text);
  require(web.empty() || (isPiece(web, text) && web.find(' ') == std::string::npos), "a web address is one word");

  const std::string linkText = LinkTextAt(text, caret, selStart, selLength);
  require(isPiece(linkText, text), "link text is a piece of the text");
  const std::string cleaned = CleanLinkText(linkText);
  require(cleaned.size() <= linkText.size(), "cleaning only removes");

  std::string number;
  const LinkAction a = ResolveLink(ws, cleaned);
  switch (a.kind) {
    case LinkKind::Web:
      require(plain(a.target) && (startsWith(a.target, "http://") || startsWith(a.target, "https://")),
              "a plain web address");
      break;
    case LinkKind::Mail:
      require(a.target.rfind("mailto:", 0) == 0 && plain(a.target.substr(0, a.target.find('?'))), "a plain mail address");
      break;
    case LinkKind::Document: require(a.target[0] == '/' && IsSafeDocument(ws, a.target), "a safe document"); break;
    case LinkKind::Phone:
      require(static_cast<int>(a.target.size()) >= ws.options.PhoneDigitsMin, "a full telephone number");
      break;
    default: break;
  }
  OpenLinkText(ws, linkText, number);
  for (std::size_t i = 0; i < fp.shell.opened.size(); ++i) {
    const std::string& t = fp.shell.opened[i];
    require(fp.shell.parameters[i].empty(), "never parameters");
    require(startsWith(t, "http://") || startsWith(t, "https://") || t.rfind("mailto:", 0) == 0 ||
                IsSafeDocument(ws, t),
            "only addresses and safe documents reach the desktop");
  }
  for (char kind : {'P', 'S'}) require(BuildStamp(ws, kind, data[0] & 1).size() <= 120, "stamp length");
  return 0;
}
