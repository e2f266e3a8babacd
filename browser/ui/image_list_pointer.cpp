// The image list's pointer handling: press, move and release on the grid
// and on the report view's rows (through the event filter), the rubber band
// with autoscroll, the drag start and the double tap.
#include "browser/ui/file_operations_ui.h"
#include "browser/ui/image_list_pane.h"
#include "browser/ui/report_view.h"
#include "decoding/source/image_source.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace qelvio::browser {

// ---- pointer ----

bool ImageListPane::control_held(Qt::KeyboardModifiers modifiers) const {
    return (modifiers & Qt::ControlModifier) || frame_.multi_select();
}

QPoint ImageListPane::to_content(QPoint widget) const { return {widget.x(), widget.y() + scroll_position()}; }

int ImageListPane::hit(QPoint content, bool* icon_hit) const {
    *icon_hit = false;
    int index = -1;
    ListRect row_rect;
    if (grid_mode()) {
        index = grid().hit(content.x(), content.y(), model_.count());
    } else {
        const int h = report_->row_height();
        index = content.y() / h;
        if (content.y() < 0 || index >= model_.count()) index = -1;
        row_rect = {0, index * h, report_->viewport()->width(), (index + 1) * h};
    }
    if (index < 0) return -1;
    // Icon boxes take the press in the grid with icons shown, and in mode 2.
    decoding::p_ImageSource* image = model_.items()[index].image;
    if (image && ((grid_mode() && settings_.thumb_annoticons) || view_mode() == kViewThumbsDetails)) {
        const ListRect audio = grid_mode() ? grid().audio_box(index) : row_audio_box(row_rect);
        const ListRect description = grid_mode() ? grid().description_box(index) : row_description_box(row_rect);
        if (audio.contains(content.x(), content.y()) && image->has_audio()) *icon_hit = true;
        if (description.contains(content.x(), content.y()) && image->has_description()) *icon_hit = true;
    }
    return index;
}

std::function<bool(int, const ListRect&)> ImageListPane::band_meets() const {
    if (grid_mode()) {
        const GridGeometry g = grid();
        return [g](int i, const ListRect& band) { return g.cell(i).intersects(band); };
    }
    const int h = report_->row_height();
    const int w = std::max(report_->viewport()->width(), report_->header()->length());
    return [h, w](int i, const ListRect& band) { return ListRect{0, i * h, w, (i + 1) * h}.intersects(band); };
}

void ImageListPane::press(QPoint content, bool control, Qt::KeyboardModifiers) {
    frame_.make_active(kPaneImageList);
    bool icon_hit = false;
    const int index = hit(content, &icon_hit);
    model_.press(index, content.x(), content.y(), control, icon_hit, view_mode());
    if (icon_hit) {
        decoding::p_ImageSource* image = model_.items()[index].image;
        const ListRect box = grid_mode() ? grid().audio_box(index)
                                         : row_audio_box({0, index * report_->row_height(), report_->viewport()->width(),
                                                          (index + 1) * report_->row_height()});
        if (box.contains(content.x(), content.y()) && image->has_audio()) {
            if (play_audio) play_audio(index);
        } else if (open_properties) {
            open_properties(index, true);
        }
    }
    if (!grid_mode() && index >= 0) set_current(index);
    update();
    report_->viewport()->update();
}

void ImageListPane::move_to(QPoint content, int viewport_y, int viewport_height) {
    frame_.make_active(kPaneImageList);
    const bool was_band = model_.band_active();
    const MoveResult r = model_.move(content.x(), content.y(), band_meets());
    if (r == MoveResult::drag_started) {
        std::vector<p_filenode*> files;
        for (int i : model_.selected_indices()) files.push_back(model_.items()[i].file);
        if (!files.empty()) file_operations_.drag(files, press_global_);
        return;
    }
    if (!model_.band_active()) return;
    if (r != MoveResult::nothing || was_band) repaint_band();
    // Autoscroll near the top and bottom edges.
    const bool can_scroll = grid_mode() ? bar_->isVisible() : report_->verticalScrollBar()->maximum() > 0;
    autoscroll_speed_ = can_scroll ? autoscroll_speed(viewport_y, viewport_height) : 0;
    if (autoscroll_speed_ != 0) {
        if (last_autoscroll_.elapsed() > kAutoscrollIntervalMs) autoscroll_step();
        if (!autoscroll_timer_.isActive()) autoscroll_timer_.start();
    }
}

void ImageListPane::autoscroll_step() {
    if (autoscroll_speed_ == 0 || !model_.band_active()) {
        autoscroll_timer_.stop();
        return;
    }
    last_autoscroll_.restart();
    if (grid_mode()) {
        scroll_grid_to(bar_->value() + autoscroll_speed_);
    } else {
        report_->scroll_rows(autoscroll_speed_ > 0 ? 1 : -1);
    }
    compute_visible_range();
    // The band's end stays under the pointer while the content moves.
    const QPoint content = grid_mode() ? to_content(last_pointer_)
                                       : QPoint(last_pointer_.x() + report_->horizontalScrollBar()->value(),
                                                report_->content_y(last_pointer_.y()));
    model_.move(content.x(), content.y(), band_meets());
    repaint_band();
}

void ImageListPane::release(bool control) {
    frame_.make_active(kPaneImageList);
    autoscroll_timer_.stop();
    autoscroll_speed_ = 0;
    model_.release(control);
    update();
    report_->viewport()->update();
}

void ImageListPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    press_global_ = event->globalPosition().toPoint();
    press(to_content(event->position().toPoint()), control_held(event->modifiers()), event->modifiers());
}

void ImageListPane::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const QPoint p = event->position().toPoint();
    last_pointer_ = p;
    move_to(to_content(p), p.y(), height());
}

void ImageListPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    release(control_held(event->modifiers()));
}

void ImageListPane::mouseDoubleClickEvent(QMouseEvent* event) {
    bool icon_hit = false;
    const int index = hit(to_content(event->position().toPoint()), &icon_hit);
    if (index >= 0 && !icon_hit) frame_.view_index(index);
}

bool ImageListPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched != report_->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(event);
        const QPoint p = m->position().toPoint();
        const QPoint content(p.x() + report_->horizontalScrollBar()->value(), report_->content_y(p.y()));
        if (event->type() == QEvent::MouseButtonPress && m->button() == Qt::LeftButton) {
            report_->setFocus();
            press_global_ = m->globalPosition().toPoint();
            press(content, control_held(m->modifiers()), m->modifiers());
        } else if (event->type() == QEvent::MouseMove && (m->buttons() & Qt::LeftButton)) {
            last_pointer_ = p;
            move_to(content, p.y(), report_->viewport()->height());
        } else if (event->type() == QEvent::MouseButtonRelease && m->button() == Qt::LeftButton) {
            release(control_held(m->modifiers()));
        } else if (event->type() == QEvent::MouseButtonDblClick && m->button() == Qt::LeftButton) {
            bool icon_hit = false;
            const int index = hit(content, &icon_hit);
            if (index >= 0 && !icon_hit) frame_.view_index(index);
        }
        return true;
    }
    default: return false;
    }
}

}  // namespace qelvio::browser
