#include "imaging/AnimatedImage.h"

#include <QImageReader>

namespace imaging {

namespace {
// Browsers treat delays this short as "as fast as possible"; so do we, at a sane rate.
constexpr int kMinimumDelayMs = 20;
constexpr int kDefaultDelayMs = 100;
} // namespace

AnimatedImage::AnimatedImage(const QString& path) : m_path(path)
{
    m_reader = std::make_unique<QImageReader>(path);
    if (m_reader->supportsAnimation())
        m_frameCount = m_reader->imageCount();
    else
        m_frameCount = m_reader->canRead() ? 1 : 0;
}

AnimatedImage::~AnimatedImage() = default;

QImage AnimatedImage::nextFrame()
{
    if (m_frameCount == 0)
        return {};
    if (!m_reader->canRead()) {
        // Past the last frame: start over with a fresh reader.
        m_reader = std::make_unique<QImageReader>(m_path);
    }
    QImage frame = m_reader->read();
    const int delay = m_reader->nextImageDelay();
    m_delayMs = delay <= 10 ? kDefaultDelayMs : std::max(delay, kMinimumDelayMs);
    return frame;
}

} // namespace imaging
