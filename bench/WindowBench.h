#pragma once

#include "BenchData.h"
#include "Results.h"

namespace bench {

// The figures of the real viewer under the current X display: build/pelu started with its frame
// trace on, driven by xdotool, its memory read from /proc. Sets cold_frame_ms, step_frame_ms,
// rss_3x24mp_mb, small_first_frame_ms, burst_rss_mb, burst_overshoot_ms, huge_open_ok and
// huge_rss_mb; nothing without a display.
void runWindowBench(const Settings& settings, const DataSet& data, Results& results);

} // namespace bench
