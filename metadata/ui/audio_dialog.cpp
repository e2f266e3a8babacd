#include "metadata/ui/audio_dialog.h"

#include "platform/device_root.h"
#include "platform/ui/message_box.h"
#include "resources/properties_texts.h"
#include "shell/ui/record_key.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace qelvio::metadata {
namespace {

QString txt(const char16_t* text) { return QString::fromUtf16(text); }
QString txt(const std::u16string& text) { return QString::fromStdU16String(text); }

// The three picture buttons' faces: a red dot, a square, a triangle.
QIcon picture(int control) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (control == kAudioRecord) {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(2, 2, 12, 12));
    } else if (control == kAudioStop) {
        p.setBrush(Qt::black);
        p.drawRect(QRectF(3, 3, 10, 10));
    } else {
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
    }
    p.end();
    QIcon icon(pixmap);
    // Disabled faces in grey, so the enabled buttons stand out.
    QPixmap grey = pixmap;
    QPainter g(&grey);
    g.setCompositionMode(QPainter::CompositionMode_SourceIn);
    g.fillRect(grey.rect(), QColor(160, 160, 160));
    g.end();
    icon.addPixmap(grey, QIcon::Disabled);
    return icon;
}

QMessageBox::Icon box_icon(AudioDialogView::Icon icon) {
    switch (icon) {
    case AudioDialogView::Icon::error: return QMessageBox::Critical;
    case AudioDialogView::Icon::exclamation: return QMessageBox::Warning;
    default: return QMessageBox::Question;
    }
}

uint64_t steady_ms() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<uint64_t>(clock.elapsed());
}

}  // namespace

QString file_dialog_filter(const QString& table_filter) {
    // Pairs of description and pattern, separated by "|", ended by "||".
    QStringList parts = table_filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        filters << parts[i];
    }
    return filters.join(QStringLiteral(";;"));
}

AudioDialog::AudioDialog(QWidget* parent, std::u16string file_name, const uint8_t* audio, std::size_t length,
                         bool record_at_once, bool read_only, std::unique_ptr<platform::AudioRecorder> recorder,
                         std::unique_ptr<platform::AudioPlayer> player)
    : DialogBase(parent),
      recorder_(recorder ? std::move(recorder) : platform::make_audio_recorder()),
      player_(player ? std::move(player) : platform::make_audio_player()),
      target_(this) {
    setObjectName("dialog186");
    setWindowTitle(txt(resources::kAudioCaption));

    hooks.message = [this](const QString& text, AudioDialogView::Icon icon) {
        QMessageBox box(box_icon(icon), platform::string_text(57344), text, QMessageBox::Ok, this);
        box.exec();
    };
    hooks.ask = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, platform::string_text(57344), question,
                        QMessageBox::Yes | QMessageBox::No, this);
        return box.exec() == QMessageBox::Yes;
    };
    hooks.choose_file = [this](bool save, const QString& suggested, const QString& filter) -> std::optional<QString> {
        QFileDialog dialog(this, QString(), QString(), filter);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("wav"));
        if (!suggested.isEmpty()) dialog.selectFile(suggested);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().front();
    };

    auto* status_row = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName("c1057");
    elapsed_ = new QLabel(this);
    elapsed_->setObjectName("elapsed");
    status_row->addWidget(status_);
    status_row->addStretch();
    status_row->addWidget(elapsed_);
    body()->addLayout(status_row);

    auto* pictures = new QHBoxLayout;
    for (int control : {kAudioRecord, kAudioStop, kAudioPlay}) {
        QPushButton* b = button(control, QString());
        b->setIcon(picture(control));
        b->setIconSize(QSize(16, 16));
        b->setMinimumWidth(44);
        pictures->addWidget(b);
    }
    pictures->addStretch();
    body()->addLayout(pictures);

    auto* grid = new QGridLayout;
    grid->addWidget(button(kAudioClear, txt(resources::kAudioClear)), 0, 0);
    grid->addWidget(button(kAudioRevert, txt(resources::kAudioRevert)), 0, 1);
    grid->addWidget(button(kAudioLoad, txt(resources::kAudioLoad)), 1, 0);
    grid->addWidget(button(kAudioSave, txt(resources::kAudioSave)), 1, 1);
    grid->setColumnStretch(2, 1);
    body()->addLayout(grid);

    read_only_text_ = new QLabel(txt(resources::kAudioReadOnly), this);
    read_only_text_->setObjectName("c1109");
    body()->addWidget(read_only_text_);

    timer_.setInterval(kAudioTimerMs);
    connect(&timer_, &QTimer::timeout, this, [this] { model_->timer_tick(); });

    model_ = std::make_unique<AudioDialogModel>(static_cast<AudioDialogView&>(*this), *recorder_, *player_, target_, steady_ms);
    connect(findChild<QPushButton*>("c1054"), &QPushButton::clicked, this, [this] { model_->record(); });
    connect(findChild<QPushButton*>("c1055"), &QPushButton::clicked, this, [this] { model_->stop(); });
    connect(findChild<QPushButton*>("c1056"), &QPushButton::clicked, this, [this] { model_->play(); });
    connect(findChild<QPushButton*>("c1059"), &QPushButton::clicked, this, [this] { model_->clear(); });
    connect(findChild<QPushButton*>("c3"), &QPushButton::clicked, this, [this] { model_->revert(); });
    connect(findChild<QPushButton*>("c1077"), &QPushButton::clicked, this, [this] { model_->load(); });
    connect(findChild<QPushButton*>("c1078"), &QPushButton::clicked, this, [this] { model_->save(); });

    shell::record_key().claim(shell::kRecordKeyId, this, [this](bool down) { model_->record_key(down); });
    model_->open(std::move(file_name), audio, length, record_at_once, read_only);
}

