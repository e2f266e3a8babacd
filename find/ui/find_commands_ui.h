// Find (command 32900) and Find Next (32901) as the image list runs them:
// the Find dialog, the search run in steps between the window's events
// (input waits until a search that takes a while puts up a small modal
// "Searching..." window, whose Cancel button or Esc stops it), and the outcome put before the user: the match
// selected alone and scrolled into view, every match selected (select-all
// mode, then 35065), or the messages 35063 and 35064.
//
// The image list owns one of these for the search state kept between Find
// and Find Next. User-interface thread only; find() and find_next() return
// when the search is over.
#pragma once

#include "find/find_list.h"
#include "platform/user_question.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace qelvio::find {

class FindDialog;

class FindCommandsUi {
public:
    FindCommandsUi(QWidget* parent, FindList& list);
    ~FindCommandsUi();

    // Command 32900: resets the search state and asks for the criteria.
    void find();
    // Command 32901: continues after the last match (as Find without one,
    // or after a finished search).
    void find_next();

    // Whether a search is running now (the commands' window is up).
    bool searching() const { return running_; }
    const FindSearch& search() const { return search_; }

    // Information messages (35063, 35065); a message box unless replaced.
    std::function<void(const QString&)> inform;
    // The question 35064; message boxes unless replaced.
    platform::UserQuestion* question;
    // A search that runs longer than this (ms) shows its window; a shorter
    // one ends without a flash.
    int show_delay_ms = 300;

private:
    // Runs a search step after `position` with the searching window up;
    // the match, or kSearchNotFound (also when the user stopped it).
    int run_step(int position);
    // Searches from the top and shows the outcome.
    void find_from_top();
    void select_only(int index);

    QWidget* parent_;
    FindList& list_;
    FindSearch search_;
    std::unique_ptr<platform::UserQuestion> boxes_;
    bool running_ = false;
    bool stopped_ = false;
};

}  // namespace qelvio::find
