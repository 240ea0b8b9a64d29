#pragma once

#include <QColorSpace>
#include <QPointF>

namespace imaging::detail {

// The chromaticities a coded colour description's primaries stand for (CIE 1931 xy).
struct Chromaticities {
    QPointF white, red, green, blue;
};

// The colour space of a picture described by the coded values HEIF's nclx box and AVIF share
// (ITU-T H.273): BT.709 and unnamed primaries as sRGB's, SMPTE EG 432 as Display P3, others
// from their chromaticities. Camera curves and PQ/HLG (not tone-mapped here) are shown with
// the sRGB curve, as displays show them.
QColorSpace cicpColorSpace(int primaries, int transfer, const Chromaticities& chromaticities);

} // namespace imaging::detail
