#pragma once

#include <QtGlobal>
#include <optional>

// Tells an input event that waited in the queue while the user-interface thread was busy from
// one that came in while it was free. Event times come from the display server's clock: the
// smallest gap seen between that clock and ours is taken as no wait at all.
class InputDelay {
public:
    // Waits longer than a frame count as waited.
    static constexpr qint64 kWaitedMs = 20;

    // timestamp: the event's time in milliseconds; 0 (made up, not from the display) never
    // counts as waited. nowMs: our monotonic clock, for tests.
    bool waited(quint64 timestamp);
    bool waited(quint64 timestamp, qint64 nowMs);

private:
    std::optional<qint64> m_leastGap;
};
