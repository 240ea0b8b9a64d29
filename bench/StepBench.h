#pragma once

#include "BenchData.h"
#include "Results.h"

namespace bench {

// In the process, with the whole window on the offscreen platform: the time of nextImage when
// the neighbour is decoded ahead (step_hit_ms) and of opening a photo at full size into
// currentImage against djpeg (open_ratio).
void runStepBench(const Settings& settings, const DataSet& data, Results& results);

} // namespace bench
