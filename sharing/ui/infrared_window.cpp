#include "sharing/ui/infrared_window.h"

#include "platform/ui/message_box.h"
#include "qelvio/p_fileops.h"
#include "resources/infrared_texts.h"
#include "shell/command_line.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace qelvio::sharing {
namespace {

constexpr int kTextWaitingForReceiver = 35069;
constexpr int kTextWaitingForSender = 35070;
constexpr int kTextNextFromReceiver = 35077;
constexpr int kTextNextFromSender = 35078;
constexpr int kTextOverwrite = 35079;
constexpr int kTextSending = 35080;
constexpr int kTextReceiving = 35081;

// How long after a failure notification the window looks whether the
// worker gave up (it posts the failure just before it ends).
constexpr int kFailureSettleMs = 300;

QString qt(const char16_t* text) { return QString::fromUtf16(text); }
QString qt(const std::u16string& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// A number as the user's locale writes it: digit grouping, no decimals.
QString number(uint64_t value) { return QLocale().toString(static_cast<qulonglong>(value)); }

// A progress bar holds ints: large byte counts are scaled down together.
void set_bar(QProgressBar* bar, uint64_t value, uint64_t range) {
    while (range > static_cast<uint64_t>(std::numeric_limits<int>::max())) {
        range >>= 1;
        value >>= 1;
    }
    bar->setRange(0, static_cast<int>(range));
    bar->setValue(static_cast<int>(std::min(value, range)));
}

QLabel* value_label(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton* button(QWidget* parent, const char16_t* text, const char* name) {
    auto* b = new QPushButton(qt(text), parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

InfraredWindow::InfraredWindow(QWidget* parent, InfraredOptions options)
    : shell::DialogBase(parent), engine_(std::move(options)) {
    setObjectName("d193");
    setWindowTitle(qt(resources::kInfraredCaption));
    setModal(false);
    remove_ok_button();
    tell = [this](const QString& text) {
        platform::show_message(isVisible() ? this : parentWidget(), text, platform::MessageIcon::exclamation);
    };
    ask_overwrite = [this](const std::u16string& name) {
        platform::MessageBoxQuestion question(this);
        return question.ask(kTextOverwrite, name, platform::kButtonsYesNo) == platform::kAnswerYes;
    };

    waiting_ = new QLabel(this);
    waiting_->setObjectName("c1101");
    waiting_->setWordWrap(true);
    waiting_->hide();

    auto* totals = new QGroupBox(qt(resources::kInfraredTotals), this);
    auto* totals_grid = new QGridLayout(totals);
    files_remaining_ = value_label(totals, "c1097");
    queue_remaining_ = value_label(totals, "c1098");
    queue_bar_ = new QProgressBar(totals);
    queue_bar_->setObjectName("c1059");
    totals_grid->addWidget(new QLabel(qt(resources::kInfraredImagesRemaining), totals), 0, 0);
    totals_grid->addWidget(files_remaining_, 0, 1);
    totals_grid->addWidget(new QLabel(qt(resources::kInfraredBytesRemaining), totals), 1, 0);
    totals_grid->addWidget(queue_remaining_, 1, 1);
    totals_grid->addWidget(queue_bar_, 2, 0, 1, 2);

    file_group_ = new QGroupBox(this);
    file_group_->setObjectName("c1099");
    auto* file_grid = new QGridLayout(file_group_);
    file_remaining_ = value_label(file_group_, "c1100");
    file_bar_ = new QProgressBar(file_group_);
    file_bar_->setObjectName("c1060");
    resumed_ = new QLabel(qt(resources::kInfraredResumed), file_group_);
    resumed_->setObjectName("c1102");
    resumed_->hide();
    file_grid->addWidget(new QLabel(qt(resources::kInfraredBytesRemaining), file_group_), 0, 0);
    file_grid->addWidget(file_remaining_, 0, 1);
    file_grid->addWidget(file_bar_, 1, 0, 1, 2);
    file_grid->addWidget(resumed_, 2, 0, 1, 2);

    between_files_ = new QLabel(this);
    between_files_->setObjectName("c1104");
    between_files_->setWordWrap(true);

    auto* skip = button(this, resources::kInfraredSkip, "c1056");
    auto* stop = button(this, resources::kInfraredStop, "c1055");
    auto* hide = button(this, resources::kInfraredHide, "c3");
    connect(skip, &QPushButton::clicked, this, &InfraredWindow::skip_file);
    connect(stop, &QPushButton::clicked, this, &InfraredWindow::stop_transfer);
    connect(hide, &QPushButton::clicked, this, &InfraredWindow::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(skip);
    row->addWidget(stop);
    row->addStretch();
    row->addWidget(hide);

    body()->addWidget(waiting_);
    body()->addWidget(totals);
    body()->addWidget(file_group_);
    body()->addWidget(between_files_);
    body()->addLayout(row);
    // Wide enough for the waiting texts in a few lines and for long names.
    setMinimumWidth(380);
    show_state();
    target_.attach(this);
}

InfraredWindow::~InfraredWindow() {
    target_.detach();
    engine_.stop();
}

void InfraredWindow::send(const std::vector<p_filenode*>& files) {
    if (mode() == kReceiving) return;
    const bool starting = mode() == kIdle;
    // A finished send leaves its files in the queue, where they would keep
    // the same files from being queued again.
    if (starting) engine_.stop();
    for (p_filenode* file : files) {
        p_string path;
        if (!file || !p_localpath(file, path)) continue;  // only files of the "file" store travel
        engine_.queue_file(std::u16string_view(path), {}, file);
    }
    if (starting) {
        state_ = {};
        start(kSending);
        setWindowTitle(qt(resources::kInfraredSendCaption));
    }
    state_.queue_changed(engine_.entries());
    show_state();
    notify(true);
}

void InfraredWindow::receive() {
    if (mode() == kSending) return;
    if (mode() == kIdle) {
        state_ = {};
        start(kReceiving);
        setWindowTitle(qt(resources::kInfraredReceiveCaption));
        show_state();
    }
    notify(true);
}

void InfraredWindow::start(int how) {
    ++run_;
    role_ = how;
    engine_.start(how, &target_);
    show_waiting_text();
}

void InfraredWindow::stop_transfer() {
    if (mode() == kIdle) return;
    engine_.stop();
    show_stopped();
}

void InfraredWindow::show_stopped() {
    ++run_;  // a failure reported before this is not told
    end_being_sent();
    setWindowTitle(qt(resources::kInfraredStoppedCaption));
    notify(false);
}

void InfraredWindow::skip_file() { engine_.skip(); }

void InfraredWindow::end_being_sent() {
    if (!being_sent_) return;
    p_irl file = *being_sent_;
    being_sent_.reset();
    if (item_changed) item_changed(file);
}

bool InfraredWindow::is_being_sent(const p_irl& locator) const {
    return being_sent_ && std::u16string_view(*being_sent_) == std::u16string_view(locator);
}

void InfraredWindow::reject() {
    hide();
    notify(false);
}

void InfraredWindow::notify(bool show_now) {
    if (state_changed) state_changed(show_now);
}

void InfraredWindow::show_waiting_text() {
    waiting_->setText(platform::string_text(role_ == kReceiving ? kTextWaitingForSender : kTextWaitingForReceiver));
    waiting_->show();
    fit_contents();
}

void InfraredWindow::fit_contents() {
    // The layout takes in the waiting text's change first; without it the
    // window keeps room for a text it no longer shows.
    layout()->activate();
    adjustSize();
}

void InfraredWindow::show_state() {
    const InfraredWindowState& s = state_;
    files_remaining_->setText(number(static_cast<uint64_t>(s.files_remaining())));
    queue_remaining_->setText(number(s.queue_remaining()));
    set_bar(queue_bar_, s.queue_done(), s.queue_total());
    if (s.in_file()) {
        int text = role_ == kReceiving ? kTextReceiving : kTextSending;
        file_group_->setTitle(platform::string_text(text).replace(QLatin1String("%s"), qt(s.current().name)));
    } else {
        file_group_->setTitle(QString());
    }
    file_remaining_->setText(number(s.file_remaining()));
    set_bar(file_bar_, s.file_done(), std::max<uint64_t>(s.current().size, 1));
    resumed_->setVisible(s.resumed_shown());
    between_files_->setText(s.waiting_for_next() ? platform::string_text(role_ == kReceiving ? kTextNextFromSender
                                                                                              : kTextNextFromReceiver)
                                                 : QString());
}

bool InfraredWindow::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* message = static_cast<platform::NumberedMessageEvent*>(event);
        handle(message->message(), message->first());
        return true;
    }
    return shell::DialogBase::event(event);
}

void InfraredWindow::handle(uint32_t number, std::intptr_t first) {
    switch (number) {
    case kMsgConnected:
        state_.connected();
        state_.queue_changed(engine_.entries());
        waiting_->hide();
        show_state();
        fit_contents();
        notify(false);
        break;
    case kMsgAnnounced:
    case kMsgLeftQueue:
        state_.queue_changed(engine_.entries());
        show_state();
        break;
    case kMsgFileStarts: {
        std::optional<TransferEntry> entry = engine_.entry(static_cast<uint16_t>(first));
        if (!entry) break;
        state_.file_starts(*entry);
        show_state();
        if (role_ == kSending) {
            being_sent_ = shell::file_irl(entry->path);
            if (being_sent_ && item_changed) item_changed(*being_sent_);
        }
        break;
    }
    case kMsgTargetExists: {
        std::optional<TransferEntry> entry = engine_.entry(static_cast<uint16_t>(first));
        engine_.set_overwrite_answer(entry && ask_overwrite && ask_overwrite(entry->name));
        break;
    }
    case kMsgResumed:
        state_.resumed();
        show_state();
        break;
    case kMsgProgress:
        state_.progress(static_cast<uint64_t>(first));
        show_state();
        engine_.rearm_progress();
        break;
    case kMsgFileEnded: {
        const std::u16string name = state_.current().name;
        state_.file_ended(static_cast<int>(first));
        if (first == 1 && role_ == kReceiving && file_received) file_received(name);
        show_state();
        end_being_sent();
        break;
    }
    case kMsgDisconnected:
        end_being_sent();
        show_waiting_text();
        notify(false);
        break;
    case kMsgFailed:
        // A protocol error drops one peer and the receiver goes on; a link
        // that failed ends the worker, which the user must be told.
        QTimer::singleShot(kFailureSettleMs, this, [this, run = run_] {
            if (run != run_ || mode() != kIdle) return;
            show_stopped();  // told once
            if (tell) tell(qt(resources::kInfraredLinkFailed));
        });
        break;
    default: break;
    }
}

}  // namespace qelvio::sharing
