// Where a help request leads: the program's own HTML help in the help/
// folder of the program folder, opened in the default browser.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

// A window's help context and the page of help/ that describes it.
struct HelpContextPage {
  int context;
  std::string_view page;
};

// Every context the windows ask for, with its page.
std::span<const HelpContextPage> HelpContextPages();

// The file: address for the request, or empty when nothing is to be shown
// (closing the help). Context -> its page (the contents, index.html, for a
// context without one); Keyword -> the keyword index of index.html;
// Topic -> index.html.
std::string HelpPageUrl(std::string_view programFolder, HelpCommand command, int context, std::string_view keyword);

}  // namespace egresso
