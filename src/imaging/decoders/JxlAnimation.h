#pragma once

#include "imaging/decoders/FrameSource.h"
#include "imaging/decoders/HdrSignal.h"

#include <optional>

namespace imaging::detail {

class JxlFrameReader;

// Plays the frames of a JPEG XL file one at a time as shown (layers blended, zero-length frames
// merged into the next), with their durations; libjxl applies the stored orientation. A PQ or
// HLG picture's frames are tone-mapped to sRGB. A still picture is one frame.
class JxlAnimation : public FrameSource {
public:
    explicit JxlAnimation(const QString& path);
    ~JxlAnimation() override;
    JxlAnimation(const JxlAnimation&) = delete;
    JxlAnimation& operator=(const JxlAnimation&) = delete;

    bool isAnimated() const { return m_frameCount > 1; }
    // 0 when the file cannot be read.
    int frameCount() const override { return m_frameCount; }
    int loopCount() const override { return m_loopCount; }
    QImage nextFrame() override;
    int frameIndex() const override { return m_index - 1; }
    int currentDelayMs() const override { return m_delayMs; }

private:
    QImage readFrame();

    std::unique_ptr<JxlFrameReader> m_reader;
    std::optional<HdrToSdr> m_toSdr;
    bool m_alpha = false;
    int m_frameCount = 0;
    int m_loopCount = 0;
    // Frames read since the last rewind.
    int m_index = 0;
    // Ticks of the animation per second, as a fraction.
    quint32 m_tpsNumerator = 0;
    quint32 m_tpsDenominator = 1;
    int m_delayMs = 100;
};

// The row's frames: a JPEG XL animation; null for a still picture or a file that cannot be read.
std::unique_ptr<FrameSource> openJxlFrames(const QString& path, ImageType type);

} // namespace imaging::detail