AudioDialog::~AudioDialog() {
    shell::record_key().release(shell::kRecordKeyId, this);
    model_->close();
    target_.detach();
}

QPushButton* AudioDialog::button(int control, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QStringLiteral("c%1").arg(control));
    b->setAutoDefault(false);
    return b;
}

void AudioDialog::done(int result) {
    // A recording still running ends here; its buffers are not waited for.
    model_->close();
    shell::record_key().release(shell::kRecordKeyId, this);
    DialogBase::done(result);
}

bool AudioDialog::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* message = static_cast<platform::NumberedMessageEvent*>(event);
        model_->handle_message(message->message(), message->first(), message->second());
        return true;
    }
    return DialogBase::event(event);
}

void AudioDialog::show_message(const std::u16string& text, Icon icon) { hooks.message(txt(text), icon); }

bool AudioDialog::ask_yes_no(int string_id) { return hooks.ask(platform::string_text(string_id)); }

std::optional<std::u16string> AudioDialog::choose_file(bool save, const std::u16string& suggested,
                                                       const std::u16string& extension, int filter_id) {
    (void)extension;  // the file dialogs add ".wav" themselves
    QString start = txt(suggested);
    if (!start.isEmpty()) start = QString::fromStdString(platform::to_local_path(suggested));
    auto chosen = hooks.choose_file(save, start, file_dialog_filter(platform::string_text(filter_id)));
    if (!chosen) return std::nullopt;
    auto device = platform::to_device_path(chosen->toStdString());
    if (!device) {
        // A place outside the device cannot be reached by the file calls.
        hooks.message(platform::string_text(save ? 35043 : 35044), Icon::exclamation);
        return std::nullopt;
    }
    return device;
}

void AudioDialog::set_timer(bool running) {
    if (running)
        timer_.start();
    else
        timer_.stop();
}

void AudioDialog::refresh() {
    status_->setText(platform::string_text(model_->status_string()));
    elapsed_->setText(model_->state() == kAudioIdle ? QString() : txt(model_->elapsed_text()));
    for (int control : {kAudioRecord, kAudioStop, kAudioPlay, kAudioClear, kAudioRevert, kAudioLoad, kAudioSave})
        findChild<QPushButton*>(QStringLiteral("c%1").arg(control))->setEnabled(model_->enabled(control));
    if (QPushButton* ok = buttons()->button(QDialogButtonBox::Ok)) ok->setEnabled(model_->enabled(kAudioOk));
    read_only_text_->setVisible(model_->read_only_text_shown());
}

bool run_audio_dialog(QWidget* parent, const std::u16string& file_name, const std::vector<uint8_t>* audio,
                      bool record_at_once, bool read_only, std::vector<uint8_t>& result) {
    AudioDialog dialog(parent, file_name, audio ? audio->data() : nullptr, audio ? audio->size() : 0,
                       record_at_once, read_only);
    if (dialog.exec() != QDialog::Accepted) return false;
    const std::vector<uint8_t>* edited = dialog.audio();
    result = edited ? *edited : std::vector<uint8_t>();
    return true;
}

}  // namespace qelvio::metadata
