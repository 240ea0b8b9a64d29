#include "base/ThreadPriority.h"

#include <QCoreApplication>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

namespace base {

void lowerThreadPriority(Yield yield)
{
    thread_local bool lowered = false;
    // Never the user-interface thread: a pool runs a task there when it is waited for before
    // it began.
    const QCoreApplication* app = QCoreApplication::instance();
    if (lowered || (app && QThread::currentThread() == app->thread()))
        return;
    lowered = true;
    // On Linux a thread id names that thread alone, so the rest of the process keeps its
    // priority.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), int(yield));
}

} // namespace base
