#pragma once

#include "BenchData.h"
#include "Results.h"

namespace bench {

// The same photo as two 10-bit HEICs with a 320-pixel thumbnail: HDR (BT.2020, PQ, tone-mapped
// when shown) and SDR (BT.709, sRGB curve, decoded at 8 bits as before). False when libheif
// cannot encode them.
bool writeHdrPair(const QString& photo, const QString& hdr, const QString& sdr);

// The whole decode and the strip's thumbnail of each, and their ratio.
void runHdrServiceBench(const Settings& settings, const DataSet& data, Results& results);

} // namespace bench
