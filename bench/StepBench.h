#pragma once

// Times a step to the next 24-megapixel JPEG with and without its neighbour decoded ahead,
// against djpeg decoding the same file, and prints the figures.
void runStepBench();
