#include "viewer/InputDelay.h"

#include <QDeadlineTimer>

bool InputDelay::waited(quint64 timestamp)
{
    return waited(timestamp, QDeadlineTimer::current().deadline());
}

bool InputDelay::waited(quint64 timestamp, qint64 nowMs)
{
    if (timestamp == 0)
        return false;
    const qint64 gap = nowMs - qint64(timestamp);
    if (!m_leastGap || gap < *m_leastGap)
        m_leastGap = gap;
    return gap - *m_leastGap > kWaitedMs;
}
