#pragma once

#include "imaging/DecodeFailure.h"
#include "imaging/ImageProperties.h"
#include "imaging/ImageTypes.h"
#include "imaging/MetadataEntry.h"
#include "imaging/metadata/MetadataExtraction.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/rotation/OrientationWriter.h"
#include "imaging/rotation/PixelRotation.h"
#include "imaging/pixels/Thumbnail.h"

#include <QImage>
#include <QString>
#include <atomic>
#include <optional>

// The image service: every decode of an image file goes through here. Safe from any thread.
namespace imaging {

// Decodes the first image for display: upright, in the screen's colour space (see
// DisplayColour.h; sRGB unless a display profile is set), HDR pictures tone-mapped onto it.
// Nothing when the file cannot be decoded (missing, truncated, hostile, too large); then
// *failure, when given, says why. Once *cancelled turns true a JPEG decode gives up part way, with nothing.
std::optional<QImage> decodeImage(const QString& path, DecodeFailure* failure = nullptr,
                                  const std::atomic<bool>* cancelled = nullptr);

// Whether the picture is the readable part of a JPEG whose data ends early (a card fault): its
// rows as read, the rest neutral grey. decodeImage gives such a picture rather than nothing when
// at least one row was read.
bool isIncomplete(const QImage& image);

// Why a file that gave no image gave none, judged from what is cheap to read: whether it
// exists, its type, the size its header claims.
DecodeFailure classifyDecodeFailure(const QString& path);

// The first image as stored: the orientation not applied, colours as the file holds them.
std::optional<QImage> decodeAsStored(const QString& path);

// The rows of the metadata panel. Never fails and never decodes pixels.
MetadataRows extractMetadata(const QString& path);

// Writes the source turned by a signed number of clockwise quarter turns into destination:
// by its orientation property for the lossless rotation types, by re-encoding otherwise. The
// copy is then read back as the decoders read it (see detail::rewriteIsSound); one that is not
// sound is removed and the result is false.
bool writeRotatedFile(const QString& source, const QString& destination, int quarterTurns);

} // namespace imaging
