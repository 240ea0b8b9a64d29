#pragma once

#include "imaging/decoders/ApngStructure.h"
#include "imaging/decoders/FrameSource.h"

#include <QImage>
#include <QString>

#include <memory>

class QIODevice;

namespace imaging::detail {

// Plays an animated PNG one frame at a time: each frame's data is rebuilt into a PNG of its own
// for Qt's reader, then drawn on the canvas by the file's dispose and blend rules, so only the
// canvas and one frame are ever in memory. Use on one thread at a time; the caller raises Qt's
// allocation limit first (ensureLibrariesReady), as for every decode.
class ApngDecoder : public FrameSource {
public:
    // Nothing when the file is not an animation that plays (see readApngStructure): a still
    // PNG, a damaged animation shown as its default image, or not a PNG at all.
    static std::unique_ptr<ApngDecoder> open(const QString& path);
    // The same from an open device, which the decoder keeps and reads each frame from.
    static std::unique_ptr<ApngDecoder> open(std::unique_ptr<QIODevice> device);
    ~ApngDecoder() override;
    ApngDecoder(const ApngDecoder&) = delete;
    ApngDecoder& operator=(const ApngDecoder&) = delete;

    // At least two; fewer when a frame turns out undecodable while playing.
    int frameCount() const override { return m_frameCount; }
    // How many times the animation plays through; 0 for forever.
    int loopCount() const override { return m_structure.plays; }
    QSize canvasSize() const { return m_structure.canvas; }
    // Whether the default image, which the still path shows, is the first frame.
    bool defaultImageIsFrame() const { return m_structure.defaultImageIsFrame; }

    // The canvas after the next frame, in Format_ARGB32, wrapping to the first after the last.
    // A frame that does not decode ends the animation before it, and the first frame is
    // returned instead; null only when the first frame does not decode.
    QImage nextFrame() override;
    int frameIndex() const override { return m_next - 1; }
    // How long the frame last returned stays on screen, in milliseconds (shownDelayMs).
    int currentDelayMs() const override { return m_delayMs; }

private:
    ApngDecoder(std::unique_ptr<QIODevice> device, ApngStructure structure);

    QImage decodeFrame(const ApngFrame& frame);
    QByteArray frameStream(const ApngFrame& frame);
    void restart();

    std::unique_ptr<QIODevice> m_device;
    ApngStructure m_structure;
    int m_frameCount = 0;
    int m_next = 0;
    QImage m_canvas;
    // The last frame's region and what becomes of it before the next frame is drawn; for
    // Previous, the pixels it covered.
    QRect m_disposeRect;
    ApngDispose m_dispose = ApngDispose::None;
    QImage m_covered;
    int m_delayMs = 100;
};

} // namespace imaging::detail
