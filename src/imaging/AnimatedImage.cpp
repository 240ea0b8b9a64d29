#include "imaging/AnimatedImage.h"

#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/ImageTypes.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/decoders/QtDecoder.h"

#include <QImageReader>

namespace imaging {

namespace {
// Browsers treat delays this short as "as fast as possible"; so do we, at a sane rate.
constexpr int kMinimumDelayMs = 20;
constexpr int kDefaultDelayMs = 100;
} // namespace

AnimatedImage::AnimatedImage(const QString& path) : m_path(path)
{
    const DecodeScope scope;
    detail::ensureLibrariesReady();
    const ImageType type = detectImageType(path);
    if (decoderFor(type) != DecoderFamily::Qt)
        return;
    // The content decides the format, so a GIF named .png still plays.
    m_type = type;
    // Frames come from the same readers as the still image: refused where it is refused.
    if (!detail::mayReadWithQt(path, type))
        return;
    m_reader = openReader();
    const QSize size = m_reader->size();
    if (size.isValid() && !detail::withinPixelBudget(size.width(), size.height()))
        return;
    if (m_reader->supportsAnimation())
        m_frameCount = std::max(m_reader->imageCount(), 0);
    else
        m_frameCount = m_reader->canRead() ? 1 : 0;
    // Frames are turned like the still.
    m_orientation = detail::storedOrientation(path, type).value;
}

AnimatedImage::~AnimatedImage() = default;

std::unique_ptr<QImageReader> AnimatedImage::openReader() const
{
    auto reader = std::make_unique<QImageReader>();
    detail::openWithQt(*reader, m_path, m_type);
    reader->setAutoTransform(false);
    return reader;
}

QImage AnimatedImage::nextFrame()
{
    if (m_frameCount == 0)
        return {};
    const DecodeScope scope;
    if (!m_reader->canRead()) {
        // Past the last frame: start over with a fresh reader.
        m_reader = openReader();
    }
    QImage frame = detail::readFrame(*m_reader, m_type);
    const int delay = m_reader->nextImageDelay();
    m_delayMs = delay <= 10 ? kDefaultDelayMs : std::max(delay, kMinimumDelayMs);
    if (frame.isNull())
        return frame;
    if (m_orientation)
        frame = orientedImage(frame, *m_orientation);
    detail::convertForScreen(frame, detail::DecodeOptions());
    return frame;
}

} // namespace imaging
