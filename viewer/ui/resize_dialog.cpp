#include "viewer/ui/resize_dialog.h"

#include "platform/ui/message_box.h"
#include "resources/viewer_texts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qelvio::viewer {

ResizeDialog::ResizeDialog(int width, int height, QSize screen, QWidget* parent)
    : shell::DialogBase(parent, u"resize"), fields_(width, height), screen_(screen), width_(width), height_(height) {
    setWindowTitle(QString::fromUtf16(resources::kTextResizeTitle));
    auto* group = new QGroupBox(QString::fromUtf16(resources::kTextNewSize), this);
    auto* grid = new QGridLayout(group);
    width_edit_ = new QLineEdit(group);
    width_edit_->setObjectName("c1005");
    height_edit_ = new QLineEdit(group);
    height_edit_->setObjectName("c1006");
    auto* fit_width = new QPushButton(QString::fromUtf16(resources::kTextFit), group);
    fit_width->setObjectName("c1075");
    fit_width->setAutoDefault(false);
    auto* fit_height = new QPushButton(QString::fromUtf16(resources::kTextFit), group);
    fit_height->setObjectName("c1076");
    fit_height->setAutoDefault(false);
    aspect_ = new QCheckBox(QString::fromUtf16(resources::kTextMaintainAspect), group);
    aspect_->setObjectName("c1007");
    aspect_->setChecked(true);
    auto* width_label = new QLabel(QString::fromUtf16(resources::kTextWidth), group);
    auto* height_label = new QLabel(QString::fromUtf16(resources::kTextHeight), group);
    width_label->setBuddy(width_edit_);
    height_label->setBuddy(height_edit_);
    grid->addWidget(width_label, 0, 0);
    grid->addWidget(width_edit_, 0, 1);
    grid->addWidget(fit_width, 0, 2);
    grid->addWidget(height_label, 1, 0);
    grid->addWidget(height_edit_, 1, 1);
    grid->addWidget(fit_height, 1, 2);
    grid->addWidget(aspect_, 2, 0, 1, 3);
    body()->addWidget(group);
    show_fields();
    // Typing replaces the width at once (the OK button comes first in the
    // focus chain).
    width_edit_->setFocus();
    width_edit_->selectAll();

    // textEdited comes from the user only, so the written value does not
    // echo back.
    connect(width_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        fields_.set_width_text(text.toStdString());
        show_fields();
    });
    connect(height_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        fields_.set_height_text(text.toStdString());
        show_fields();
    });
    connect(fit_width, &QPushButton::clicked, this, [this] {
        fields_.fit_width(screen_.width());
        show_fields();
    });
    connect(fit_height, &QPushButton::clicked, this, [this] {
        fields_.fit_height(screen_.height());
        show_fields();
    });
    connect(aspect_, &QCheckBox::toggled, this, [this](bool on) { fields_.set_locked(on); });
}

void ResizeDialog::show_fields() {
    QString w = QString::fromStdString(fields_.width_text()), h = QString::fromStdString(fields_.height_text());
    if (width_edit_->text() != w) width_edit_->setText(w);
    if (height_edit_->text() != h) height_edit_->setText(h);
}

void ResizeDialog::accept() {
    int width = 0, height = 0;
    int refused = fields_.validate(width, height);
    if (refused != 0) {
        QLineEdit* edit = refused == kResizeWidth ? width_edit_ : height_edit_;
        QString text = QString::fromUtf16(resources::kTextIntegerRange)
                           .replace("%d and %d", QString("%1 and %2").arg(kResizeMinimum).arg(kResizeMaximum));
        platform::show_message(this, text, platform::MessageIcon::exclamation);
        edit->setFocus();
        edit->selectAll();
        return;
    }
    width_ = width;
    height_ = height;
    shell::DialogBase::accept();
}

}  // namespace qelvio::viewer
