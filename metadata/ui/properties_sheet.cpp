#include "metadata/ui/properties_sheet.h"

#include "metadata/exif_value_text.h"
#include "metadata/image_properties.h"
#include "metadata/ui/audio_dialog.h"
#include "platform/ui/combo_list.h"
#include "qelvio/p_file.h"
#include "qelvio/p_status.h"
#include "resources/properties_texts.h"
#include "shell/mru_list.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace qelvio::metadata {
namespace {

constexpr int kCaption = 35019, kNameColumn = 35024, kValueColumn = 35025;
constexpr int kBytes = 35062, kIsReadOnly = 35103, kIsWritable = 35104, kMakeReadOnly = 35105,
              kMakeWritable = 35106, kCannotPerform = 35107, kCannotRename = 35035, kCannotSaveChanges = 35040;

QString txt(const char16_t* text) { return QString::fromUtf16(text); }
QString txt(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// "text\n(status message)", as a failed operation is shown.
QString with_status(int string_id, int32_t status) {
    return platform::string_text(string_id) + QStringLiteral("\n(") + txt(p_statusmessage(status).view()) +
           QStringLiteral(")");
}

// A whole number in the user's locale ("16,777,216" with comma grouping).
QString locale_number(uint64_t n) { return QLocale().toString(static_cast<qulonglong>(n)); }

// A file time (100 ns units since 1601) as the locale's date and time.
QString file_time_text(uint64_t file_time) {
    constexpr uint64_t kUnixEpoch = 116444736000000000ULL;
    if (file_time < kUnixEpoch) return QString();
    QDateTime when = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>((file_time - kUnixEpoch) / 10000),
                                                    Qt::UTC)
                         .toLocalTime();
    QLocale locale;
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' + locale.toString(when.time(), QLocale::ShortFormat);
}

QLabel* value_label(int control, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("c%1").arg(control));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The folder part of a locator's path: "\My Documents" for the file
// "\My Documents\a.jpg", a single backslash for a file at the top.
std::u16string folder_of(const p_irl& locator) {
    p_string path;
    locator.get(nullptr, nullptr, &path);
    std::u16string_view view = path.view();
    std::size_t slash = view.rfind(u'\\');
    if (slash == std::u16string_view::npos) return {};
    return std::u16string(view.substr(0, slash == 0 ? 1 : slash));
}

void default_message(QWidget* parent, const QString& text, platform::MessageIcon icon) {
    platform::show_message(parent, text, icon);
}

bool default_audio_dialog(QWidget* parent, const std::u16string& file_name, const std::vector<uint8_t>* audio,
                          bool read_only, std::vector<uint8_t>& result) {
    return run_audio_dialog(parent, file_name, audio, false, read_only, result);
}

}  // namespace

PropertiesSheet::PropertiesSheet(QWidget* parent, decoding::p_ImageSource& image, int first_page,
                                 PropertiesContext& context)
    : DialogBase(parent), image_(image), context_(context), file_(image.resolve_file()) {
    setObjectName("properties_sheet");
    setWindowTitle(platform::string_text(kCaption));
    uint32_t attributes = 0;
    if (file_ && file_->getfileattributes(&attributes) >= 0) read_only_ = (attributes & P_ATTRIBUTE_READONLY) != 0;

    tabs_ = new QTabWidget(this);
    tabs_->addTab(make_general(), txt(resources::kGeneralCaption));
    tabs_->addTab(make_annotation(), txt(resources::kAnnotationCaption));
    tabs_->addTab(make_metadata(), txt(resources::kMetadataCaption));
    // Help opens at the annotation topic from the Annotation page, at the
    // properties topic from the others.
    auto topic_of = [this](int page) { set_help_topic(page == kPageAnnotation ? u"annotation" : u"properties"); };
    connect(tabs_, &QTabWidget::currentChanged, this, topic_of);
    tabs_->setCurrentIndex(first_page >= 0 && first_page < tabs_->count() ? first_page : 0);
    topic_of(tabs_->currentIndex());
    body()->addWidget(tabs_);
    buttons()->addButton(QDialogButtonBox::Cancel);
    show_read_only();
}

