#include "shell/ui/spin_button.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qelvio::shell {

SpinButton::SpinButton(QLineEdit& buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), buddy_(buddy), minimum_(minimum), maximum_(maximum) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setObjectName("up");
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(this);
    down->setObjectName("down");
    down->setArrowType(Qt::DownArrow);
    const int h = std::max(buddy.sizeHint().height() / 2, 10);
    for (QToolButton* b : {up, down}) {
        b->setFixedSize(16, h);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        v->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { step(1); });
    connect(down, &QToolButton::clicked, this, [this] { step(-1); });
}

int SpinButton::value() const { return static_cast<int>(buddy_.text().toDouble()); }

void SpinButton::step(int delta) {
    buddy_.setText(QString::number(std::clamp(value() + delta, minimum_, maximum_)));
}

}  // namespace qelvio::shell
