#include "browser/timing.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace qelvio::browser {
namespace {

// The process's start on the boot clock, in ms, from /proc/self/stat (field
// 22, clock ticks since boot); the time of the first call when unreadable.
double process_start_ms() {
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (std::getline(in, line)) {
        // The command name in parentheses may hold spaces: count after ')'.
        std::size_t close = line.rfind(')');
        if (close != std::string::npos) {
            std::istringstream fields(line.substr(close + 2));
            std::string field;
            for (int i = 3; i <= 22 && fields >> field; ++i)
                if (i == 22) return std::strtod(field.c_str(), nullptr) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

bool timing_enabled() {
    static const bool on = [] {
        const char* value = std::getenv("QELVIO_TIMING");
        return value && std::strcmp(value, "1") == 0;
    }();
    return on;
}

double ms_since_process_start() {
    static const double start = process_start_ms();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 - start;
}

void timing_mark(const char* milestone, const char* detail) {
    if (!timing_enabled()) return;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    if (detail)
        std::fprintf(stderr, "qelvio-timing: %.1f %s %s\n", ms_since_process_start(), milestone, detail);
    else
        std::fprintf(stderr, "qelvio-timing: %.1f %s\n", ms_since_process_start(), milestone);
    std::fflush(stderr);
}

}  // namespace qelvio::browser
