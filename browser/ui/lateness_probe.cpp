#include "browser/ui/lateness_probe.h"

#include "browser/timing.h"

#include <algorithm>
#include <cstdio>

namespace qelvio::browser {

namespace {
constexpr int kTickMs = 10;
}

LatenessProbe::LatenessProbe(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const qint64 now = clock_.nsecsElapsed();
        samples_.push_back(std::max(0.0, (now - last_ns_) / 1e6 - kTickMs));
        last_ns_ = now;
    });
}

void LatenessProbe::start() {
    samples_.clear();
    clock_.start();
    last_ns_ = 0;
    timer_.start();
}

void LatenessProbe::report(const char* during) {
    timer_.stop();
    std::vector<double> sorted = samples_;
    std::sort(sorted.begin(), sorted.end());
    const double worst = sorted.empty() ? 0 : sorted.back();
    const double p99 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    char detail[160];
    std::snprintf(detail, sizeof detail, "max %.1f ms p99 %.1f ms over %zu ticks while %s", worst, p99,
                  sorted.size(), during);
    timing_mark("event loop lateness", detail);
}

}  // namespace qelvio::browser
