// Where a help request leads: the program's own HTML help in the help/
// folder of the program folder, opened in the default browser.
#pragma once

#include <string>
#include <string_view>

#include "platform/services.h"

namespace egresso {

// The file: address for the request, or empty when nothing is to be shown
// (closing the help). Context -> index.html#context-<n>; Keyword -> the
// keyword index of index.html; Topic -> index.html.
std::string HelpPageUrl(std::string_view programFolder, HelpCommand command, int context, std::string_view keyword);

}  // namespace egresso
