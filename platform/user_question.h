// Questions the program asks the user with Yes, No and Cancel buttons. The
// user interface shows a message box; tests and the command line answer by
// script.
#pragma once

#include <string_view>

namespace qelvio::platform {

enum QuestionAnswer : int {
    kAnswerYes = 6,
    kAnswerNo = 7,
    kAnswerCancel = 2,
};

// The buttons of a question.
enum QuestionButtons : int {
    kButtonsYesNoCancel = 3,
    kButtonsYesNo = 4,
};

class UserQuestion {
public:
    virtual ~UserQuestion() = default;
    // Asks the string-table text with that number; returns a QuestionAnswer.
    virtual int ask_yes_no_cancel(int string_id) = 0;
    // Asks the text with that number, its "%s" replaced by argument (an
    // image's name), with those buttons; returns a QuestionAnswer (never
    // kAnswerCancel for kButtonsYesNo). The default asks the plain text
    // with all three buttons, for implementations that predate it.
    virtual int ask(int string_id, std::u16string_view argument, int buttons) {
        (void)argument;
        int answer = ask_yes_no_cancel(string_id);
        return buttons == kButtonsYesNo && answer == kAnswerCancel ? kAnswerNo : answer;
    }
};

}  // namespace qelvio::platform
