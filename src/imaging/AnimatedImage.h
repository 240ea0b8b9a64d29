#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <optional>

namespace imaging {

namespace detail {
class FrameSource;
}

// Plays the frames of an animated file (GIF, WebP, PNG, JPEG XL, AVIF sequence) one at a time,
// decoding each when asked, so a long animation never sits in memory whole. Frames come
// upright and in sRGB, each with its own delay; a file that sets how many times it plays stops
// on its last frame. Use on one thread at a time.
class AnimatedImage {
public:
    explicit AnimatedImage(const QString& path);
    ~AnimatedImage();
    AnimatedImage(const AnimatedImage&) = delete;
    AnimatedImage& operator=(const AnimatedImage&) = delete;

    // Whether a file of this name may animate, judged by its name alone: for a player that
    // should not open every still picture to find out.
    static bool mayAnimate(const QString& path);

    // More than one frame.
    bool isAnimated() const { return frameCount() > 1; }
    // Lowered, while playing, to the frames before one that turns out damaged.
    int frameCount() const;

    // The next frame, wrapping to the first after the last; null on a decode error, and once
    // the animation has played as many times as the file asks.
    QImage nextFrame();
    // How long the frame last returned by nextFrame() stays on screen, in milliseconds.
    int currentDelayMs() const { return m_delayMs; }

private:
    std::unique_ptr<detail::FrameSource> m_source;
    std::optional<int> m_orientation;
    // Times the first frame has been returned.
    int m_plays = 0;
    int m_delayMs = 100;
};

} // namespace imaging
