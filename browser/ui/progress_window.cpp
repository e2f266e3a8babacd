#include "browser/ui/progress_window.h"

#include "browser/progress_layout.h"
#include "platform/ui/message_box.h"
#include "resources/command_table.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

namespace qelvio::browser {

ProgressWindow::ProgressWindow(const QString& text, int minimum, int maximum)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("progress");
    setWindowTitle(QString::fromUtf16(resources::kTextProgressTitle));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);  // the face colour of three-dimensional objects
    QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 240, 320);
    ProgressLayout l = progress_layout(screen.width(), screen.height());
    setGeometry(l.window.left, l.window.top, l.window.width(), l.window.height());
    label_ = new QLabel(text, this);
    label_->setObjectName("text");
    label_->setGeometry(l.text.left, l.text.top, l.text.width(), l.text.height());
    bar_ = new QProgressBar(this);
    bar_->setObjectName("bar");
    bar_->setTextVisible(false);
    bar_->setGeometry(l.bar.left, l.bar.top, l.bar.width(), l.bar.height());
    ProgressRange range = progress_range(minimum, maximum);
    bar_->setRange(range.minimum, range.maximum);
    bar_->setValue(range.minimum);
    show();
    repaint();
}

ProgressWindow::ProgressWindow(int string_id, int minimum, int maximum)
    : ProgressWindow(platform::string_text(string_id), minimum, maximum) {}

void ProgressWindow::step(int position) {
    bar_->setValue(position);
    // Only this window's own events, then an immediate paint of it.
    QCoreApplication::sendPostedEvents(this);
    QCoreApplication::sendPostedEvents(bar_);
    repaint();
}

int ProgressWindow::minimum() const { return bar_->minimum(); }
int ProgressWindow::maximum() const { return bar_->maximum(); }
int ProgressWindow::position() const { return bar_->value(); }
QString ProgressWindow::text() const { return label_->text(); }

void CoreProgressWindow::create(std::u16string_view text, int minimum, int maximum) {
    window_ = std::make_unique<browser::ProgressWindow>(
        QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())), minimum, maximum);
    window_->show();
}

void CoreProgressWindow::step(int position) {
    if (window_) window_->step(position);
}

}  // namespace qelvio::browser
