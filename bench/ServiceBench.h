#pragma once

#include "BenchData.h"
#include "Results.h"

namespace bench {

// The image service and the listing on their own, against djpeg and vipsthumbnail run in the
// same invocation: djpeg_ms, open_ms, histogram_ms, metadata_ms, list_10k_ms, thumb_ratio.
void runServiceBench(const Settings& settings, const DataSet& data, Results& results);

} // namespace bench
