#include "browser/ui/frame_client.h"

#include "browser/timing.h"

#include <QMouseEvent>
#include <QPainter>

namespace qelvio::browser {
namespace {

QRect qt(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// The moving bar: 7 pixels wide, the hatch of bitmap 153.
class MovingBar : public QWidget {
public:
    explicit MovingBar(QWidget* parent) : QWidget(parent), hatch_(":/bitmaps/hatch_153.png") {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(hatch_));
    }

private:
    QPixmap hatch_;
};

}  // namespace

FrameClient::FrameClient(FrameLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
    setObjectName("client");
    moving_ = new MovingBar(this);
    setMouseTracking(false);
}

void FrameClient::place(QWidget* tree, QWidget* list, QWidget* viewer) {
    FrameLayout l = logic_.layout();
    if (viewer) viewer->setGeometry(qt(l.viewer));
    if (tree) tree->setGeometry(qt(l.tree));
    if (list) list->setGeometry(qt(l.list));
    update();
}

void FrameClient::paintEvent(QPaintEvent*) {
    if (!painted_) {
        painted_ = true;
        timing_mark("frame painted");
    }
    if (logic_.mode() != FrameMode::browser) return;
    QPainter painter(this);
    const Rect bar = logic_.layout().bar;
    const int x = bar.left;
    // Columns splitpos to splitpos + 5 in the face colour, black lines at
    // splitpos and splitpos + 6.
    painter.fillRect(QRect(x, 0, 6, height()), palette().color(QPalette::Button));
    painter.setPen(Qt::black);
    painter.drawLine(x, 0, x, height() - 1);
    painter.drawLine(x + 6, 0, x + 6, height() - 1);
    // The collapse (left arrow) and expand (right arrow) areas.
    painter.setBrush(Qt::black);
    const int a = kSplitterAreaHeight;
    painter.drawPolygon(QPolygon({QPoint(x + 4, a / 2 - 3), QPoint(x + 4, a / 2 + 3), QPoint(x + 1, a / 2)}));
    painter.drawPolygon(QPolygon({QPoint(x + 2, a + a / 2 - 3), QPoint(x + 2, a + a / 2 + 3), QPoint(x + 5, a + a / 2)}));
    painter.drawLine(x + 1, a, x + 5, a);
    painter.drawLine(x + 1, 2 * a, x + 5, 2 * a);
}

void FrameClient::resizeEvent(QResizeEvent*) { logic_.resize(width(), height()); }

void FrameClient::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    if (logic_.press(p.x(), p.y()) == SplitterPress::drag) {
        grabMouse();
        moving_->setGeometry(logic_.drag_position(), 0, kSplitterWidth, height());
        moving_->show();
        moving_->raise();
    }
}

void FrameClient::mouseMoveEvent(QMouseEvent* event) {
    if (logic_.dragging() && logic_.move(event->position().toPoint().x()))
        moving_->move(logic_.drag_position(), 0);
}

void FrameClient::mouseReleaseEvent(QMouseEvent*) {
    if (!logic_.dragging()) return;
    logic_.release();
    moving_->hide();
    releaseMouse();
}

bool FrameClient::event(QEvent* event) {
    // The capture went to another window: the bar goes and nothing changes.
    if (event->type() == QEvent::UngrabMouse && logic_.dragging()) {
        logic_.cancel_drag();
        moving_->hide();
    }
    return QWidget::event(event);
}

}  // namespace qelvio::browser
