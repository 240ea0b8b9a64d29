#include "imaging/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace imaging {

void lowerThreadPriority(Yield yield)
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // On Linux a thread id names that thread alone, so the rest of the process keeps its
    // priority.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), int(yield));
}

} // namespace imaging
