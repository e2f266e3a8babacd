// Checks that every visible text control of a window lies inside it at no
// less than the size its text needs; with QELVIO_SHOT_DIR set the window is
// also saved there as a PNG file, to be looked at.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

inline void expect_unclipped(QWidget& window, const QString& shot) {
    window.show();
    QCoreApplication::processEvents();
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisible() || !(qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control) ||
                                       qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control)))
            continue;
        if (qobject_cast<QComboBox*>(control->parentWidget())) continue;  // the combo box's own edit
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
}
