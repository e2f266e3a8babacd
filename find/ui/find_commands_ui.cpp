#include "find/ui/find_commands_ui.h"

#include "find/ui/find_dialog.h"
#include "platform/ui/message_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace qelvio::find {
namespace {

constexpr int kTextSearching = 35091;
constexpr int kMessageNotFound = 35063;
constexpr int kQuestionStartAgain = 35064;
constexpr int kMessageSelected = 35065;
// Items tested between two turns of the event loop.
constexpr int kItemsPerStep = 32;

// The window shown while a search runs: it keeps the user's input away from
// the image list, which the search is changing, and its Cancel button or
// Esc stops the search. Each turn of the event loop runs one bounded step.
class SearchingWindow : public QDialog {
public:
    SearchingWindow(QWidget* parent, FindSearch& search) : QDialog(parent), search_(search) {
        setObjectName("searching");
        setWindowTitle(platform::string_text(57344));
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(platform::string_text(kTextSearching), this);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(label->text()) * 2);
        layout->addWidget(label);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
        step_.setInterval(0);
        connect(&step_, &QTimer::timeout, this, [this] {
            result_ = search_.run(kItemsPerStep);
            if (result_ != kSearchRunning) {
                step_.stop();
                accept();
            }
        });
    }
    // The step's result; kSearchNotFound when the user stopped it.
    int run() {
        step_.start();
        if (exec() != QDialog::Accepted) {
            step_.stop();
            search_.cancel();
            stopped = true;
            return kSearchNotFound;
        }
        return result_;
    }
    bool stopped = false;

private:
    FindSearch& search_;
    QTimer step_;
    int result_ = kSearchNotFound;
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
    // Without a criterion, or with nothing to do, the step ends at once.
    int result = search_.run(kItemsPerStep);
    if (result != kSearchRunning) return result;
    running_ = true;
    SearchingWindow window(parent_, search_);
    result = window.run();
    running_ = false;
    stopped_ = window.stopped;
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
    if (stopped_) return;
    if (question->ask(kQuestionStartAgain, u"", platform::kButtonsYesNo) != platform::kAnswerYes) {
        search_.finished = true;
        return;
    }
    find_from_top();
}

}  // namespace qelvio::find
