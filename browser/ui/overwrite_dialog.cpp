#include "browser/ui/overwrite_dialog.h"

#include "decoding/source/image_source.h"
#include "imaging/resample.h"
#include "imaging/ui/painter_target.h"
#include "platform/file_system.h"
#include "qelvio/p_mcp.h"
#include "resources/browser_texts.h"
#include "thumbnails/p_thumbcache.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

namespace qelvio::browser {
namespace {

QString qt(const char16_t* text) { return QString::fromUtf16(text); }

// The picture boxes take a thumbnail (at most 64 x 64) with a margin.
constexpr int kBoxSide = 72;

// The file time of a locator's file; nullopt when it cannot be read.
std::optional<uint64_t> file_time_of(const p_irl& irl) {
    p_mcp* registry = p_mcp::instance();
    p_filenode* node = nullptr;
    uint64_t time = 0;
    if (!registry || registry->openfile(irl, &node) < 0 || !node || node->getfiletime(&time) < 0) return std::nullopt;
    return time;
}

QString name_of(const p_irl& irl) {
    p_string name;
    irl.getfile(&name);
    return QString::fromUtf16(name.c_str());
}

}  // namespace

// ---- PictureBox ----

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setFixedSize(kBoxSide, kBoxSide);
}

void PictureBox::set_image(const QImage& image) {
    image_ = image;
    update();
}

QRect PictureBox::image_rect() const {
    if (image_.isNull()) return {};
    imaging::DibSize fitted = imaging::FitWithin(width() - 2, height() - 2, image_.width(), image_.height());
    return QRect((width() - fitted.width) / 2, (height() - fitted.height) / 2, fitted.width, fitted.height);
}

QSize PictureBox::sizeHint() const { return {kBoxSide, kBoxSide}; }

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!image_.isNull()) painter.drawImage(image_rect(), image_);
}

// ---- OverwriteDialog ----

OverwriteDialog::OverwriteDialog(bool multi, thumbnails::p_thumbcache* cache, QWidget* parent)
    : QDialog(parent), cache_(cache), target_(this) {
    setObjectName("d176");
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    const char* box_names[2] = {"c1121", "c1123"};
    const char* text_names[2] = {"c1042", "c1045"};
    for (int i = 0; i < 2; ++i) {
        boxes_[i] = new PictureBox(this);
        boxes_[i]->setObjectName(box_names[i]);
        texts_[i] = new QLabel(this);
        texts_[i]->setObjectName(text_names[i]);
        texts_[i]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        grid->addWidget(boxes_[i], 0, i, Qt::AlignHCenter);
        grid->addWidget(texts_[i], 1, i);
    }

    struct ButtonEntry {
        const char* name;
        const char16_t* text;
        int answer;
    };
    auto add_row = [this](QWidget* holder, std::initializer_list<ButtonEntry> entries) {
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        for (const ButtonEntry& entry : entries) {
            auto* button = new QPushButton(qt(entry.text), holder);
            button->setObjectName(entry.name);
            button->setAutoDefault(false);
            const int answer = entry.answer;
            connect(button, &QPushButton::clicked, this, [this, answer] { answer_with(answer); });
            row->addWidget(button);
        }
    };
    auto* answers = new QWidget(this);
    add_row(answers, {{"c1040", resources::kTextYes, P_ANSWER_YES},
                      {"c1043", resources::kTextNo, P_ANSWER_NO},
                      {"c1039", resources::kTextCancel, P_ANSWER_CANCEL}});
    outer->addWidget(answers);
    auto* to_all = new QWidget(this);
    to_all->setObjectName("to_all");
    add_row(to_all, {{"c1041", resources::kTextYesToAll, P_ANSWER_YESTOALL},
                     {"c1044", resources::kTextNoToAll, P_ANSWER_NOTOALL}});
    outer->addWidget(to_all);
    // Without several files the to-all row is not there at all, and the
    // dialog is as short as the rest.
    to_all->setVisible(multi);
    if (!multi) outer->removeWidget(to_all);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    findChild<QPushButton*>("c1040")->setDefault(true);

    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, [this] {
        if (take_thumbnails()) poll_->stop();
    });
}

OverwriteDialog::~OverwriteDialog() { target_.detach(); }

QString OverwriteDialog::date_text(uint64_t file_time) {
    QLocale locale;
    QDateTime when = QDateTime::fromSecsSinceEpoch(platform::unix_seconds_of_file_time(file_time));
    QString time_format = locale.timeFormat(QLocale::ShortFormat);
    time_format.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
    return locale.toString(when.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
           locale.toString(when.time(), time_format.trimmed());
}

void OverwriteDialog::prepare(const p_irl& incoming, const p_irl& existing) {
    setWindowTitle(qt(resources::kTextOverwriteTitle).replace(QStringLiteral("%s"), name_of(existing)));
    const p_irl* files[2] = {&existing, &incoming};
    const char16_t* formats[2] = {resources::kTextOverwriteExisting, resources::kTextOverwriteIncoming};
    for (int i = 0; i < 2; ++i) {
        std::optional<uint64_t> time = file_time_of(*files[i]);
        texts_[i]->setText(qt(formats[i]).replace(QStringLiteral("%s"), time ? date_text(*time) : QString()));
        boxes_[i]->set_image({});
        images_[i] = cache_ ? cache_->getimage(*files[i]) : nullptr;
        pending_[i] = images_[i] != nullptr;
    }
    if (!take_thumbnails()) poll_->start();
}

int OverwriteDialog::ask(const p_irl& incoming, const p_irl& existing) {
    prepare(incoming, existing);
    answer_ = P_ANSWER_YES;
    exec();
    poll_->stop();
    return answer_;
}

bool OverwriteDialog::take_thumbnails() {
    bool done = true;
    for (int i = 0; i < 2; ++i) {
        if (!pending_[i]) continue;
        // Starts the decode on the image's worker, or finishes one that
        // ended; -13 while it runs.
        int status = images_[i]->thumbnail(&target_);
        if (status == P_IMAGE_BUSY) {
            done = false;
            continue;
        }
        pending_[i] = false;
        const imaging::Dib* thumbnail = images_[i]->thumbnail_bitmap();
        if (status == P_OK && thumbnail)
            boxes_[i]->set_image(imaging::dib_rows_image(*thumbnail).mirrored(false, true));
    }
    return done;
}

bool OverwriteDialog::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* message = static_cast<platform::NumberedMessageEvent*>(event);
        if (message->message() == decoding::kMessageDecodeDone && take_thumbnails()) poll_->stop();
        return true;
    }
    return QDialog::event(event);
}

void OverwriteDialog::answer_with(int answer) {
    answer_ = answer;
    done(QDialog::Accepted);
}

void OverwriteDialog::reject() {
    answer_ = P_ANSWER_CANCEL;
    QDialog::reject();
}

// ---- OverwritePrompt ----

OverwritePrompt::OverwritePrompt(bool multi, thumbnails::p_thumbcache* cache, QWidget* parent)
    : dialog_(new OverwriteDialog(multi, cache, parent)) {}

OverwritePrompt::~OverwritePrompt() { delete dialog_.data(); }

int OverwritePrompt::show(const p_irl& source, const p_irl& existing) {
    return dialog_ ? dialog_->ask(source, existing) : P_ANSWER_CANCEL;
}

}  // namespace qelvio::browser
