#include "imaging/decoders/QtFrames.h"

#include "imaging/decoders/QtDecoder.h"
#include "imaging/support/DecodeSupport.h"

#include <QImageReader>

namespace imaging::detail {

namespace {

class QtFrames : public FrameSource {
public:
    QtFrames(const QString& path, ImageType type) : m_path(path), m_type(type) {}

    bool open()
    {
        m_reader = openReader();
        const QSize size = m_reader->size();
        if (size.isValid() && !withinPixelBudget(size.width(), size.height()))
            return false;
        if (m_reader->supportsAnimation())
            m_frameCount = std::max(m_reader->imageCount(), 0);
        else
            m_frameCount = m_reader->canRead() ? 1 : 0;
        return m_frameCount > 0;
    }

    int frameCount() const override { return m_frameCount; }
    // Played for ever, as before the other animated types came.
    int loopCount() const override { return 0; }
    int frameIndex() const override { return m_index; }
    int currentDelayMs() const override { return m_delayMs; }

    QImage nextFrame() override
    {
        if (!m_reader->canRead()) {
            // Past the last frame: start over with a fresh reader.
            m_reader = openReader();
            m_index = -1;
        }
        QImage frame = readFrame(*m_reader, m_type);
        m_delayMs = shownDelayMs(m_reader->nextImageDelay());
        ++m_index;
        return frame;
    }

private:
    std::unique_ptr<QImageReader> openReader() const
    {
        auto reader = std::make_unique<QImageReader>();
        openWithQt(*reader, m_path, m_type);
        reader->setAutoTransform(false);
        return reader;
    }

    QString m_path;
    ImageType m_type;
    std::unique_ptr<QImageReader> m_reader;
    int m_frameCount = 0;
    int m_index = -1;
    int m_delayMs = 100;
};

} // namespace

std::unique_ptr<FrameSource> openQtFrames(const QString& path, ImageType type)
{
    // Frames come from the same readers as the still image: refused where it is refused.
    if (!mayReadWithQt(path, type))
        return nullptr;
    auto frames = std::make_unique<QtFrames>(path, type);
    return frames->open() ? std::move(frames) : nullptr;
}

} // namespace imaging::detail
