#include "imaging/metadata/Exiv2Support.h"

#include "imaging/support/DecodeSupport.h"
#include "imaging/TypeTable.h"

#include <exiv2/webpimage.hpp>

namespace imaging::detail {

namespace {

// Whether exiv2's reader of the given kind is the one for a file of the given type.
bool exiv2Reads(ImageType type, int reader)
{
    namespace T = Exiv2::ImageType;
    switch (typeRow(type).metadata) {
    case MetadataReader::Jpeg:
        return reader == T::jpeg;
    case MetadataReader::Png:
        return reader == T::png;
    case MetadataReader::Gif:
        return reader == T::gif;
    case MetadataReader::Bmp:
        return reader == T::bmp;
    case MetadataReader::Webp:
        return reader == T::webp;
    case MetadataReader::Psd:
        return reader == T::psd;
    case MetadataReader::TiffFamily:
        // Told apart by name as often as by content.
        return reader == T::tiff || reader == T::cr2 || reader == T::orf || reader == T::rw2;
    case MetadataReader::None:
        break;
    }
    return false;
}

} // namespace

MetadataImage openMetadata(const QString& path)
{
    ensureLibrariesReady();
    MetadataImage image;
    guarded([&] {
        // exiv2 picks its reader from the content. One that is not the reader of what the file
        // was taken for never runs: a QuickTime box named .nef went to its video reader, which
        // ran for minutes.
        if (!exiv2Reads(detectImageType(path),
                        Exiv2::ImageFactory::getType(nativePath(path).toStdString())))
            return false;
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

} // namespace imaging::detail
