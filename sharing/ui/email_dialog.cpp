#include "sharing/ui/email_dialog.h"

#include "platform/ui/combo_list.h"
#include "platform/ui/message_box.h"
#include "resources/mail_find_texts.h"
#include "sharing/mail/reduction.h"
#include "shell/dialog_settings.h"
#include "shell/mru_list.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>

namespace qelvio::sharing {
namespace {

constexpr int kTextSubject = 35036;
constexpr int kTextNeedRecipients = 35039;
constexpr int kTextColumnName = 35037;
constexpr int kTextColumnAddress = 35038;

QString qt(const char16_t* text) { return QString::fromUtf16(text); }

}  // namespace

EmailDialog::EmailDialog(const std::vector<std::u16string>& names, QWidget* parent)
    : shell::DialogBase(parent, u"email") {
    setObjectName("d187");
    setWindowTitle(qt(resources::kEmailCaption));
    refuse = [this](const QString& text) { platform::show_message(this, text, platform::MessageIcon::information); };

    auto* grid = new QGridLayout;
    auto* to_label = new QLabel(qt(resources::kEmailTo), this);
    to_ = new QComboBox(this);
    to_->setObjectName("c1068");
    to_->setEditable(true);
    to_->setInsertPolicy(QComboBox::NoInsert);
    to_->setMinimumContentsLength(28);
    to_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    to_label->setBuddy(to_);
    // The button that would open the recipients dialog is not shown: there
    // are no contacts to choose from. It stays out of the layout, so the To
    // field spans its column too and ends where the subject does.
    auto* to_button = new QPushButton(qt(resources::kEmailTo), this);
    to_button->setObjectName("c1073");
    to_button->setAutoDefault(false);
    to_button->setVisible(false);
    connect(to_button, &QPushButton::clicked, this, &EmailDialog::add_recipients);
    grid->addWidget(to_label, 0, 0);
    grid->addWidget(to_, 0, 1, 1, 2);

    auto* subject_label = new QLabel(qt(resources::kEmailSubject), this);
    subject_ = new QLineEdit(platform::string_text(kTextSubject), this);
    subject_->setObjectName("c1069");
    subject_label->setBuddy(subject_);
    grid->addWidget(subject_label, 1, 0);
    grid->addWidget(subject_, 1, 1, 1, 2);
    body()->addLayout(grid);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName("c1045");
    text_->setTabChangesFocus(true);
    text_->setMinimumHeight(text_->fontMetrics().lineSpacing() * 4 + 12);
    body()->addWidget(text_, 2);

    auto* attached_label = new QLabel(qt(resources::kEmailAttached), this);
    attached_ = new QListWidget(this);
    attached_->setObjectName("c1108");
    for (const auto& name : names) attached_->addItem(QString::fromStdU16String(name));
    attached_->setMinimumHeight(attached_->fontMetrics().lineSpacing() * 3 + 12);
    attached_label->setBuddy(attached_);
    body()->addWidget(attached_label);
    body()->addWidget(attached_, 1);

    auto* reduce_row = new QHBoxLayout;
    auto* reduce_label = new QLabel(qt(resources::kEmailReduce), this);
    reduction_ = new QComboBox(this);
    reduction_->setObjectName("c1072");
    for (const char16_t* entry : resources::kEmailReductions) reduction_->addItem(qt(entry));
    reduce_label->setBuddy(reduction_);
    reduce_row->addWidget(reduce_label);
    reduce_row->addWidget(reduction_, 1);
    body()->addLayout(reduce_row);

    buttons()->addButton(QDialogButtonBox::Cancel);

    platform::ComboList list(*to_);
    shell::load_list(list, shell::kEmailRecipients);
    to_->setEditText(QString());
    int index = shell::load_dialog_setting(shell::kEmailResolution);
    reduction_->setCurrentIndex(index >= 0 && index < kReductionCount ? index : 0);
    confirmed_reduction_ = index;
    to_->setFocus();
}

// A cancelled dialog writes back the index it loaded.
EmailDialog::~EmailDialog() { shell::save_dialog_setting(shell::kEmailResolution, confirmed_reduction_); }

MailRequest EmailDialog::request() const {
    MailRequest r;
    r.to = to_->currentText().toStdU16String();
    r.subject = subject_->text().toStdU16String();
    r.text = text_->toPlainText().toStdU16String();
    r.reduction = reduction_->currentIndex();
    return r;
}

void EmailDialog::accept() {
    // Separators and blanks alone name nobody.
    if (to_->currentText().trimmed().remove(QLatin1Char(';')).remove(QLatin1Char(',')).trimmed().isEmpty()) {
        refuse(platform::string_text(kTextNeedRecipients));
        to_->setFocus();
        return;
    }
    platform::ComboList list(*to_);
    shell::save_list(list, shell::kEmailRecipients);
    confirmed_reduction_ = reduction_->currentIndex();
    DialogBase::accept();
}

void EmailDialog::add_recipients() {
    RecipientsDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    QLineEdit* edit = to_->lineEdit();
    int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    int length = edit->hasSelectedText() ? static_cast<int>(edit->selectedText().size()) : 0;
    edit->setText(replace_selected(edit->text(), start, length, dialog.addresses()));
}

RecipientsDialog::RecipientsDialog(QWidget* parent, const std::vector<Contact>& contacts)
    : shell::DialogBase(parent) {
    setObjectName("d189");
    setWindowTitle(qt(resources::kRecipientsCaption));
    list_ = new QTreeWidget(this);
    list_->setObjectName("contacts");
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({platform::string_text(kTextColumnName), platform::string_text(kTextColumnAddress)});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const Contact& c : contacts)
        new QTreeWidgetItem(list_, {QString::fromStdU16String(c.name), QString::fromStdU16String(c.address)});
    empty_ = new QLabel(qt(resources::kRecipientsNoContacts), this);
    empty_->setObjectName("nocontacts");
    setMinimumWidth(empty_->sizeHint().width() + 40);
    list_->setVisible(!contacts.empty());
    empty_->setVisible(contacts.empty());
    body()->addWidget(list_);
    body()->addWidget(empty_);
    buttons()->addButton(QDialogButtonBox::Cancel);
}

QString RecipientsDialog::addresses() const {
    QStringList out;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        if (row->isSelected()) out << row->text(1);
    }
    return out.join(QStringLiteral("; "));
}

QString replace_selected(const QString& text, int start, int length, const QString& added) {
    start = std::clamp(start, 0, static_cast<int>(text.size()));
    length = std::clamp(length, 0, static_cast<int>(text.size()) - start);
    QString out = text;
    out.replace(start, length, added);
    return out;
}

}  // namespace qelvio::sharing
