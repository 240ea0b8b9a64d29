#include "imaging/decoders/PngDecoder.h"

#include "imaging/decoders/ApngDecoder.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/pixels/Orientation.h"

#include <QFile>

namespace imaging::detail {

namespace {

// The first frame, where it is not the default image. A still PNG is walked only up to its
// image data.
QImage firstFrameApart(const QString& path, ImageType type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !isAnimatedPng(file) || !mayReadWithQt(path, type))
        return {};
    const std::unique_ptr<ApngDecoder> frames = ApngDecoder::open(path);
    return frames && !frames->defaultImageIsFrame() ? frames->nextFrame() : QImage();
}

} // namespace

std::optional<QImage> decodePngFile(const QString& path, ImageType type,
                                    const DecodeOptions& options)
{
    QImage frame = firstFrameApart(path, type);
    // Should that frame not decode, the default image is still a picture of the file.
    if (frame.isNull())
        return decodeWithQt(path, type, options);
    if (options.upright)
        frame = orientedImage(frame, storedOrientation(path, type).shown());
    convertForScreen(frame, options);
    return frame;
}

std::unique_ptr<FrameSource> openPngFrames(const QString& path, ImageType type)
{
    if (!mayReadWithQt(path, type))
        return nullptr;
    return ApngDecoder::open(path);
}

} // namespace imaging::detail
