#include "find/ui/find_dialog.h"

#include "platform/ui/combo_list.h"
#include "platform/ui/message_box.h"
#include "resources/mail_find_texts.h"
#include "shell/mru_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace qelvio::find {
namespace {

QString qt(const char16_t* text) { return QString::fromUtf16(text); }

QComboBox* editable_combo(const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

}  // namespace

FindDialog::FindDialog(QWidget* parent) : shell::DialogBase(parent, u"find") {
    setObjectName("d191");
    setWindowTitle(qt(resources::kFindCaption));
    refuse = [this](const QString& text) { platform::show_message(this, text, platform::MessageIcon::information); };

    auto* name_label = new QLabel(qt(resources::kFindFilename), this);
    name_ = editable_combo("c1080", this);
    name_->setMinimumContentsLength(24);
    name_label->setBuddy(name_);
    body()->addWidget(name_label);
    body()->addWidget(name_);

    auto* words_label = new QLabel(qt(resources::kFindMetadata), this);
    words_ = editable_combo("c1085", this);
    words_->setMinimumContentsLength(24);
    words_label->setBuddy(words_);
    body()->addWidget(words_label);
    body()->addWidget(words_);

    auto* size_row = new QHBoxLayout;
    auto* size_label = new QLabel(qt(resources::kFindSizeIs), this);
    size_mode_ = new QComboBox(this);
    size_mode_->setObjectName("c1082");
    for (const char16_t* mode : resources::kFindSizeModes) size_mode_->addItem(qt(mode));
    size_label->setBuddy(size_mode_);
    size_ = editable_combo("c1083", this);
    for (const char16_t* s : resources::kFindSizeSuggestions) size_->addItem(qt(s));
    size_->setMinimumContentsLength(5);
    size_row->addWidget(size_label);
    size_row->addWidget(size_mode_);
    size_row->addWidget(size_);
    size_row->addWidget(new QLabel(qt(resources::kFindKilobytes), this));
    size_row->addStretch(1);
    body()->addLayout(size_row);

    select_all_ = new QCheckBox(qt(resources::kFindSelectFound), this);
    select_all_->setObjectName("c1084");
    subfolders_ = new QCheckBox(qt(resources::kFindSubfolders), this);
    subfolders_->setObjectName("c1119");
    connect(select_all_, &QCheckBox::toggled, subfolders_, [this](bool on) { subfolders_->setEnabled(!on); });
    connect(subfolders_, &QCheckBox::toggled, select_all_, [this](bool on) { select_all_->setEnabled(!on); });
    body()->addWidget(select_all_);
    body()->addWidget(subfolders_);

    buttons()->addButton(QDialogButtonBox::Cancel);

    platform::ComboList names(*name_);
    shell::load_list(names, shell::kFindFileName);
    platform::ComboList words(*words_);
    shell::load_list(words, shell::kFindMetadata);
    name_->setEditText(QString());
    words_->setEditText(QString());
    size_->setEditText(QString());
    name_->setFocus();
}

FindFields FindDialog::fields() const {
    FindFields f;
    f.name = name_->currentText().toStdU16String();
    f.words = words_->currentText().toStdU16String();
    f.size_mode = size_mode_->currentIndex();
    f.size_text = size_->currentText().toStdU16String();
    f.select_all = select_all_->isChecked();
    f.subfolders = subfolders_->isChecked();
    return f;
}

void FindDialog::accept() {
    FindCriteria criteria;
    if (int message = read_fields(fields(), criteria)) {
        refuse(platform::string_text(message));
        size_->setFocus();
        size_->lineEdit()->selectAll();
        return;
    }
    criteria_ = criteria;
    platform::ComboList names(*name_);
    shell::save_list(names, shell::kFindFileName);
    platform::ComboList words(*words_);
    shell::save_list(words, shell::kFindMetadata);
    DialogBase::accept();
}

}  // namespace qelvio::find
