#include "browser/ui/viewer_trace.h"

#include "browser/timing.h"

#include <QDialog>
#include <QEvent>
#include <QSlider>

#include <cstdio>

namespace qelvio::browser {
namespace {

class SliderKeyMarker : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) timing_mark("levels key");
        return false;
    }
};

}  // namespace

TracedSpan::TracedSpan() : on_(timing_enabled()) {
    if (on_) start_ = std::chrono::steady_clock::now();
}

void TracedSpan::report(const char* milestone, const char* detail) {
    if (!on_) return;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start_;
    char text[96];
    std::snprintf(text, sizeof text, "%.2f %s", took.count(), detail);
    timing_mark(milestone, text);
}

void trace_levels_preview(QDialog& dialog) {
    if (!timing_enabled()) return;
    auto* marker = new SliderKeyMarker(&dialog);
    for (QSlider* slider : dialog.findChildren<QSlider*>()) {
        slider->installEventFilter(marker);
        // Connected after the dialog's own handler, which repaints the
        // preview at once: this runs once the preview is on the screen.
        QObject::connect(slider, &QSlider::valueChanged, &dialog,
                         [] { timing_mark("levels preview repainted"); });
    }
}

}  // namespace qelvio::browser
