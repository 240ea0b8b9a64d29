#pragma once

#include "imaging/colour/ToneMap.h"
#include "imaging/support/DecodeSupport.h"

#include <QColorSpace>
#include <QImage>

#include <libheif/heif.h>

#include <optional>

namespace imaging::detail {

// The colour of one image of a HEIF file, as its ICC profile or its nclx box gives it.
struct HeifColour {
    // The colour space of the 8-bit pixels libheif delivers; not valid when the image names
    // none, or for an HDR picture.
    QColorSpace space;
    // An HDR picture (nclx transfer PQ or HLG): decoded at full depth and tone-mapped.
    std::optional<HdrSource> hdr;

    bool isKnown() const { return space.isValid() || hdr.has_value(); }
};

// Read from the handle's colour profile; only called once libheif is open.
HeifColour heifColourOf(const heif_image_handle* handle);

// The picture libheif decoded (rows `stride` bytes apart; RRGGBB(AA)_LE when deep, else 8-bit
// RGB(A)) mapped onto the screen the options name: straight into its primaries and curve where
// the tone map can write them, into Display P3 otherwise (converted on by the caller), into
// sRGB without a profile. The peak comes from the image's clli box, else its mdcv box, else
// 1000 nits. A null image when it cannot be allocated.
QImage toneMapHeif(const heif_image* decoded, const uint8_t* data, int stride, int width,
                   int height, bool alpha, bool deep, HdrSource source,
                   const DecodeOptions& options);

} // namespace imaging::detail
