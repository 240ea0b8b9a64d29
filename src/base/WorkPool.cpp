#include "base/WorkPool.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

namespace {

// Never deleted: a program that must not wait ends before (see main). Otherwise waited for
// when the application object goes, as Qt's global pool is.
QThreadPool* newPool(QtCleanUpFunction waitAtExit)
{
    auto* created = new QThreadPool;
    created->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    qAddPostRoutine(waitAtExit);
    return created;
}

} // namespace

namespace base {

QThreadPool& workPool()
{
    static QThreadPool* const pool = newPool([] { base::workPool().waitForDone(); });
    return *pool;
}

QThreadPool& preloadPool()
{
    static QThreadPool* const pool = newPool([] { base::preloadPool().waitForDone(); });
    return *pool;
}

} // namespace base
