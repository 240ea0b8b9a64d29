#include "imaging/decoders/FrameSource.h"

#include <algorithm>

namespace imaging::detail {

int shownDelayMs(qint64 storedMs)
{
    constexpr qint64 kMinimumMs = 20;
    constexpr qint64 kDefaultMs = 100;
    constexpr qint64 kMaximumMs = 3'600'000;
    return int(storedMs <= 10 ? kDefaultMs : std::clamp(storedMs, kMinimumMs, kMaximumMs));
}

QImage readOrEndOnDamage(int& frameCount, const int& framesRead, const std::function<QImage()>& read)
{
    QImage frame = read();
    if (frame.isNull() && framesRead > 0) {
        frameCount = framesRead;
        frame = read();
    }
    if (frame.isNull())
        frameCount = 0;
    return frame;
}

} // namespace imaging::detail
