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

int MessageBoxQuestion::ask_yes_no_cancel(int string_id) {
    QMessageBox box(QMessageBox::Question, string_text(57344), string_text(string_id),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
    switch (box.exec()) {
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    default: return kAnswerCancel;
    }
}

}  // namespace qelvio::platform
