#include "find/ui/find_commands_ui.h"

#include "find/ui/find_dialog.h"
#include "platform/ui/message_box.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QElapsedTimer>
#include <QVBoxLayout>

namespace qelvio::find {
namespace {

constexpr int kTextSearching = 35091;
constexpr int kMessageNotFound = 35063;
constexpr int kQuestionStartAgain = 35064;
constexpr int kMessageSelected = 35065;
// Items tested between two turns of the event loop.
constexpr int kItemsPerStep = 32;

// The window shown while a search runs: modal, so the user's input cannot
// change the image list the search is walking; its Cancel button or Esc
// stops the search.
class SearchingWindow : public QDialog {
public:
    explicit SearchingWindow(QWidget* parent) : QDialog(parent) {
        setObjectName("searching");
        setModal(true);
        setWindowTitle(platform::string_text(57344));
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(platform::string_text(kTextSearching), this);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(label->text()) * 2);
        layout->addWidget(label);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    void reject() override {
        stopped = true;
        QDialog::reject();
    }
    bool stopped = false;
};

}  // namespace

FindCommandsUi::FindCommandsUi(QWidget* parent, FindList& list)
    : parent_(parent), list_(list), search_(list), boxes_(std::make_unique<platform::MessageBoxQuestion>(parent)) {
    question = boxes_.get();
    inform = [this](const QString& text) { platform::show_message(parent_, text, platform::MessageIcon::information); };
}

FindCommandsUi::~FindCommandsUi() = default;

int FindCommandsUi::run_step(int position) {
    stopped_ = false;
    search_.start(position);
    // Without a criterion, or with little to do, the step ends at once.
    int result = search_.run(kItemsPerStep);
    if (result != kSearchRunning) return result;
    running_ = true;
    SearchingWindow window(parent_);
    QElapsedTimer clock;
    clock.start();
    while (result == kSearchRunning) {
        // Until the window is up, input waits (it is delivered afterwards)
        // instead of reaching the image list; then the window takes it.
        if (!window.isVisible() && !window.stopped && clock.elapsed() >= show_delay_ms) window.show();
        QCoreApplication::processEvents(window.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
        if (window.stopped) {
            search_.cancel();
            stopped_ = true;
            result = kSearchNotFound;
            break;
        }
        result = search_.run(kItemsPerStep);
    }
    running_ = false;
    return result;
}

void FindCommandsUi::select_only(int index) {
    search_.last_match = index;
    list_.clear_selection();
    list_.select_item(index);
    list_.show_item(index);
}

void FindCommandsUi::find_from_top() {
    search_.last_match = -1;
    search_.finished = false;
    int match = run_step(-1);
    if (match >= 0) {
        select_only(match);
        return;
    }
    search_.finished = true;
    if (!stopped_) inform(platform::string_text(kMessageNotFound));
}

void FindCommandsUi::find() {
    if (running_) return;
    search_.reset(FindCriteria{});
    FindCriteria criteria;
    {
        FindDialog dialog(parent_);
        if (dialog.exec() != QDialog::Accepted) return;
        criteria = dialog.criteria();
    }
    if (!criteria.any()) return;
    if (criteria.select_all) criteria.subfolders = false;
    search_.reset(criteria);
    if (criteria.select_all) {
        std::vector<int> matches = search_.all_matches();
        list_.clear_selection();
        for (int index : matches) list_.select_item(index);
        inform(platform::string_text(kMessageSelected).replace(QStringLiteral("%d"), QString::number(matches.size())));
        return;
    }
    find_from_top();
}

void FindCommandsUi::find_next() {
    if (running_) return;
    if (search_.last_match < 0 || search_.finished) {
        find();
        return;
    }
    int match = run_step(search_.last_match);
    if (match >= 0) {
        select_only(match);
        return;
    }
    if (stopped_) {
        // The walk may have left the folder of the last match: the next
        // Find Next starts a new search rather than go on from there.
        search_.finished = true;
        return;
    }
    if (question->ask(kQuestionStartAgain, u"", platform::kButtonsYesNo) != platform::kAnswerYes) {
        search_.finished = true;
        return;
    }
    find_from_top();
}

}  // namespace qelvio::find
