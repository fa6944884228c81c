// The status page's routes for the board as data: /roll-call (the roll call
// made to be printed), /calendar.ics (the sign-outs as a calendar feed) and
// /board.json. They read the data folder as every page does, afresh for each
// request and without writing to it.
#pragma once

#include "board/status_page.h"

namespace egresso {

// Fills reply and returns true for one of the routes; false for any other
// path. The request's method and host have been checked already.
bool AnswerDataRoute(Platform platform, const StatusSite& site, const StatusRequest& request, StatusReply& reply);

}  // namespace egresso
