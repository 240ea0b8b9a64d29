#include "imaging/decoders/JxlAnimation.h"

#include "imaging/decoders/JxlFrameReader.h"
#include "imaging/support/DecodeScope.h"

#include <algorithm>

namespace imaging::detail {

namespace {

// Frames as shown, from their headers alone: libjxl skips the data of frames no one asks for.
int countFrames(const QString& path)
{
    const std::unique_ptr<JxlStream> stream = JxlStream::open(path, JXL_DEC_FRAME, false);
    int frames = 0;
    while (stream && stream->next() == JXL_DEC_FRAME)
        ++frames;
    return frames;
}

} // namespace

JxlAnimation::JxlAnimation(const QString& path)
{
    const DecodeScope scope;
    m_reader = std::make_unique<JxlFrameReader>(path, true, true);
    if (!m_reader->start()) {
        m_reader.reset();
        return;
    }
    const JxlBasicInfo& info = m_reader->survey().info;
    // A count below the survey's layers: a frame built from several is one.
    m_frameCount = std::min(countFrames(path), m_reader->survey().layers);
    if (info.have_animation) {
        m_tpsNumerator = info.animation.tps_numerator;
        m_tpsDenominator = info.animation.tps_denominator;
        m_loopCount = int(std::min<quint32>(info.animation.num_loops, 1u << 30));
    }
    m_alpha = info.alpha_bits > 0;
    if (m_reader->colour().hdr.isHdr())
        m_toSdr.emplace(m_reader->colour().hdr);
}

JxlAnimation::~JxlAnimation() = default;

QImage JxlAnimation::readFrame()
{
    if (m_index >= m_frameCount) {
        m_index = 0;
        if (!m_reader->rewind())
            return {};
    }
    quint32 duration = 0;
    QImage frame = m_reader->nextFrame(&duration);
    if (frame.isNull())
        return frame;
    ++m_index;
    double delay = 100;
    if (m_tpsNumerator > 0 && m_tpsDenominator > 0)
        delay = double(duration) * 1000 * m_tpsDenominator / m_tpsNumerator;
    // Held within what an int of milliseconds holds before the rule caps it at an hour.
    m_delayMs = shownDelayMs(qint64(std::min(delay, 1e9)));
    return frame;
}

QImage JxlAnimation::nextFrame()
{
    if (m_frameCount == 0)
        return {};
    const DecodeScope scope;
    const QImage frame = readOrEndOnDamage(m_frameCount, m_index, [this] { return readFrame(); });
    return m_toSdr && !frame.isNull() ? m_toSdr->map(frame, m_alpha) : frame;
}

std::unique_ptr<FrameSource> openJxlFrames(const QString& path, ImageType)
{
    auto animation = std::make_unique<JxlAnimation>(path);
    return animation->isAnimated() ? std::move(animation) : nullptr;
}

} // namespace imaging::detail
