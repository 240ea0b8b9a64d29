#pragma once

#include "BenchSupport.h"
#include "BenchData.h"
#include "Results.h"

// A folder of 150 24 MP photos opened with the thumbnail strip shown, twice: the first launch
// makes the thumbnails and writes them to the freedesktop cache, the second reads them back.
// Timed from the start of each launch to the screen's last change, read from the X server (the
// photo and every visible cell drawn), beside a launch with the strip hidden.
void runRelaunchBench(const bench::Settings& settings, const bench::DataSet& data,
                      bench::Results& results);
