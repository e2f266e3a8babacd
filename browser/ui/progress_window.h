// The "Progress" window: a top-most tool window with a line of text and a
// bar, stepped by code that runs a multi-step operation on the
// user-interface thread. A step dispatches only the window's own pending
// events and paints it at once, so the user cannot work elsewhere meanwhile.
#pragma once

#include "decoding/transform/progress_window.h"

#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;

namespace qelvio::browser {

class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    // text: the line shown; the string-table number variant is below.
    ProgressWindow(const QString& text, int minimum, int maximum);
    ProgressWindow(int string_id, int minimum, int maximum);

    void step(int position);
    int minimum() const;
    int maximum() const;
    int position() const;
    QString text() const;

private:
    QLabel* label_;
    QProgressBar* bar_;
};

// The progress window as the core's long operations see it (the lossless
// transform, sending e-mail): the operation creates, steps and closes it.
class CoreProgressWindow : public decoding::ProgressWindow {
public:
    void create(std::u16string_view text, int minimum, int maximum) override;
    void step(int position) override;
    void close() override { window_.reset(); }

private:
    std::unique_ptr<browser::ProgressWindow> window_;
};

}  // namespace qelvio::browser
