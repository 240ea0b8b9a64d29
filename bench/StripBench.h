#pragma once

// Opens a folder of 10,000 JPEGs with the thumbnail strip shown and goes to its end, once by
// stepping back from the first image and once by flicking through the strip, and prints how
// many cells and thumbnails that made and how long the strip took to settle.
void runStripBench();
