#pragma once

#include <QObject>
#include <deque>
#include <functional>

// Work deferred to the event loop, run one piece at a time in the order queued, each after the
// code that queued it has returned. A piece never starts while another is still running, even
// when that one spins a nested event loop.
class FollowUpQueue : public QObject {
    Q_OBJECT

public:
    explicit FollowUpQueue(QObject* parent = nullptr);
    ~FollowUpQueue() override;

    void post(std::function<void()> work);
    // Drops every piece not yet started.
    void clear() { m_queue.clear(); }

private:
    void schedule();
    void runNext();

    std::deque<std::function<void()>> m_queue;
    int m_scheduled = 0;
    bool m_running = false;
};
