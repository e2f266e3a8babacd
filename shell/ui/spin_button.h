// A spin button attached to an edit: two arrow buttons that step a whole
// number within a range and write it into the edit.
#pragma once

#include <QWidget>

class QLineEdit;

namespace qelvio::shell {

class SpinButton : public QWidget {
    Q_OBJECT
public:
    SpinButton(QLineEdit& buddy, int minimum, int maximum, QWidget* parent);
    int value() const;
    // Steps the buddy's number by delta, kept in the range.
    void step(int delta);

private:
    QLineEdit& buddy_;
    int minimum_;
    int maximum_;
};

}  // namespace qelvio::shell
