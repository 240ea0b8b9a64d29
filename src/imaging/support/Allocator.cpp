#include "imaging/support/Allocator.h"

#include <malloc.h>

namespace imaging {

void keepFreedMemory()
{
    // Small blocks come from the heap and are reused; blocks from 2 MiB up, window-sized copies
    // of a photo among them, are mapped and unmapped on their own. Those copies are made on the
    // pool's threads, each with its heap: held there after use, the copies of earlier window
    // sizes and pictures stayed resident beside the ones in use, some megabytes a thread. Up
    // to 32 MiB free at the top of a heap stays there. glibc moves to the like by itself, but
    // only once the program has freed a block that large.
    mallopt(M_MMAP_THRESHOLD, 2 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

} // namespace imaging
