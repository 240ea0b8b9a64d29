#pragma once

#include "BenchData.h"
#include "Results.h"

// The real window as a person sees it: the X server's pixels read every few milliseconds while
// the viewer starts, steps, opens the 10,000-file folder and takes a file handed over, beside
// the viewer's own frame trace and the plain Qt program.
void runPixelBench(const bench::Settings& settings, const bench::DataSet& data,
                   bench::Results& results);
