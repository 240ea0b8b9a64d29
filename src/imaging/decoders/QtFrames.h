#pragma once

#include "imaging/decoders/FrameSource.h"

namespace imaging::detail {

// The frames of an animated GIF or WebP through Qt's reader; null when Qt may not read the file
// (ContainerChecks, TruncationChecks) or its canvas is over the pixel budget. A still picture
// plays as one frame, for ever.
std::unique_ptr<FrameSource> openQtFrames(const QString& path, ImageType type);

} // namespace imaging::detail
