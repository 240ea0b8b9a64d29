#include "imaging/Exiv2Support.h"

#include "imaging/DecodeSupport.h"

namespace imaging::detail {

MetadataImage openMetadata(const QString& path)
{
    ensureLibrariesReady();
    MetadataImage image;
    guarded([&] {
        // No network fetches for a path that happens to look like a URL.
        Exiv2::Image::AutoPtr opened =
            Exiv2::ImageFactory::open(nativePath(path).toStdString(), false);
        if (!opened.get())
            return false;
        opened->readMetadata();
        image.reset(opened.release());
        return true;
    });
    return image;
}

std::optional<qint64> integerTag(const Exiv2::ExifData& exif, const char* key)
{
    std::optional<qint64> value;
    guarded([&] {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it == exif.end() || it->count() < 1)
            return false;
        switch (it->typeId()) {
        case Exiv2::unsignedShort:
        case Exiv2::unsignedLong:
        case Exiv2::signedShort:
        case Exiv2::signedLong:
        case Exiv2::unsignedByte:
            value = qint64(it->toLong(0));
            return true;
        default:
            return false;
        }
    });
    return value;
}

std::optional<int> orientationTag(const Exiv2::ExifData& exif)
{
    const std::optional<qint64> value = integerTag(exif, "Exif.Image.Orientation");
    return value ? std::optional<int>(int(*value)) : std::nullopt;
}

std::optional<int> orientationTag(const QString& path)
{
    const MetadataImage image = openMetadata(path);
    return image ? orientationTag(image->exifData()) : std::nullopt;
}

} // namespace imaging::detail
