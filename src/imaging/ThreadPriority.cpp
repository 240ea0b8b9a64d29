#include "imaging/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace imaging {

void lowerThreadPriority()
{
    constexpr int kNice = 10;
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // Under load such a thread gets a small share of a core, never none. On Linux a thread id names
    // that thread alone, so the rest of the process keeps its priority.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), kNice);
}

} // namespace imaging
