#include "browser/ui/rename_dialog.h"

#include "browser/rename_sequence.h"
#include "platform/ui/combo_list.h"
#include "platform/ui/message_box.h"
#include "resources/browser_texts.h"
#include "shell/dialog_settings.h"
#include "shell/mru_list.h"
#include "shell/ui/spin_button.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

namespace qelvio::browser {
namespace {

constexpr int kTextNameTheImage = 129;
constexpr int kTextNameTheImages = 130;

QString qt(const char16_t* text) { return QString::fromUtf16(text); }

}  // namespace

RenameDialog::RenameDialog(bool several, QWidget* parent)
    : shell::DialogBase(parent, u"renaming"), several_(several) {
    setObjectName("d142");
    setWindowTitle(qt(resources::kTextRenameCaption));
    refuse = [this](const QString& text) { platform::show_message(this, text, platform::MessageIcon::exclamation); };

    label_ = new QLabel(platform::string_text(several ? kTextNameTheImages : kTextNameTheImage), this);
    label_->setObjectName("c1018");
    name_ = new QComboBox(this);
    name_->setObjectName("c1012");
    name_->setEditable(true);
    name_->setInsertPolicy(QComboBox::NoInsert);
    name_->setMinimumContentsLength(24);
    label_->setBuddy(name_);
    body()->addWidget(label_);
    body()->addWidget(name_);

    // The sequence controls, or for one image the empty cover over them.
    auto* sequence = new QWidget(this);
    auto* row = new QHBoxLayout(sequence);
    row->setContentsMargins(0, 0, 0, 0);
    auto* sequence_label = new QLabel(qt(resources::kTextRenameSequence), sequence);
    digits_ = new QLineEdit(sequence);
    digits_->setObjectName("c1014");
    digits_->setMaxLength(2);
    digits_->setFixedWidth(digits_->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    sequence_label->setBuddy(digits_);
    auto* spin = new shell::SpinButton(*digits_, kRenameMinDigits, kRenameMaxDigits, sequence);
    spin->setObjectName("c1017");
    row->addWidget(sequence_label);
    row->addWidget(digits_);
    row->addWidget(spin);
    row->addWidget(new QLabel(qt(resources::kTextRenameDigits), sequence));
    row->addStretch(1);
    auto* cover = new QWidget(this);
    cover->setObjectName("c1118");
    auto* stack = new QStackedWidget(this);
    stack->addWidget(sequence);
    stack->addWidget(cover);
    stack->setCurrentWidget(several ? sequence : cover);
    digits_->setVisible(several);
    body()->addWidget(stack);

    buttons()->addButton(QDialogButtonBox::Cancel);

    digits_->setText(QString::number(shell::load_dialog_setting(shell::kRenameSeqCount)));
    platform::ComboList list(*name_);
    shell::load_list(list, shell::kRenamePattern);
    name_->setEditText(QString());
    name_->setFocus();
}

void RenameDialog::set_name(const std::u16string& name) {
    name_->setEditText(QString::fromStdU16String(name));
    name_->lineEdit()->selectAll();
}

std::u16string RenameDialog::name() const { return name_->currentText().toStdU16String(); }

int RenameDialog::digits() const {
    bool ok = false;
    int value = digits_->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

void RenameDialog::accept() {
    const int count = digits();
    const bool valid = count >= kRenameMinDigits && count <= kRenameMaxDigits;
    // The digits count only for several images; for one the field is
    // covered and a stored value outside the range must not block OK.
    if (several_ && !valid) {
        refuse(qt(resources::kTextEnterIntegerBetween)
                   .arg(kRenameMinDigits)
                   .arg(kRenameMaxDigits));
        digits_->setFocus();
        digits_->selectAll();
        return;
    }
    if (valid) shell::save_dialog_setting(shell::kRenameSeqCount, count);
    platform::ComboList list(*name_);
    shell::save_list(list, shell::kRenamePattern);
    DialogBase::accept();
}

}  // namespace qelvio::browser
