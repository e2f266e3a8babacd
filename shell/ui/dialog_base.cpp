#include "shell/ui/dialog_base.h"

#include "shell/help.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace qelvio::shell {

DialogBase::DialogBase(QWidget* parent, const char16_t* help_topic) : QDialog(parent) {
    auto* outer = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    outer->addLayout(body_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons_->button(QDialogButtonBox::Ok)->setObjectName("c1");
    outer->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, &DialogBase::request_help);
    set_help_topic(help_topic);
}

void DialogBase::set_help_topic(const char16_t* topic) {
    topic_ = topic ? topic : u"";
    if (!topic_.empty() && !help_button_) {
        help_button_ = buttons_->addButton(QDialogButtonBox::Help);
        help_button_->setObjectName("help");
        connect(buttons_, &QDialogButtonBox::helpRequested, this, &DialogBase::request_help);
    } else if (topic_.empty() && help_button_) {
        buttons_->removeButton(help_button_);
        delete help_button_;
        help_button_ = nullptr;
    }
}

void DialogBase::remove_ok_button() {
    if (QPushButton* ok = buttons_->button(QDialogButtonBox::Ok)) {
        buttons_->removeButton(ok);
        delete ok;
    }
}

void DialogBase::request_help() { show_help(topic_.empty() ? nullptr : topic_.c_str()); }

}  // namespace qelvio::shell
