#pragma once

#include "state/MetadataEntry.h"

#include <QImage>
#include <QString>
#include <optional>

// The image service: every decode of an image file goes through here. Safe from any thread.
namespace imaging {

// Decodes the first image for display: upright, in sRGB. Nothing when the file cannot be
// decoded (missing, truncated, hostile, too large).
std::optional<QImage> decodeImage(const QString& path);

// The rows of the metadata panel. Never fails and never decodes pixels.
MetadataRows extractMetadata(const QString& path);

} // namespace imaging
