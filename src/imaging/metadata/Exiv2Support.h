#pragma once

#include <QString>

#include <exiv2/exiv2.hpp>

#include <memory>
#include <optional>

// exiv2 behind the service boundary: it throws on damaged files, so nothing here lets an
// exception escape.
namespace imaging::detail {

using MetadataImage = std::unique_ptr<Exiv2::Image>;

// The file opened with exiv2 and its metadata read; null when exiv2 cannot read it.
MetadataImage openMetadata(const QString& path);

// The first value of an integer-typed tag, e.g. "Exif.Image.BitsPerSample".
std::optional<qint64> integerTag(const Exiv2::ExifData& exif, const char* key);

// Runs f, turning any exception into false.
template <typename F> bool guarded(F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        return false;
    }
}

} // namespace imaging::detail
