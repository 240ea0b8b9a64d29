#include "zoom/FramePlayer.h"

#include "imaging/AnimatedImage.h"
#include "base/BackgroundTask.h"

namespace {

struct Opened {
    std::shared_ptr<imaging::AnimatedImage> animation;
    int firstDelayMs = 0;
};

} // namespace

FramePlayer::FramePlayer(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FramePlayer::showIfDue);
}

FramePlayer::~FramePlayer() = default;

void FramePlayer::play(const QString& path)
{
    stop();
    // Only files named as a type that animates are even opened.
    if (!imaging::AnimatedImage::mayAnimate(path))
        return;
    const quint64 generation = m_generation;
    // Opening reads the file (a GIF is scanned to count its frames): not on this thread.
    base::runInBackground(
        this,
        [path] {
            auto animation = std::make_shared<imaging::AnimatedImage>(path);
            if (!animation->isAnimated())
                return Opened{};
            // The first frame is on screen already; reading it tells how long it stays.
            if (animation->nextFrame().isNull())
                return Opened{};
            return Opened{animation, animation->currentDelayMs()};
        },
        [this, generation](Opened opened) {
            if (generation != m_generation || !opened.animation)
                return;
            m_animation = std::move(opened.animation);
            m_timer.start(opened.firstDelayMs);
            decodeNext();
        });
}

void FramePlayer::stop()
{
    // Jobs in flight keep the decoder alive and come back to a newer generation: dropped.
    ++m_generation;
    m_animation.reset();
    m_decoded.reset();
    m_timer.stop();
}

void FramePlayer::decodeNext()
{
    const quint64 generation = m_generation;
    base::runInBackground(
        this,
        [animation = m_animation] {
            QImage image = animation->nextFrame();
            return Frame{image, animation->currentDelayMs()};
        },
        [this, generation](Frame frame) {
            if (generation != m_generation)
                return;
            if (frame.image.isNull()) {
                stop();
                return;
            }
            m_decoded = std::move(frame);
            showIfDue();
        });
}

void FramePlayer::showIfDue()
{
    // Shown when both the delay of the current frame has passed and the next one is decoded.
    if (m_timer.isActive() || !m_decoded)
        return;
    Frame frame = std::move(*m_decoded);
    m_decoded.reset();
    m_timer.start(frame.delayMs);
    decodeNext();
    Q_EMIT frameReady(frame.image);
}
