#pragma once

#include "BenchData.h"
#include "Results.h"

namespace bench {

// Paint and pan timings of the zoom surface showing a decoded photo, drawn into the offscreen
// platform's backing store: fit_paint_ms.
void runSurfaceBench(const Settings& settings, const DataSet& data, Results& results);

} // namespace bench
