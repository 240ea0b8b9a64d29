#pragma once

#include "base/RuntimeLibrary.h"

#include <avif/avif.h>

namespace imaging::detail {

#define PELU_AVIF_FUNCTIONS(X)                                                                     \
    X(avifColorPrimariesGetValues)                                                                 \
    X(avifDecoderCreate)                                                                           \
    X(avifDecoderDestroy)                                                                          \
    X(avifDecoderNextImage)                                                                        \
    X(avifDecoderNthImage)                                                                         \
    X(avifDecoderParse)                                                                            \
    X(avifDecoderSetIO)                                                                            \
    X(avifDecoderSetSource)                                                                        \
    X(avifImageYUVToRGB)                                                                           \
    X(avifRGBImageSetDefaults)

// The functions of libavif that play AVIF image sequences, opened on first use. Still AVIF
// pictures are read through libheif; only sequences need libavif.
struct AvifLibrary {
    PELU_AVIF_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// Opened once, from any thread; null when libavif is missing or lacks one of the functions.
const AvifLibrary* avifLibrary();

} // namespace imaging::detail
