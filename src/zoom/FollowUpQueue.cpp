#include "zoom/FollowUpQueue.h"

#include <QMetaObject>
#include <QPointer>

FollowUpQueue::FollowUpQueue(QObject* parent) : QObject(parent) {}

FollowUpQueue::~FollowUpQueue() = default;

void FollowUpQueue::post(std::function<void()> work)
{
    m_queue.push_back(std::move(work));
    schedule();
}

void FollowUpQueue::schedule()
{
    ++m_scheduled;
    QMetaObject::invokeMethod(
        this,
        [this] {
            --m_scheduled;
            runNext();
        },
        Qt::QueuedConnection);
}

void FollowUpQueue::runNext()
{
    if (m_running || m_queue.empty())
        return;
    std::function<void()> work = std::move(m_queue.front());
    m_queue.pop_front();
    const QPointer<FollowUpQueue> alive(this);
    m_running = true;
    work();
    if (!alive)
        return;
    m_running = false;
    // Triggers spent while the piece ran inside a nested loop are made good here.
    while (m_scheduled < int(m_queue.size()))
        schedule();
}
