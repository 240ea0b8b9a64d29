#include "imaging/metadata/ExifReading.h"

#include "imaging/metadata/Exiv2Support.h"

#include <cmath>

namespace imaging::detail {

namespace {

const Exiv2::Exifdatum* find(const Exiv2::ExifData& exif, const char* key)
{
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() || it->count() == 0 ? nullptr : &*it;
}

bool isIntegerType(Exiv2::TypeId type)
{
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
        return true;
    default:
        return false;
    }
}

// Rationals stay in double precision (exiv2's toFloat would round them to float).
std::optional<double> realAt(const Exiv2::Exifdatum& datum, long index)
{
    double value = NAN;
    const Exiv2::TypeId type = datum.typeId();
    if (type == Exiv2::unsignedRational || type == Exiv2::signedRational) {
        const Exiv2::Rational r = datum.toRational(index);
        // exiv2 hands unsigned rationals over as signed pairs; take the bits back.
        if (r.second != 0)
            value = type == Exiv2::unsignedRational
                        ? double(quint32(r.first)) / double(quint32(r.second))
                        : double(r.first) / double(r.second);
    } else if (isIntegerType(type)) {
        value = double(datum.toLong(index));
    } else if (type == Exiv2::tiffFloat || type == Exiv2::tiffDouble) {
        value = double(datum.toFloat(index));
    }
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> real(const Exiv2::ExifData& exif, const char* key)
{
    const Exiv2::Exifdatum* datum = find(exif, key);
    return datum ? realAt(*datum, 0) : std::nullopt;
}

std::optional<QString> text(const Exiv2::ExifData& exif, const char* key)
{
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (!datum || datum->typeId() != Exiv2::asciiString)
        return std::nullopt;
    const std::string value = datum->toString();
    // The stored terminator is not part of the text.
    return QString::fromUtf8(value.c_str());
}

std::optional<QList<qint64>> integers(const Exiv2::ExifData& exif, const char* key)
{
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (!datum || !isIntegerType(datum->typeId()))
        return std::nullopt;
    QList<qint64> values;
    for (long i = 0; i < datum->count(); ++i)
        values.append(datum->toLong(i));
    return values;
}

// Degrees, minutes and seconds as stored; any missing part counts as zero.
std::optional<double> coordinate(const Exiv2::ExifData& exif, const char* key)
{
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (!datum)
        return std::nullopt;
    double degrees = 0;
    const long parts = std::min<long>(datum->count(), 3);
    for (long i = 0; i < parts; ++i) {
        const std::optional<double> part = realAt(*datum, i);
        if (!part)
            return std::nullopt;
        degrees += *part / std::pow(60.0, double(i));
    }
    return degrees;
}

} // namespace

void readExifDictionaries(const Exiv2::ExifData& exif, ImageProperties& properties)
{
    guarded([&] {
        bool hasTiff = false, hasExif = false, hasGps = false;
        for (const Exiv2::Exifdatum& datum : exif) {
            const std::string group = datum.groupName();
            hasTiff = hasTiff || group == "Image";
            hasExif = hasExif || group == "Photo";
            hasGps = hasGps || group == "GPSInfo";
        }
        if (hasTiff)
            properties.tiff =
                TiffProperties{text(exif, "Exif.Image.Make"), text(exif, "Exif.Image.Model")};
        if (hasExif) {
            properties.exif = ExifProperties{text(exif, "Exif.Photo.DateTimeOriginal"),
                                             real(exif, "Exif.Photo.FocalLength"),
                                             real(exif, "Exif.Photo.FNumber"),
                                             real(exif, "Exif.Photo.ExposureTime"),
                                             integers(exif, "Exif.Photo.ISOSpeedRatings"),
                                             text(exif, "Exif.Photo.LensModel")};
        }
        if (hasGps) {
            properties.gps = GpsProperties{coordinate(exif, "Exif.GPSInfo.GPSLatitude"),
                                           text(exif, "Exif.GPSInfo.GPSLatitudeRef"),
                                           coordinate(exif, "Exif.GPSInfo.GPSLongitude"),
                                           text(exif, "Exif.GPSInfo.GPSLongitudeRef")};
        }
        return true;
    });
}

} // namespace imaging::detail
