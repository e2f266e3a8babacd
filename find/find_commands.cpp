#include "find/find_commands.h"

namespace qelvio::find {

int find_first(FindSearch& search) {
    search.last_match = -1;
    search.finished = false;
    search.start(-1);
    int match = search.run_to_end();
    if (match < 0) search.finished = true;
    else search.last_match = match;
    return match;
}

int find_next(FindSearch& search, platform::UserQuestion& question) {
    if (search.last_match < 0 || search.finished) return find_first(search);
    search.start(search.last_match);
    int match = search.run_to_end();
    if (match >= 0) {
        search.last_match = match;
        return match;
    }
    if (question.ask(35064, u"", platform::kButtonsYesNo) != platform::kAnswerYes) {
        search.finished = true;
        return kSearchNotFound;
    }
    return find_first(search);
}

}  // namespace qelvio::find
