// The viewer's marks on the timing trace (QELVIO_TIMING=1), which
// bench/viewer_speed.sh reads: how long a paint takes, and the Levels
// dialog's slider steps with the preview repainted after each. Nothing is
// measured when the trace is off. User-interface thread only.
#pragma once

#include <chrono>

class QDialog;

namespace qelvio::browser {

// Measures from its making to report(), which prints
// "<milestone> <milliseconds> <detail>" on the trace.
class TracedSpan {
public:
    TracedSpan();
    void report(const char* milestone, const char* detail = "");

private:
    bool on_;
    std::chrono::steady_clock::time_point start_;
};

// Marks "levels key" when a key reaches one of the dialog's sliders and
// "levels preview repainted" once the preview has been repainted for the
// slider's new value.
void trace_levels_preview(QDialog& dialog);

}  // namespace qelvio::browser
