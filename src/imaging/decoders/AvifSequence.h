#pragma once

#include "imaging/decoders/FrameSource.h"
#include "imaging/decoders/HdrSignal.h"

#include <QColorSpace>

#include <optional>

struct avifDecoder;

namespace imaging::detail {

// Plays an AVIF image sequence (a file naming the 'avis' brand) one frame at a time. Frames
// come as 8-bit RGBA with their colour space, turned by the track's rotation and mirroring; a
// PQ or HLG sequence is tone-mapped to sRGB. Still AVIF files are left to libheif: for them
// frameCount() is 0. A damaged frame ends the animation on the last good one.
class AvifSequence : public FrameSource {
public:
    explicit AvifSequence(const QString& path);
    ~AvifSequence() override;
    AvifSequence(const AvifSequence&) = delete;
    AvifSequence& operator=(const AvifSequence&) = delete;

    bool isAnimated() const { return m_frameCount > 1; }
    // Frames in the sequence; 0 when the file is not one or cannot be read. Lowered to the
    // frames read well when a later one turns out damaged or missing.
    int frameCount() const override { return m_frameCount; }
    // From the track's edit list (libavif 0.11 reads none): see readAvifTrack.
    int loopCount() const override { return m_loopCount; }
    // Set for a PQ or HLG sequence. Known once constructed when the container names the
    // colour, else once the first frame is read.
    const HdrSignal& hdr() const { return m_hdr; }

    QImage nextFrame() override;
    int frameIndex() const override { return m_next - 1; }
    int currentDelayMs() const override { return m_delayMs; }

private:
    QImage decodeNext();
    QImage convert();
    void settleColour();
    // What the colour was settled from: frames may name it when the container does not.
    struct ColourSource {
        int primaries = -1;
        int transfer = -1;
        size_t iccSize = 0;
        bool operator==(const ColourSource&) const = default;
    };

    struct DecoderDeleter {
        void operator()(avifDecoder* decoder) const;
    };
    std::unique_ptr<avifDecoder, DecoderDeleter> m_decoder;
    HdrSignal m_hdr;
    std::optional<HdrToSdr> m_toSdr;
    QColorSpace m_space;
    ColourSource m_colourSource;
    QSize m_size;
    int m_frameCount = 0;
    int m_loopCount = 0;
    // The frame nextFrame() reads next.
    int m_next = 0;
    int m_delayMs = 100;
};

// The row's frames: an AVIF image sequence of more than one frame; null otherwise.
std::unique_ptr<FrameSource> openAvifFrames(const QString& path, ImageType type);

} // namespace imaging::detail
