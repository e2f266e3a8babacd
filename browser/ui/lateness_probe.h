// A measure of how long the user-interface thread is kept from its events:
// a 10 ms timer notes how late each of its ticks comes. Used with the timing
// trace (QELVIO_TIMING=1) while thumbnails load; benchmarks read the
// figures from the trace. User-interface thread only.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

namespace qelvio::browser {

class LatenessProbe : public QObject {
public:
    explicit LatenessProbe(QObject* parent = nullptr);
    void start();
    // Stops and prints "event loop lateness" with the largest lateness and
    // the 99th percentile in milliseconds on the timing trace.
    void report(const char* during);
    bool running() const { return timer_.isActive(); }
    // The lateness of each tick so far, in milliseconds.
    const std::vector<double>& samples() const { return samples_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ns_ = 0;
    std::vector<double> samples_;
};

}  // namespace qelvio::browser
