#pragma once

#include "imaging/decoders/HdrSignal.h"
#include "imaging/decoders/JxlLibrary.h"

#include <QColorSpace>

namespace imaging::detail {

// What the pixels libjxl delivers are: a colour space to attach to them, or a high-dynamic-
// range signal that Qt cannot describe.
struct JxlColour {
    // Invalid when the file names none Qt can read (the pixels are then taken as sRGB).
    QColorSpace space;
    HdrSignal hdr;
};

// Called at JXL_DEC_COLOR_ENCODING, before any pixel is asked for. Where libjxl would deliver
// 8-bit linear light (a lossy picture whose original profile it cannot name), asks for a
// gamma-encoded space instead. An HDR picture keeps its signal; its space, for showing it
// untouched as SDR, is its primaries with the sRGB curve.
JxlColour settleColour(const JxlLibrary& api, JxlDecoder* decoder, const JxlBasicInfo& info);

} // namespace imaging::detail
