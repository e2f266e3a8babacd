#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qelvio::platform {
namespace {
std::mutex sink_mutex;
DebugSink& sink() {
    static DebugSink s;
    return s;
}
}  // namespace

void debug_output(std::u16string_view line) {
    std::lock_guard lock(sink_mutex);
    if (sink()) sink()(line);
    static const bool to_stderr = std::getenv("QELVIO_TRACE") != nullptr;
    if (to_stderr) {
        std::string utf8 = text::to_utf8(line);
        if (utf8.empty() || utf8.back() != '\n') utf8 += '\n';
        std::fputs(utf8.c_str(), stderr);
    }
}

DebugSink set_debug_sink(DebugSink s) {
    std::lock_guard lock(sink_mutex);
    DebugSink previous = std::move(sink());
    sink() = std::move(s);
    return previous;
}

}  // namespace qelvio::platform
