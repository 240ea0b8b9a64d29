#pragma once

#include "imaging/colour/ToneMap.h"

#include <QImage>
#include <QPointF>

namespace imaging::detail {

// How the pixels of a high-dynamic-range picture are encoded, for the tone mapper to bring to
// the display. Such pixels come as QImage::Format_RGBA64: the signal itself at 16 bits, full
// range, alpha straight (65535 where the picture has none), with no colour space attached,
// since Qt has none for these curves.
struct HdrSignal {
    enum class Transfer { None, Pq, Hlg };
    Transfer transfer = Transfer::None;
    // CIE 1931 xy chromaticities of the primaries and the white point.
    QPointF red, green, blue, white;
    // The brightest the picture means to be shown, in cd/m²; 0 when the file does not say.
    float peakLuminance = 0;

    bool isHdr() const { return transfer != Transfer::None; }
};

// What the tone mapper is told of a signal: its primaries told apart by the red one (BT.709,
// Display P3, else BT.2020), and its peak, where the file gives one below 10000 cd/m²: libjxl
// writes 10000, the most PQ can hold, for a PQ picture that names none.
HdrSource hdrSourceOf(const HdrSignal& signal);

// Maps the frames of one HDR picture or animation to 8-bit sRGB; the tables are built once.
class HdrToSdr {
public:
    explicit HdrToSdr(const HdrSignal& signal);

    // A Format_RGBA64 signal as Format_RGBA8888 (RGBX8888 where alpha is false) tagged sRGB;
    // null for another format or when the memory cannot be had.
    QImage map(const QImage& signal, bool alpha) const;

private:
    ToneMapper m_mapper;
};

} // namespace imaging::detail
