#include "platform/ui/message_box.h"

#include "resources/string_table.h"

#include <QMessageBox>

namespace qelvio::platform {

QString string_text(int id) {
    const char16_t* text = resources::load_string(id);
    return text ? QString::fromUtf16(text) : QString();
}

void show_message(QWidget* parent, const QString& text, MessageIcon icon) {
    QMessageBox::Icon qicon = QMessageBox::Information;
    switch (icon) {
    case MessageIcon::information: qicon = QMessageBox::Information; break;
    case MessageIcon::exclamation: qicon = QMessageBox::Warning; break;
    case MessageIcon::error: qicon = QMessageBox::Critical; break;
    case MessageIcon::question: qicon = QMessageBox::Question; break;
    }
    QMessageBox box(qicon, string_text(57344), text, QMessageBox::Ok, parent);
    box.exec();
}

int MessageBoxQuestion::ask_yes_no_cancel(int string_id) { return ask(string_id, {}, kButtonsYesNoCancel); }

int MessageBoxQuestion::ask(int string_id, std::u16string_view argument, int buttons) {
    QString text = string_text(string_id);
    if (!argument.empty())
        text.replace(QStringLiteral("%s"), QString::fromUtf16(argument.data(), static_cast<qsizetype>(argument.size())));
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    if (buttons != kButtonsYesNo) shown |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, string_text(57344), text, shown, parent_);
    switch (box.exec()) {
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    default: return buttons == kButtonsYesNo ? kAnswerNo : kAnswerCancel;
    }
}

}  // namespace qelvio::platform
