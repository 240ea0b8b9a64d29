#include "state/WorkPool.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <algorithm>

QThreadPool& workPool()
{
    // Never deleted: a program that must not wait ends before (see main).
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        qAddPostRoutine([] { workPool().waitForDone(); });
        return created;
    }();
    return *pool;
}

QThreadPool& preloadPool()
{
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        qAddPostRoutine([] { preloadPool().waitForDone(); });
        return created;
    }();
    return *pool;
}
