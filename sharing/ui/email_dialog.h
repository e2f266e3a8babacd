// Dialog 187, "E-mail": recipients (an editable combo box with the most
// recently used recipient lists), subject, message text, the names of the
// images to be attached and the size reduction. Help topic "email".
//
// Opening loads the recipient list of section "emaildlg" and the stored
// reduction index ("resolution"). OK with an empty recipient field shows
// 35039 and keeps the dialog open; otherwise it saves the recipient list.
// The reduction index is written when the dialog goes, confirmed or not (a
// cancelled dialog writes back the value it loaded).
//
// Dialog 189, "Add recipients": a list of contacts (name, e-mail address);
// with none, the list is hidden and a line says so. OK hands back the
// addresses of the selected rows joined with "; ".
//
// User-interface thread only.
#pragma once

#include "sharing/mail/mail_sender.h"
#include "shell/ui/dialog_base.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace qelvio::sharing {

class EmailDialog : public shell::DialogBase {
    Q_OBJECT
public:
    // names: the attachments' file names, in selection order.
    EmailDialog(const std::vector<std::u16string>& names, QWidget* parent);
    ~EmailDialog() override;

    // What the user entered (the images are the caller's).
    MailRequest request() const;

    // Shows why OK was refused; a message box unless replaced (tests).
    std::function<void(const QString&)> refuse;

public slots:
    void accept() override;

private:
    // Button 1073: adds recipients from the contacts in place of the
    // selected part of the recipient text.
    void add_recipients();

    QComboBox* to_;
    QLineEdit* subject_;
    QPlainTextEdit* text_;
    QListWidget* attached_;
    QComboBox* reduction_;
    int confirmed_reduction_;  // written when the dialog goes
};

struct Contact {
    std::u16string name;
    std::u16string address;
};

class RecipientsDialog : public shell::DialogBase {
    Q_OBJECT
public:
    explicit RecipientsDialog(QWidget* parent, const std::vector<Contact>& contacts = {});

    // The e-mail addresses of the selected rows, joined with "; ".
    QString addresses() const;

private:
    QTreeWidget* list_;
    QLabel* empty_;
};

// The recipient text with its selected part (start, length) replaced by
// the added addresses; with no selection they are put at the cursor.
QString replace_selected(const QString& text, int start, int length, const QString& added);

}  // namespace qelvio::sharing
