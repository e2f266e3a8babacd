// Message boxes with string-table texts: the yes/no/cancel question of the
// core, and the information, exclamation and error messages the frame and
// the dialogs show. The caption is the program's name (string 57344).
#pragma once

#include "platform/user_question.h"

#include <QString>

class QWidget;

namespace qelvio::platform {

enum class MessageIcon { information, exclamation, error, question };

// Shows a message with an OK button; waits for the user.
void show_message(QWidget* parent, const QString& text, MessageIcon icon);

// The core's questions as message boxes with the question icon, their
// string-table text (an image's name in place of "%s") and the buttons asked
// for.
class MessageBoxQuestion : public UserQuestion {
public:
    explicit MessageBoxQuestion(QWidget* parent) : parent_(parent) {}
    int ask_yes_no_cancel(int string_id) override;
    int ask(int string_id, std::u16string_view argument, int buttons) override;

private:
    QWidget* parent_;
};

// A string-table text as a QString (empty when the table lacks it).
QString string_text(int id);

}  // namespace qelvio::platform
