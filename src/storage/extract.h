// Telephone numbers, mail and web addresses found in free text, the date
// stamps put on the clipboard, and opening what a text names.
//
// Opening is deliberately narrow: a text written by a colleague must never
// make this workstation run a program. Only web addresses (http, https),
// mail addresses and existing documents that are not programs are handed to
// the desktop's default handler, and never with parameters taken from the
// text.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

struct Workstation;

// The first run of at least minDigits digits (commas and hyphens inside a
// run are skipped); at the end of the text the digits collected so far,
// however few. Empty when the text holds none.
std::string ExtractPhoneNumber(std::string_view scan, int minDigits);
// The blank-delimited word around the first "@", unless the "@" is among
// the first two characters or begins its word.
std::string ExtractMailAddress(std::string_view scan);
// From "HTTP" (or, without it, "WWW") in any case up to the next blank.
std::string ExtractWebAddress(std::string_view scan);

// The stamp of kind 'P' ("5DEC97, 8:30A:" and a line break) or 'S'
// (" <051297 0830> "), with the user's initials in front when asked;
// at most 120 characters.
std::string BuildStamp(Workstation& ws, char kind, bool withUser);
// Builds the stamp, keeps it in the paths record and puts it on the clipboard.
void CopyStampToClipboard(Workstation& ws, char kind, bool withUser);

// What a piece of text names when the user asks to open it.
enum class LinkKind {
  Nothing,   // nothing to do (an empty text, a ".DAM" file)
  Document,  // an existing document, opened with its default handler
  Web,       // http or https address
  Mail,      // mailto: address
  Phone,     // a telephone number for the dialer
  Refused,   // names something that must not be opened from a text
};
struct LinkAction {
  LinkKind kind = LinkKind::Nothing;
  std::string target;  // the document path, the URL, or the telephone number
};

// The text a link command takes from a text box: the selection when there
// is one, else the word around the caret, widened to a quoted phrase when
// the caret stands inside double quotes.
std::string LinkTextAt(std::string_view text, int caret, int selectionStart, int selectionLength);
// Surrounding quotes, line breaks and punctuation at either end removed.
std::string CleanLinkText(std::string_view text);
// Decides what a cleaned link text names.
LinkAction ResolveLink(Workstation& ws, std::string_view text);
// Whether a path may be opened as a document: an absolute path to an
// existing regular file without execute permission, not of a kind the
// desktop would run, and outside the program's data and program folders.
bool IsSafeDocument(const Workstation& ws, const std::string& path);

// Asks the desktop to open a web or mail address or a safe document; a
// target of any other kind is refused (the user is told). Returns the
// shell's result (above 32 on success), 0 when refused.
int Launch(Workstation& ws, const LinkAction& action);
// Resolves and opens the text; a telephone number is returned through
// phone for the caller's dialer. True when something was opened or found.
bool OpenLinkText(Workstation& ws, std::string_view rawText, std::string& phone);

}  // namespace egresso
