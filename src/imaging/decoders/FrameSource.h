#pragma once

#include "imaging/ImageTypes.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace imaging::detail {

// The frames of one animated file, decoded one at a time when asked, so that a long animation
// never sits in memory whole. Each animated type has its own (the type table's `frames`);
// AnimatedImage plays them all the same way. Use on one thread at a time.
class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Frames that play; lowered to those before it when a later frame turns out damaged, so
    // that the animation ends on the last good one.
    virtual int frameCount() const = 0;
    // How many times the animation plays through; 0 for ever.
    virtual int loopCount() const = 0;
    // The next frame in its stored orientation, wrapping to the first after the last; null when
    // even the first cannot be decoded.
    virtual QImage nextFrame() = 0;
    // The place of the frame last returned by nextFrame(), 0 for the first.
    virtual int frameIndex() const = 0;
    // How long the frame last returned stays on screen, in milliseconds (see shownDelayMs).
    virtual int currentDelayMs() const = 0;
};

// The frame source for a file of a type the table names as animated; null when the file does
// not play (a still picture, a damaged one).
using OpenFrames = std::unique_ptr<FrameSource> (*)(const QString& path, ImageType type);

// Browsers play delays of 10 ms and less at 100 ms and longer ones at 20 ms at least, and files
// are made for them: every animation is shown with their rule. An hour at most.
int shownDelayMs(qint64 storedMs);

// For a source that reads its frames in order: the next frame from read(), which counts the
// frames it has read since it last started over in framesRead. Where a frame after the first
// fails, the animation ends on the last good one: frameCount drops to the frames before it,
// and the first is read again. Null, with frameCount 0, when even the first fails.
QImage readOrEndOnDamage(int& frameCount, const int& framesRead, const std::function<QImage()>& read);

} // namespace imaging::detail
