#pragma once

#include "base/RuntimeLibrary.h"

#include <lcms2.h>

namespace imaging::detail {

#define PELU_LCMS_FUNCTIONS(X)                                                                     \
    X(cmsOpenProfileFromMem)                                                                       \
    X(cmsCloseProfile)                                                                             \
    X(cmsGetColorSpace)                                                                            \
    X(cmsGetDeviceClass)                                                                           \
    X(cmsCreateTransform)                                                                          \
    X(cmsDeleteTransform)                                                                          \
    X(cmsDoTransformLineStride)

// The functions of Little CMS that the viewer calls, for the display profiles Qt cannot read
// (those made of tables). Opened on first use rather than linked: only a screen with such a
// profile needs it.
struct LcmsLibrary {
    PELU_LCMS_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// Opened once, from any thread; null when Little CMS is missing or lacks one of the
// functions, and such profiles are then ignored like unreadable ones.
const LcmsLibrary* lcmsLibrary();

} // namespace imaging::detail
