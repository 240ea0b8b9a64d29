#pragma once

#include "base/WorkPool.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <utility>

namespace base {

// Runs work() on the work pool and hands its result to done() on the user-interface thread,
// through a queued call that is dropped when receiver has gone in the meantime.
template <typename Receiver, typename Work, typename Done>
void runInBackground(Receiver* receiver, Work work, Done done)
{
    QPointer<Receiver> guard(receiver);
    workPool().start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

} // namespace base
