#include "shell/ui/options_page.h"

#include "platform/ui/message_box.h"
#include "resources/dialog_texts.h"
#include "shell/file_associations.h"
#include "shell/ui/spin_button.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

namespace qelvio::shell {
namespace {

QString txt(const char16_t* text) { return QString::fromUtf16(text); }

QLabel* heading(const char16_t* text, QWidget* parent) {
    auto* label = new QLabel(txt(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// The interval as the edit shows it: "3", "2.5", "12.34".
QString interval_text(float seconds) {
    return QString::number(static_cast<double>(slide_interval_from_stored(slide_interval_to_stored(seconds))), 'g', 6);
}

}  // namespace

bool associate_running_program() {
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    bool ok = register_file_associations(QString::fromStdString(program).toStdU16String()) == 0;
    ok = install_desktop_entry(program) && ok;
    ok = set_default_applications() && ok;
    return ok;
}

OptionsPage::OptionsPage(Settings& settings, QWidget* parent) : QWidget(parent), settings_(settings) {
    setObjectName("dialog140");
    associate = associate_running_program;
    auto* v = new QVBoxLayout(this);

    v->addWidget(heading(resources::kOptionsInThumbnailMode, this));
    filenames_ = new QCheckBox(txt(resources::kOptionsFilenames), this);
    filenames_->setObjectName("c1011");
    annoticons_ = new QCheckBox(txt(resources::kOptionsAnnotationIcons), this);
    annoticons_->setObjectName("c1092");
    v->addWidget(filenames_);
    v->addWidget(annoticons_);

    v->addWidget(heading(resources::kOptionsInViewer, this));
    auto_audio_ = new QCheckBox(txt(resources::kOptionsAutoAudio), this);
    auto_audio_->setObjectName("c1115");
    v->addWidget(auto_audio_);

    v->addWidget(heading(resources::kOptionsInSlideshow, this));
    auto* delay = new QHBoxLayout;
    delay->addWidget(new QLabel(txt(resources::kOptionsDelay), this));
    interval_ = new QLineEdit(this);
    interval_->setObjectName("c1008");
    interval_->setValidator(new QDoubleValidator(0.0, 9999.0, 2, interval_));
    interval_->setMaximumWidth(70);
    delay->addWidget(interval_);
    // The spin button attached to the edit steps whole seconds, 0 to 9999.
    spin_ = new SpinButton(*interval_, 0, 9999, this);
    spin_->setObjectName("c1009");
    delay->addWidget(spin_);
    delay->addWidget(new QLabel(txt(resources::kOptionsSecondsBetween), this));
    delay->addStretch();
    v->addLayout(delay);

    v->addWidget(heading(resources::kOptionsAfterEditing, this));
    auto* quality = new QHBoxLayout;
    quality_ = new QComboBox(this);
    quality_->setObjectName("c1037");
    for (const char16_t* q : resources::kOptionsQualities) quality_->addItem(txt(q));
    quality->addWidget(quality_);
    quality->addWidget(new QLabel(txt(resources::kOptionsQuality), this));
    quality->addStretch();
    v->addLayout(quality);

    v->addWidget(heading(resources::kOptionsWhenMailing, this));
    mail_program_ = new QCheckBox(txt(resources::kOptionsMailProgram), this);
    mail_program_->setObjectName("mail_program");
    v->addWidget(mail_program_);

    auto* button = new QPushButton(txt(resources::kOptionsAssociate), this);
    button->setObjectName("c1076");
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &OptionsPage::associate_clicked);
    v->addSpacing(6);
    v->addWidget(button, 0, Qt::AlignLeft);
    v->addStretch();
    load();
}

void OptionsPage::load() {
    filenames_->setChecked(settings_.thumb_filenames);
    annoticons_->setChecked(settings_.thumb_annoticons);
    auto_audio_->setChecked(settings_.auto_audio);
    mail_program_->setChecked(settings_.mail_program);
    interval_->setText(interval_text(settings_.slide_interval));
    quality_->setCurrentIndex(settings_.savequality >= 0 && settings_.savequality < 3 ? settings_.savequality : 1);
}

void OptionsPage::apply() {
    settings_.thumb_filenames = filenames_->isChecked();
    settings_.thumb_annoticons = annoticons_->isChecked();
    settings_.auto_audio = auto_audio_->isChecked();
    settings_.mail_program = mail_program_->isChecked();
    bool ok = false;
    double seconds = interval_->text().toDouble(&ok);
    // A text that is no number, or one out of the spin range, keeps the value.
    if (ok && std::isfinite(seconds) && seconds >= 0 && seconds <= 9999)
        settings_.slide_interval = static_cast<float>(seconds);
    settings_.savequality = quality_->currentIndex();
    settings_.notify(kSettingsChangedByOptions);
}

void OptionsPage::associate_clicked() {
    if (associate && associate())
        platform::show_message(this, platform::string_text(35068), platform::MessageIcon::information);
    else
        platform::show_message(this, platform::string_text(35107), platform::MessageIcon::exclamation);
}

OptionsSheet::OptionsSheet(Settings& settings, QWidget* parent) : DialogBase(parent, u"options") {
    setObjectName("options_sheet");
    setWindowTitle(platform::string_text(35056));
    auto* tabs = new QTabWidget(this);
    page_ = new OptionsPage(settings, tabs);
    tabs->addTab(page_, txt(resources::kOptionsPageCaption));
    body()->addWidget(tabs);
    buttons()->addButton(QDialogButtonBox::Cancel);
    // The sheet opens with the page's first control focused.
    page_->findChild<QWidget*>("c1011")->setFocus();
}

void OptionsSheet::accept() {
    page_->apply();
    DialogBase::accept();
}

}  // namespace qelvio::shell
