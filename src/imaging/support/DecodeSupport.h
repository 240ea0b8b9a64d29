#pragma once

#include "imaging/colour/DisplayColour.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <memory>

// Shared by the decoders: the size limit, one-time library set-up and colour conversion.
namespace imaging::detail {

// How a decoder should deliver the first image of a file.
struct DecodeOptions {
    // Apply the file's orientation, so the image is shown upright.
    bool upright = true;
    // Convert the pixels from the picture's own colour space into the screen's, and map HDR
    // pictures onto it; otherwise colours stay as the file holds them.
    bool forScreen = true;
    // The screen's profile, the one set for the process unless told otherwise; null: sRGB.
    std::shared_ptr<const DisplayProfile> screen = displayProfile();
    // When positive, a decoder may deliver a reduced image no smaller than needed for a
    // thumbnail whose longer side is this many pixels (JPEG DCT scaling, raw half size).
    int boundingSize = 0;
    // When not empty, the same for a picture fitted into a box this many pixels wide and high.
    QSize bounds;
    // A reduced copy the file carries (a HEIF thumbnail, a camera's preview) may stand for the
    // picture where it is large enough.
    bool carriedCopies = true;
    // A picture smaller than bounds ask for will do, to stand in for moments while the whole
    // one is decoded: a HEIF file's own thumbnail.
    bool standIn = false;
    // When given, receives the size of the whole upright picture whenever a decoder delivers a
    // reduced one (JPEG by DCT scaling, HEIF from its thumbnail).
    QSize* fullSize = nullptr;
    // Read now and then during a long decode: once true, the decode gives up.
    const std::atomic<bool>* cancelled = nullptr;
};

// Photographs up to 200 megapixels open; anything claiming more is refused before allocating.
constexpr qint64 kMaxPixels = 200'000'000;

// Positive dimensions whose product stays within kMaxPixels. A refusal of real dimensions is
// remembered on the calling thread until resetSizeRefusal, so that a failed decode can say
// it was refused for its size.
bool withinPixelBudget(qint64 width, qint64 height);
void resetSizeRefusal();
bool wasRefusedForSize();

// The longer side a reduced picture needs for what the options ask of a picture this large; 0
// when they ask for the whole picture.
int neededSide(const DecodeOptions& options, const QSize& full);

// Whether a reduced copy a file carries (a thumbnail, a camera's preview) has the picture's
// shape: one turned or cropped otherwise is not a copy of the picture.
bool hasShapeOf(const QSize& copy, const QSize& full);

// Thumbnails and the first frame use the reduced copies HEIF and raw files carry, because
// decoding a large picture of those takes seconds. A copy is not always of the picture (a
// stale or foreign preview happens): where decoding the picture costs little, the copy is used
// only when it looks like the picture.
bool isCheapToDecode(const QSize& full);
// Whether two pictures of one scene agree in their mean colour, as a copy and its picture do
// even when rendered differently.
bool looksAlike(const QImage& copy, const QImage& picture);

// Raises Qt's allocation limit and quietens and prepares exiv2 and libheif, once per process.
// Every entry point calls it; it is cheap after the first call.
void ensureLibrariesReady();

// Stops libtiff, under Qt's TIFF reader, from printing every oddity of a damaged file. Called
// before Qt reads a TIFF: libtiff and the codecs it links are not loaded before one is read.
void quietTiffLibrary();

// Converts an image carrying a colour space other than sRGB to sRGB; others are left alone.
void convertToSrgb(QImage& image);
// What options.forScreen asks of a decoded picture carrying its own colour space (none:
// sRGB): into options.screen, or to sRGB without one.
void convertForScreen(QImage& image, const DecodeOptions& options);
// Whether a picture of this colour space needs converting for the options: 32-bit pixels
// convert fastest, so decoders that can choose pick them then.
bool needsScreenConversion(const QColorSpace& space, const DecodeOptions& options);

// The file name as the C libraries want it.
QByteArray nativePath(const QString& path);

} // namespace imaging::detail
