#pragma once

#include "imaging/ImageTypes.h"

#include <QImage>
#include <QString>
#include <memory>
#include <optional>

class QImageReader;

namespace imaging {

// Plays the frames of an animated GIF or WebP one at a time, decoding each when asked,
// so a long animation never sits in memory whole. Use on one thread at a time.
class AnimatedImage {
public:
    explicit AnimatedImage(const QString& path);
    ~AnimatedImage();
    AnimatedImage(const AnimatedImage&) = delete;
    AnimatedImage& operator=(const AnimatedImage&) = delete;

    // More than one frame.
    bool isAnimated() const { return m_frameCount > 1; }
    int frameCount() const { return m_frameCount; }

    // The next frame, wrapping to the first after the last; null on a decode error.
    QImage nextFrame();
    // How long the frame last returned by nextFrame() stays on screen, in milliseconds.
    int currentDelayMs() const { return m_delayMs; }

private:
    std::unique_ptr<QImageReader> openReader() const;

    QString m_path;
    ImageType m_type = ImageType::Unknown;
    std::unique_ptr<QImageReader> m_reader;
    std::optional<int> m_orientation;
    int m_frameCount = 0;
    int m_delayMs = 100;
};

} // namespace imaging
