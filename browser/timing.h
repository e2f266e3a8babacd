// The start-up timing trace: with QELVIO_TIMING=1 in the environment,
// timing_mark prints "qelvio-timing: <ms> <milestone>" on stderr, the
// milliseconds counted from the start of the process. Benchmarks read it.
// Any thread may call it.
#pragma once

namespace qelvio::browser {

bool timing_enabled();
// Milliseconds since the process started.
double ms_since_process_start();
void timing_mark(const char* milestone, const char* detail = nullptr);

}  // namespace qelvio::browser
