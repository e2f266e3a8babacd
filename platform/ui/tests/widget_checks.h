// What the widget tests share: answering the modal windows a call opens,
// and checking that a window's texts are not clipped.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

namespace qelvio::ui_testing {

// Runs each action, in turn, on the next modal window that opens (checked
// every few milliseconds); an action left unrun when the script goes is a
// failure. The windows' titles and object names are recorded.
class ModalScript : public QObject {
public:
    explicit ModalScript(std::vector<std::function<void(QWidget*)>> actions, int interval_ms = 5)
        : actions_(std::move(actions)) {
        timer_.setInterval(interval_ms);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == last_ || next_ >= actions_.size()) return;
            last_ = modal;
            titles.push_back(modal->windowTitle());
            names.push_back(modal->objectName());
            actions_[next_++](modal);
            last_ = nullptr;
        });
        timer_.start();
    }
    ~ModalScript() override { EXPECT_EQ(next_, actions_.size()) << "modal windows expected but not shown"; }
    std::vector<QString> titles;
    QStringList names;

private:
    QTimer timer_;
    std::vector<std::function<void(QWidget*)>> actions_;
    std::size_t next_ = 0;
    QWidget* last_ = nullptr;
};

// Checks that every visible text control of a window lies inside it at no
// less than the size its text needs; with QELVIO_SHOT_DIR set the window is
// also saved there as a PNG file, to be looked at. The window is hidden
// again afterwards.

inline void expect_unclipped(QWidget& window, const QString& shot) {
    window.show();
    QCoreApplication::processEvents();
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisible() || !(qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control) ||
                                       qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control)))
            continue;
        // The combo box's own edit, and buttons without a text (a spin
        // button's arrows).
        if (qobject_cast<QComboBox*>(control->parentWidget())) continue;
        if (auto* arrow = qobject_cast<QToolButton*>(control); arrow && arrow->text().isEmpty()) continue;
        const std::string what = shot.toStdString() + " " + control->objectName().toStdString() + " '" +
                                 (qobject_cast<QLabel*>(control) ? qobject_cast<QLabel*>(control)->text().toStdString()
                                                                 : std::string()) + "'";
        QRect inside(control->mapTo(&window, QPoint(0, 0)), control->size());
        EXPECT_TRUE(window.rect().contains(inside)) << what;
        QSize needed = control->minimumSizeHint();
        EXPECT_GE(control->width(), needed.width()) << what;
        EXPECT_GE(control->height(), needed.height()) << what;
    }
    if (const char* folder = std::getenv("QELVIO_SHOT_DIR")) window.grab().save(QDir(folder).filePath(shot + ".png"));
    window.hide();
}

}  // namespace qelvio::ui_testing
