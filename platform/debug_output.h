// The debugger output stand-in: single lines of diagnostic text that are
// never shown to the user. They go to stderr when QELVIO_TRACE is set, and to
// a sink installed by tests that want to see them.
//
// Thread-safe: any thread may write a line.
#pragma once

#include "platform/text.h"

#include <functional>
#include <string_view>

namespace qelvio::platform {

using DebugSink = std::function<void(std::u16string_view line)>;

// Writes one line of debug text.
void debug_output(std::u16string_view line);

// Installs a sink that receives every line (replacing the previous one);
// an empty function removes it. Returns the previous sink.
DebugSink set_debug_sink(DebugSink sink);

// Formats with printf rules into at most 4095 characters and writes the line.
template <class... Args>
void debug_trace(std::u16string_view format, const Args&... args) {
    debug_output(text::sprintf(4095, format, args...));
}

}  // namespace qelvio::platform