QWidget* PropertiesSheet::make_general() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("general");
    auto* grid = new QGridLayout(page);
    int row = 0;
    auto add = [&](const char16_t* caption, QWidget* value) {
        grid->addWidget(new QLabel(txt(caption), page), row, 0);
        grid->addWidget(value, row++, 1);
    };

    p_string file_name;
    image_.locator().getfile(&file_name);
    name_ = new QLineEdit(txt(name_before_extension(file_name.view())), page);
    name_->setObjectName("c1048");
    add(resources::kGeneralFileName, name_);
    QLabel* location = value_label(1054, page);
    location->setText(txt(folder_of(image_.locator())));
    add(resources::kGeneralLocation, location);

    QLabel* size = value_label(1049, page);
    QLabel* date = value_label(1052, page);
    if (file_) {
        int32_t bytes = file_->getfilesize();
        if (bytes >= 0) size->setText(locale_number(static_cast<uint64_t>(bytes)) + platform::string_text(kBytes));
        uint64_t time = 0;
        if (file_->getfiletime(&time) >= 0) date->setText(file_time_text(time));
    }
    add(resources::kGeneralSize, size);
    add(resources::kGeneralFileDate, date);

    QLabel* dimensions = value_label(1050, page);
    QLabel* colours = value_label(1051, page);
    QLabel* format = value_label(1053, page);
    if (image_.format_entry()) {
        imaging::DibSize extent = image_.size();
        dimensions->setText(QStringLiteral("%1x%2").arg(extent.width).arg(extent.height));
        colours->setText(locale_number(colour_count(image_.bits_per_pixel())));
    }
    format->setText(txt(image_.format_name().view()));
    add(resources::kGeneralDimensions, dimensions);
    add(resources::kGeneralColors, colours);
    add(resources::kGeneralFormat, format);

    auto* state_row = new QHBoxLayout;
    read_only_text_ = value_label(1122, page);
    read_only_button_ = new QPushButton(page);
    read_only_button_->setObjectName("c1094");
    read_only_button_->setAutoDefault(false);
    connect(read_only_button_, &QPushButton::clicked, this, &PropertiesSheet::toggle_read_only);
    state_row->addWidget(read_only_text_);
    state_row->addStretch();
    state_row->addWidget(read_only_button_);
    grid->addLayout(state_row, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* PropertiesSheet::make_annotation() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("annotation");
    auto* grid = new QGridLayout(page);
    const ExifTagList* tags = image_.tag_list();

    grid->addWidget(new QLabel(txt(resources::kAnnotationDescription), page), 0, 0, Qt::AlignTop);
    description_ = new QPlainTextEdit(page);
    description_->setObjectName("c1051");
    description_->setTabChangesFocus(true);
    description_->setMinimumHeight(60);
    if (tags) description_->setPlainText(txt(annotation_description(*tags)));
    grid->addWidget(description_, 0, 1);

    auto combo = [&](int control, const shell::MruList& list, uint16_t tag) {
        auto* box = new QComboBox(page);
        box->setObjectName(QStringLiteral("c%1").arg(control));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        platform::ComboList items(*box);
        shell::load_list(items, list);
        box->setEditText(tags ? txt(annotation_text(*tags, tag)) : QString());
        return box;
    };
    artist_ = combo(1062, shell::kAnnotationAuthor, 315);
    copyright_ = combo(1063, shell::kAnnotationCopyright, 33432);
    grid->addWidget(new QLabel(txt(resources::kAnnotationArtist), page), 1, 0);
    grid->addWidget(artist_, 1, 1);
    grid->addWidget(new QLabel(txt(resources::kAnnotationCopyright), page), 2, 0);
    grid->addWidget(copyright_, 2, 1);

    auto* audio = new QPushButton(txt(resources::kAnnotationAudio), page);
    audio->setObjectName("c1052");
    audio->setAutoDefault(false);
    connect(audio, &QPushButton::clicked, this, &PropertiesSheet::open_audio);
    grid->addWidget(audio, 3, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    return page;
}

QWidget* PropertiesSheet::make_metadata() {
    auto* page = new QWidget(tabs_);
    page->setObjectName("metadata");
    // The list stands in front of the text that says there is nothing.
    auto* stack = new QStackedLayout(page);
    auto* list = new QTreeWidget(page);
    list->setObjectName("c1053");
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setColumnCount(2);
    list->setHeaderLabels({platform::string_text(kNameColumn), platform::string_text(kValueColumn)});
    if (const ExifTagList* tags = image_.tag_list()) {
        for (int group = 0; group <= 2; ++group)
            for (std::size_t i = 0; i < tags->size(group); ++i) {
                const ExifTag* entry = tags->at(group, i);
                new QTreeWidgetItem(list, {txt(exif_tag_name(entry->tag())), txt(exif_value_text(*entry))});
            }
    }
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    auto* none = new QLabel(txt(resources::kMetadataNone), page);
    none->setObjectName("no_metadata");
    none->setAlignment(Qt::AlignCenter);
    stack->addWidget(list);
    stack->addWidget(none);
    stack->setCurrentWidget(list->topLevelItemCount() ? static_cast<QWidget*>(list) : none);
    return page;
}

void PropertiesSheet::show_read_only() {
    read_only_text_->setText(platform::string_text(read_only_ ? kIsReadOnly : kIsWritable));
    read_only_button_->setText(platform::string_text(read_only_ ? kMakeWritable : kMakeReadOnly));
    description_->setReadOnly(read_only_);
    artist_->lineEdit()->setReadOnly(read_only_);
    copyright_->lineEdit()->setReadOnly(read_only_);
}

void PropertiesSheet::toggle_read_only() {
    if (!file_) {
        message(platform::string_text(kCannotPerform), platform::MessageIcon::exclamation);
        return;
    }
    int32_t status = metadata::toggle_read_only(file_, read_only_);
    if (status < 0) {
        message(with_status(kCannotPerform, status), platform::MessageIcon::exclamation);
        return;
    }
    attributes_changed_ = true;
    show_read_only();
}

void PropertiesSheet::open_audio() {
    const std::vector<uint8_t>* audio = staged_audio_ ? &*staged_audio_ : image_.audio();
    if (audio && audio->empty()) audio = nullptr;
    // The image's device path: the dialog's Save... suggests the note's
    // file beside the image.
    p_string path;
    image_.locator().get(nullptr, nullptr, &path);
    std::vector<uint8_t> result;
    auto dialog = context_.audio_dialog ? context_.audio_dialog : default_audio_dialog;
    if (dialog(this, std::u16string(path.view()), audio, read_only_, result) && !read_only_)
        staged_audio_ = std::move(result);
}

bool PropertiesSheet::apply_rename() {
    const std::u16string stem = name_->text().toStdU16String();
    if (!file_) {
        // The file is gone: a new name cannot be given to it.
        p_string file_name;
        image_.locator().getfile(&file_name);
        if (stem == name_before_extension(file_name.view())) return true;
        message(with_status(kCannotRename, P_NOT_FOUND), platform::MessageIcon::exclamation);
        return false;
    }
    bool renamed = false;
    int32_t status = rename_image(file_, stem, context_.prompt, renamed);
    if (status == P_CANCELLED) return false;
    if (status < 0) {
        message(with_status(kCannotRename, status), platform::MessageIcon::exclamation);
        return false;
    }
    if (!renamed) return true;
    renamed_ = true;
    // The image follows its file (the thumbnail cache does this too, when
    // the file tree tells it).
    p_string scheme, location, path;
    image_.locator().get(&scheme, &location, &path);
    std::u16string new_path(path.view().substr(0, path.view().rfind(u'\\') + 1));
    new_path += stem;
    new_path += name_extension_of(path.view().substr(path.view().rfind(u'\\') + 1));
    p_irl moved;
    moved.set(scheme.c_str(), location.c_str(), new_path.c_str());
    if (moved.view() != image_.locator().view()) image_.set_locator(moved);
    file_ = image_.resolve_file();
    return true;
}

void PropertiesSheet::apply_annotation_page() {
    if (read_only_) return;
    if (ExifTagList* tags = image_.tag_list()) {
        AnnotationTexts texts{description_->toPlainText().toStdU16String(),
                              artist_->currentText().toStdU16String(), copyright_->currentText().toStdU16String()};
        apply_annotation(*tags, texts);
    }
    platform::ComboList artists(*artist_), holders(*copyright_);
    shell::save_list(artists, shell::kAnnotationAuthor);
    shell::save_list(holders, shell::kAnnotationCopyright);
    if (staged_audio_) image_.set_audio(staged_audio_->empty() ? nullptr : staged_audio_->data(), staged_audio_->size());
}

bool PropertiesSheet::annotation_texts_fit() {
    if (read_only_) return true;
    for (const QString& text : {description_->toPlainText(), artist_->currentText(), copyright_->currentText()}) {
        auto unsupported = std::find_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
        if (unsupported == text.end()) continue;
        // A character outside the 16-bit range is shown whole.
        int at = static_cast<int>(unsupported - text.begin());
        QString character = unsupported->isHighSurrogate() ? text.mid(at, 2) : QString(*unsupported);
        tabs_->setCurrentIndex(kPageAnnotation);
        message(txt(resources::kAnnotationUnsupported).arg(character), platform::MessageIcon::exclamation);
        return false;
    }
    return true;
}

void PropertiesSheet::accept() {
    if (!annotation_texts_fit()) return;
    if (!apply_rename()) {
        tabs_->setCurrentIndex(kPageGeneral);
        return;
    }
    apply_annotation_page();
    DialogBase::accept();
}

void PropertiesSheet::message(const QString& text, platform::MessageIcon icon) {
    (context_.message ? context_.message : default_message)(this, text, icon);
}

bool show_properties(QWidget* parent, decoding::p_ImageSource& image, int first_page, PropertiesContext& context,
                     PropertiesOutcome* outcome) {
    PropertiesSheet sheet(parent, image, first_page, context);
    bool accepted = sheet.exec() == QDialog::Accepted;
    if (outcome) {
        outcome->accepted = accepted;
        outcome->renamed = sheet.renamed();
        outcome->attributes_changed = sheet.attributes_changed();
    }
    return accepted;
}

int save_properties(QWidget* parent, decoding::p_ImageSource& image, PropertiesContext& context) {
    int status = 0;
    if (image.changes() != 0) {
        platform::MessageBoxQuestion question(parent);
        decoding::SaveContext save = context.save;
        if (!save.question) save.question = &question;
        if (context.busy) context.busy(true);
        status = decoding::save_image(image, save);
        if (context.busy) context.busy(false);
        if (status < 0 && status != P_CANCELLED)
            (context.message ? context.message : default_message)(parent, with_status(kCannotSaveChanges, status),
                                                                  platform::MessageIcon::exclamation);
    }
    image.release(decoding::kReleaseAllButThumbnail);
    return status;
}

PropertiesOutcome run_properties(QWidget* parent, decoding::p_ImageSource& image, int first_page,
                                 PropertiesContext& context) {
    PropertiesOutcome outcome;
    if (show_properties(parent, image, first_page, context, &outcome))
        outcome.save_status = save_properties(parent, image, context);
    return outcome;
}

}  // namespace qelvio::metadata
