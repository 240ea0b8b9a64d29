#pragma once

// Times the histogram count of a 24-megapixel photograph against decoding the same file,
// and prints both with their ratio.
void runHistogramBench();
