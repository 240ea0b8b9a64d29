#pragma once

namespace base {

// How far work done ahead of need yields: the window and the server that draws it come first,
// then the neighbours' decodes, then the thumbnails; what only fills the start's idle moments
// yields to everything. Under load such threads get a smaller share of a core, never none.
enum class Yield { toWindow = 5, toNeighbours = 15, toEverything = 19 };

// Lowers the calling thread's scheduling priority (its nice value), once per thread.
void lowerThreadPriority(Yield yield);

} // namespace base
