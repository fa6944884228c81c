// Program-wide flags of the password and prompt dialog: the mode its caller
// chooses and the search text a prompt returns.
#pragma once

#include <string>

namespace egresso {

struct PasswordState {
  bool IdentifyMode = false;  // ask for the user's initials
  bool ChangeMode = false;    // change the stored password
  int PromptKind = 0;         // 0 = none, 1..5 = the prompt kinds
  std::string SearchText;     // at most 15 characters
  bool SearchOption = false;
};

}  // namespace egresso
