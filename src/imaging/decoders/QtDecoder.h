#pragma once

#include "imaging/support/DecodeSupport.h"
#include "imaging/ImageTypes.h"

#include <optional>

class QImageReader;

namespace imaging::detail {

// JPEG, PNG, GIF (first frame), BMP, TIFF (first page), WebP (first frame) and ICO (largest
// entry) through QImageReader.
std::optional<QImage> decodeWithQt(const QString& path, ImageType type,
                                   const DecodeOptions& options);

// Whether Qt may be given the file at all: its structure is sound (ContainerChecks) and its
// first image's data is all there (TruncationChecks).
bool mayReadWithQt(const QString& path, ImageType type);

// Points the reader at the file with the handler of its type only. Left to guess, Qt asks
// every image plugin whether it reads the format, and loads them all to ask (about 10 ms at
// start); the type already comes from the file's content.
void openWithQt(QImageReader& reader, const QString& path, ImageType type);

// The reader's next image, never holding memory the decoder left unwritten; null on failure.
QImage readFrame(QImageReader& reader, ImageType type);

// For ICO files, points the reader at the largest entry; the others are left as they are.
void selectLargestImage(QImageReader& reader, ImageType type);

} // namespace imaging::detail
