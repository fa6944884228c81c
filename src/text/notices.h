// The numbered notice texts (NOTICES.TXT), their lookup with placeholder
// expansion, the universal three-button dialog, the exception report and
// the translation of help requests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace egresso {

struct Workstation;

class NoticeTable {
 public:
  std::vector<std::string> lines;  // line N-1 holds text N (Windows-1252)
  // User-defined term substitutions: the five term texts of the main
  // configuration in stored order (row i of the term grid), copied there by
  // the configuration storage. Placeholders 16, 17 and 18 use row 0,
  // placeholder 5 row 1, placeholder 24 row 3.
  std::string Terms[5];
  // Texts 1282 and 1283, trimmed and cut to 12 characters when loaded;
  // placeholder 3 stands for the second when UseSecondShortWord is set.
  std::string ShortWords[2];
  bool UseSecondShortWord = false;
  // The start-up term list: the comma-separated entries of text 204, which
  // the configuration storage may overwrite; placeholder 19 is entry 9.
  std::vector<std::string> StartupTerms;
};

// The warning shown before the program aborts because the notice file of
// programFolder is missing.
std::string NoticesMissingText(std::string_view programFolder);

// The texts this program added after the numbers every notice file has: an
// office's own or a translated NOTICES.TXT may end before them, and their
// wording is then the program's own (empty for any other number).
std::string_view BuiltInNotice(int number);

// The note, shown once at start, that the notice file lacks some of the
// program's texts.
constexpr int kNoticesOlderNote = 2092;

// The buttons of the lock-wait note.
constexpr int kNoticeKeepWaiting = 2094;
constexpr int kNoticeGiveUp = 2095;
constexpr int kNoticeFreeLock = 2096;

// Whether the loaded table ends before the program's last own text.
bool NoticesOlderThanProgram(const NoticeTable& table);

// Text number n, expanded; never fails (a failing lookup is reported). A
// number the file lacks but the program knows takes the built-in text.
std::string MessageText(Workstation& ws, int number);

// Expands the placeholder characters 3, 5, 16, 17, 18, 19 and 24 of a raw
// text; the result is cut to 254 characters.
std::string ExpandNotice(const NoticeTable& table, std::string_view raw);

// The caption of the dialog for a caption kind (0..3; empty for others).
std::string DialogCaption(Workstation& ws, int captionKind);

// The request as the dialog receives it: message cut to 254 characters,
// button captions cut to 12.
DialogRequest MakeDialogRequest(std::string_view message, int captionKind, std::string_view button1,
                                std::string_view button2, std::string_view button3, int defaultButton);

// Shows the dialog; returns 1..3 for the button pressed, 0 for Esc. A message
// beginning with "*" is a non-modal notice and returns 0 at once.
int UltimateDialog(Workstation& ws, std::string_view message, int captionKind, std::string_view button1,
                   std::string_view button2, std::string_view button3, int defaultButton);

// Beeps and shows the class name, message and the caller's tag.
void ReportException(Workstation& ws, std::string_view className, std::string_view message, std::string_view tag);

// Help requests of the application, as the toolkit raises them.
enum class HelpRequestKind { Context, ContextPopup, Keyword, Quit, Contents };

HelpCommand TranslateHelpRequest(HelpRequestKind kind);
// Passes a help request to the help viewer.
void ApplicationHelp(Workstation& ws, HelpRequestKind kind, int context = 0, std::string_view keyword = {});

}  // namespace egresso
