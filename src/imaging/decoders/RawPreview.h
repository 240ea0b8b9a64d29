#pragma once

#include "imaging/support/DecodeSupport.h"

#include <QImage>
#include <QString>

#include <optional>

namespace imaging::detail {

// A reduced copy of the picture that a raw file built on TIFF carries (a camera's JPEG
// preview, or one stored as plain 8-bit RGB), as stored: not turned. Found by reading the
// file's directories here, never by LibRaw, whose preview reader trusts lengths and sizes
// (it wrote past its buffer for a preview whose directory lied). A copy whose bytes do not lie
// wholly within the file, or do not cover its size, is skipped.
struct RawPreview {
    qint64 offset = 0;
    qint64 length = 0;
    QSize size; // as stored
    bool jpeg = false;
};

// Every readable preview of the file, in no particular order.
QList<RawPreview> findRawPreviews(const QString& path);

// Reads one found preview; a JPEG is reduced in the DCT as far as the options allow.
std::optional<QImage> readRawPreview(const QString& path, const RawPreview& preview,
                                     const DecodeOptions& options);

} // namespace imaging::detail
