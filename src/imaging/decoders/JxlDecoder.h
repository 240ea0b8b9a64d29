#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/decoders/HdrSignal.h"
#include "imaging/support/DecodeSupport.h"

#include <QByteArray>

#include <optional>

namespace imaging::detail {

// Whether the first bytes are those of a JPEG XL file: a bare codestream (FF 0A) or the
// container's signature box.
bool isJxl(const QByteArray& head);

// What the headers say about the picture, without decoding it.
struct JxlInfo {
    // As stored, before the orientation is applied.
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    bool grey = false;
    bool hasAlpha = false;
    // The orientation the codestream stores (1 to 8, as in Exif); libjxl applies it, and it
    // overrides any Exif value.
    int orientation = 1;
    bool animated = false;
    // The Exif data from its TIFF header on; empty when there is none.
    QByteArray exif;
};

std::optional<JxlInfo> readJxlInfo(const QString& path);

// The Exif box's data from its TIFF header on (Brotli-compressed boxes unpacked); empty when
// the file has none or it is larger than any real one.
QByteArray readJxlExif(const QString& path);

// A decoded picture and what a caller needs beside the pixels.
struct JxlPicture {
    // 8-bit RGBA8888 (RGBX8888 without alpha) with its colour space, or for an HDR picture
    // asked for as a signal, Format_RGBA64 as HdrSignal describes.
    QImage image;
    HdrSignal hdr;
    // The stored orientation, applied to the image when options.upright.
    int orientation = 1;
    bool hasAlpha = false;
};

// The first frame of a JPEG XL file. Sizes are checked against the budget and the file's
// length before anything is allocated. The stored orientation is applied when options.upright,
// the pixels are converted for the screen when options.forScreen (not an HDR signal), and
// options.cancelled is read between chunks of input. libjxl 0.7 has no reduced decode worth
// taking (its DC pass is rendered at full size, as slowly as the whole picture), so
// options.boundingSize and options.bounds get the whole picture.
// hdrSignal: a PQ or HLG picture comes as its 16-bit signal; otherwise, like HEIF, as 8-bit
// with its primaries and the sRGB curve, not tone-mapped.
std::optional<JxlPicture> decodeJxlPicture(const QString& path, const DecodeOptions& options,
                                           bool hdrSignal);

// The picture as the type table's decode gives it: 8-bit, and for a PQ or HLG picture brought
// to sRGB by the tone mapper (whatever options.forScreen says: 8 bits cannot hold the signal).
std::optional<QImage> decodeJxl(const QString& path, ImageType type, const DecodeOptions& options);

} // namespace imaging::detail
