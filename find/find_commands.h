// Find and Find Next once the dialog was confirmed, for callers that let a
// step run to its end (the command line; tests). A window runs the same
// steps through FindSearch::start and run between its events.
#pragma once

#include "find/find_search.h"
#include "platform/user_question.h"

namespace qelvio::find {

// Find from the top of the shown folder: the match (which becomes the last
// match) or kSearchNotFound (the search is then finished; the caller shows
// 35063).
int find_first(FindSearch& search);

// Find Next: without a last match, or after a finished search, as Find;
// otherwise continues after the last match and, when nothing follows, asks
// 35064 (Yes/No): Yes searches again from the top (a new walk from the
// shown folder), No ends with kSearchNotFound.
int find_next(FindSearch& search, platform::UserQuestion& question);

}  // namespace qelvio::find
