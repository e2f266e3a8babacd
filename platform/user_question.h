// Questions the program asks the user with Yes, No and Cancel buttons. The
// user interface shows a message box; tests and the command line answer by
// script.
#pragma once

namespace qelvio::platform {

enum QuestionAnswer : int {
    kAnswerYes = 6,
    kAnswerNo = 7,
    kAnswerCancel = 2,
};

class UserQuestion {
public:
    virtual ~UserQuestion() = default;
    // Asks the string-table text with that number; returns a QuestionAnswer.
    virtual int ask_yes_no_cancel(int string_id) = 0;
};

}  // namespace qelvio::platform
