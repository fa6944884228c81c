// What the board hands to the sign out and message form before showing it,
// and what the form leaves for the board and for its next use.
#pragma once

#include <string>

#include "messages/entry_identity.h"

namespace egresso {

// The form's requests: fixed codes, whatever language the texts are in.
inline constexpr char kNewRecordCommand = 'N';
inline constexpr char kOpenRecordCommand = 'E';

// The message a reply or forward answers, told by its slot and by the
// entry it held (the slot may hold another message by the time the answer
// is saved).
struct AnsweredMessage {
  int record = -1;
  EntryIdentity entry;
};

struct FormState {
  // The request: ' ', '&' or kNewRecordCommand ask for a new record,
  // kOpenRecordCommand to open OpenRecordNumber.
  // Set to 26 by a cancel that should not count as a change.
  char FormCommand = ' ';
  int OpenRecordNumber = 0;
  int PreselectedSlot = 0;  // employee slot chosen on the board, 0 none
  // The entry of the line the form is opened from (unknown: none).
  EntryIdentity OpenEntry;
  // Nobody was shown the entry (the command line): the form writes over
  // whatever the slot holds when it saves, taken under the lock, and never
  // refuses it as changed by another workstation.
  bool ActOnStored = false;

  // Reply and forward carry-over for the next form.
  std::string ReplyTo;       // at most 3
  std::string CarrySubject;  // at most 120
  std::string CarryHeader;   // at most 254
  bool ReplyPending = false;
  bool ForwardPending = false;
  AnsweredMessage Answered;

  // The date last typed into the return date, brought back by "S".
  std::string LastDateEntered;  // at most 12
};

}  // namespace egresso
