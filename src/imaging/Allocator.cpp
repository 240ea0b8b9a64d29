#include "imaging/Allocator.h"

#include <malloc.h>

namespace imaging {

void keepFreedMemory()
{
    // Blocks up to 32 MiB come from the heap and are reused; larger ones, whole photos among
    // them, are still mapped and unmapped on their own. Up to 64 MiB free at the top of the
    // heap stays there. These are the bounds glibc itself grows to once a program has freed a
    // large block, fixed from the start.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

} // namespace imaging
