#pragma once

namespace imaging {

// Lowers the calling thread's scheduling priority (nice 10), once per thread. For work done
// ahead of need (neighbours, thumbnails): the window and the server that draws it keep the
// processors while a step is shown, and the work still goes on when the machine is busy.
void lowerThreadPriority();

} // namespace imaging
