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

// Decodes made by decodeImage so far, on any thread and on the user-interface thread alone.
// Lets tests prove where decoding happens without timing it.
quint64 decodeCount();
quint64 mainThreadDecodeCount();

// The rows of the metadata panel. Never fails and never decodes pixels.
MetadataRows extractMetadata(const QString& path);

} // namespace imaging
