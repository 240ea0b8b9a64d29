#include "imaging/AnimatedImage.h"

#include "imaging/ImageTypes.h"
#include "imaging/TypeTable.h"
#include "imaging/decoders/FrameSource.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"

#include <QFileInfo>

namespace imaging {

AnimatedImage::AnimatedImage(const QString& path)
{
    const DecodeScope scope;
    detail::ensureLibrariesReady();
    // The content decides the format, so a GIF named .png still plays.
    const ImageType type = detectImageType(path);
    const detail::OpenFrames open = detail::typeRow(type).frames;
    if (!open)
        return;
    m_source = open(path, type);
    if (!m_source)
        return;
    // Frames are turned like the still, where the type keeps a value the decoder leaves alone.
    m_orientation = detail::storedOrientation(path, type).value;
}

AnimatedImage::~AnimatedImage() = default;

bool AnimatedImage::mayAnimate(const QString& path)
{
    return detail::typeRow(typeForExtension(QFileInfo(path).suffix())).frames != nullptr;
}

int AnimatedImage::frameCount() const
{
    return m_source ? m_source->frameCount() : 0;
}

QImage AnimatedImage::nextFrame()
{
    if (frameCount() == 0)
        return {};
    const DecodeScope scope;
    const int loops = m_source->loopCount();
    if (loops > 0 && m_plays >= loops && m_source->frameIndex() + 1 >= frameCount())
        return {}; // played as often as the file asks: the last frame stays
    QImage frame = m_source->nextFrame();
    m_delayMs = m_source->currentDelayMs();
    if (frame.isNull())
        return frame;
    if (m_source->frameIndex() == 0)
        ++m_plays;
    if (m_orientation)
        frame = orientedImage(frame, *m_orientation);
    detail::convertForScreen(frame, detail::DecodeOptions());
    return frame;
}

} // namespace imaging
