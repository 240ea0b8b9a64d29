#include "imaging/support/Allocator.h"

#include <malloc.h>

namespace imaging {

void keepFreedMemory()
{
    // Blocks up to 16 MiB, window-sized copies of a photo among them, come from the heap and
    // are reused; larger ones, whole photos, are mapped and unmapped on their own. Up to 32 MiB
    // free at the top of a heap stays there. glibc moves to the like by itself, but only once
    // the program has freed a block that large.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
}

} // namespace imaging
