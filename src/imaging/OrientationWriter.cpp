#include "imaging/OrientationWriter.h"

#include "imaging/Exiv2Support.h"
#include "imaging/ImageTypes.h"
#include "imaging/Orientation.h"

#include <QFile>
#include <QFileInfo>

namespace imaging {

namespace {

// exiv2 cannot write BMFF (HEIC, HEIF, AVIF) or Panasonic raw files.
bool exiv2CanRewrite(ImageType type)
{
    return supportsLosslessRotation(type) && !isHeifFamily(type) && type != ImageType::Rw2;
}

// Copies straight into destination. QFile::copy would first write a visible "qt_temp.*" file
// beside it, which a cut-off run leaves in the user's folder.
bool copyFile(const QString& source, const QString& destination)
{
    QFile in(source), out(destination);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    out.close();
    if (ok && out.error() == QFileDevice::NoError)
        return true;
    QFile::remove(destination);
    return false;
}

bool setOrientation(const QString& path, int orientation)
{
    const detail::MetadataImage image = detail::openMetadata(path);
    if (!image)
        return false;
    return detail::guarded([&] {
        image->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
        Exiv2::XmpData& xmp = image->xmpData();
        const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
        if (it != xmp.end())
            it->setValue(std::to_string(orientation));
        image->writeMetadata();
        return true;
    });
}

} // namespace

bool writeOrientation(const QString& source, const QString& destination, int orientation)
{
    if (orientation < 0 || orientation > 0xFFFF || QFileInfo::exists(destination))
        return false;
    if (!exiv2CanRewrite(detectImageType(source)) || !copyFile(source, destination))
        return false;
    if (setOrientation(destination, orientation))
        return true;
    QFile::remove(destination);
    return false;
}

bool writeRotatedOrientation(const QString& source, const QString& destination, int quarterTurns)
{
    if (!exiv2CanRewrite(detectImageType(source)))
        return false;
    const detail::MetadataImage image = detail::openMetadata(source);
    if (!image)
        return false;
    // Viewers show a missing or invalid value (0 is common) as 1; turning it must turn the
    // picture, not leave the same invalid value behind.
    int current = detail::orientationTag(image->exifData()).value_or(1);
    if (current < 1 || current > 8)
        current = 1;
    return writeOrientation(source, destination, rotatedOrientation(current, quarterTurns));
}

} // namespace imaging
