#include "imaging/TypeTable.h"

#include "imaging/checks/ContainerChecks.h"
#include "imaging/checks/TruncationChecks.h"
#include "imaging/decoders/AvifSequence.h"
#include "imaging/decoders/HeifDecoder.h"
#include "imaging/decoders/JpegDecoder.h"
#include "imaging/decoders/JxlAnimation.h"
#include "imaging/decoders/JxlDecoder.h"
#include "imaging/decoders/PngDecoder.h"
#include "imaging/decoders/PsdReader.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/decoders/QtFrames.h"
#include "imaging/decoders/RawDecoder.h"
#include "imaging/metadata/HeaderReaders.h"
#include "imaging/metadata/StoredColour.h"
#include "imaging/support/ByteReading.h"

#include <cstring>

namespace imaging::detail {

namespace {

bool startsWith(const QByteArray& head, const char* magic, qsizetype length, qsizetype at = 0)
{
    return head.size() >= at + length && std::memcmp(head.constData() + at, magic, length) == 0;
}

ImageType heifBrand(const QByteArray& brand)
{
    if (brand == "avif" || brand == "avis")
        return ImageType::Avif;
    if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" ||
        brand == "hevc" || brand == "hevx")
        return ImageType::Heic;
    if (brand == "mif1" || brand == "msf1" || brand == "miaf")
        return ImageType::Heif;
    return ImageType::Unknown;
}

// The major brand decides unless it is a generic one, then a compatible brand may be precise.
ImageType sniffFtyp(const QByteArray& head)
{
    if (!startsWith(head, "ftyp", 4, 4) || head.size() < 16)
        return ImageType::Unknown;
    const ImageType major = heifBrand(head.mid(8, 4));
    if (major != ImageType::Heif && major != ImageType::Unknown)
        return major;
    const qsizetype boxEnd = std::min<qsizetype>(readBigEndian32(head, 0), head.size());
    ImageType found = major;
    for (qsizetype at = 16; at + 4 <= boxEnd; at += 4) {
        const ImageType compatible = heifBrand(head.mid(at, 4));
        if (compatible == ImageType::Avif || compatible == ImageType::Heic)
            return compatible;
        if (compatible == ImageType::Heif)
            found = ImageType::Heif;
    }
    return found;
}

bool isTiffHeader(const QByteArray& head)
{
    return startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4);
}

// Canon marks its raw files right after the TIFF header.
bool isCr2(const QByteArray& head)
{
    return isTiffHeader(head) && startsWith(head, "CR\2", 3, 8);
}

using F = DecoderFamily;
using O = OrientationSource;
using R = RotationWrite;
using M = MetadataReader;

// The raw types differ only in their names and signatures.
constexpr TypeRow raw(ImageType type, const char* extension, const char* mime, Sniff sniff,
                      R rotation = R::OrientationValue)
{
    return {type,     {extension, nullptr}, mime,    "",          F::Raw,        sniff, decodeRawFile,
            readRawHeader, nullptr,         nullptr, nullptr,     O::TiffFile,   M::TiffFamily,
            rotation, true,                 nullptr};
}

// libheif reads the Exif block and applies the container's own turns; exiv2 cannot write them.
// Of the sequences only AVIF's play; their first frame is the file's primary picture.
constexpr TypeRow heif(ImageType type, const char* extension, const char* mime, Sniff sniff,
                       OpenFrames frames = nullptr)
{
    return {type,    {extension, nullptr}, mime,    "",      F::Heif, sniff, decodeHeif,
            readHeifHeader, nullptr,       nullptr, nullptr, O::None, M::None, R::None, true,
            frames};
}

// One row per type, in the order of ImageType.
const TypeRow kTypes[] = {
    {ImageType::Unknown, {nullptr, nullptr}, "", "", F::None, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, O::None, M::None, R::None, false, nullptr},
    {ImageType::Jpeg, {"jpg", "jpeg"}, "image/jpeg", "jpeg", F::Qt,
     [](const QByteArray& h) { return startsWith(h, "\xFF\xD8\xFF", 3); }, decodeJpegFile,
     readQtHeader, jpegIsSound, jpegIsComplete, jpegColour, O::JpegExif, M::Jpeg,
     R::OrientationValue, true, nullptr},
    {ImageType::Png, {"png", nullptr}, "image/png", "png", F::Qt,
     [](const QByteArray& h) { return startsWith(h, "\x89PNG\r\n\x1A\n", 8); }, decodePngFile,
     readQtHeader, pngIsSound, nullptr, pngColour, O::Exiv2, M::Png, R::Pixels, false,
     openPngFrames},
    {ImageType::Gif, {"gif", nullptr}, "image/gif", "gif", F::Qt,
     [](const QByteArray& h) { return startsWith(h, "GIF87a", 6) || startsWith(h, "GIF89a", 6); },
     decodeWithQt, readQtHeader, gifIsSound, gifFirstFrameIsComplete, nullptr, O::None, M::Gif,
     R::None, false, openQtFrames},
    {ImageType::Bmp, {"bmp", nullptr}, "image/bmp", "bmp", F::Qt,
     [](const QByteArray& h) { return startsWith(h, "BM", 2) && h.size() >= 14; }, decodeWithQt,
     readQtHeader, bmpIsSound, bmpIsComplete, bmpColour, O::None, M::Bmp, R::Pixels,
     false, nullptr},
    {ImageType::Tiff, {"tif", "tiff"}, "image/tiff", "tiff", F::Qt,
     [](const QByteArray& h) { return isTiffHeader(h) && !isCr2(h); }, decodeWithQt,
     readQtHeader, nullptr, nullptr, nullptr, O::TiffFile, M::TiffFamily,
     R::OrientationValue, false, nullptr},
    {ImageType::Webp, {"webp", nullptr}, "image/webp", "webp", F::Qt,
     [](const QByteArray& h) { return startsWith(h, "RIFF", 4) && startsWith(h, "WEBP", 4, 8); },
     decodeWithQt, readQtHeader, webpIsSound, nullptr, nullptr, O::Exiv2, M::Webp,
     R::Pixels, false, openQtFrames},
    {ImageType::Ico, {"ico", nullptr}, "image/vnd.microsoft.icon", "ico", F::Qt,
     [](const QByteArray& h) {
         return startsWith(h, "\0\0\1\0", 4) || startsWith(h, "\0\0\2\0", 4);
     },
     decodeWithQt, readQtHeader, icoIsSound, nullptr, nullptr, O::None, M::None, R::Pixels,
     false, nullptr},
    heif(ImageType::Heic, "heic", "image/heic",
         [](const QByteArray& h) { return sniffFtyp(h) == ImageType::Heic; }),
    heif(ImageType::Heif, "heif", "image/heif",
         [](const QByteArray& h) { return sniffFtyp(h) == ImageType::Heif; }),
    heif(ImageType::Avif, "avif", "image/avif",
         [](const QByteArray& h) { return sniffFtyp(h) == ImageType::Avif; }, openAvifFrames),
    {ImageType::Psd, {"psd", nullptr}, "image/vnd.adobe.photoshop", "", F::Psd,
     [](const QByteArray& h) { return startsWith(h, "8BPS", 4); }, decodePsdFile, readPsdHeader,
     nullptr, nullptr, nullptr, O::Exiv2, M::Psd, R::None, false, nullptr},
    raw(ImageType::Cr2, "cr2", "image/x-canon-cr2", isCr2),
    raw(ImageType::Nef, "nef", "image/x-nikon-nef", nullptr),
    raw(ImageType::Arw, "arw", "image/x-sony-arw", nullptr),
    raw(ImageType::Dng, "dng", "image/x-adobe-dng", nullptr),
    raw(ImageType::Orf, "orf", "image/x-olympus-orf",
        [](const QByteArray& h) {
            return startsWith(h, "IIRO", 4) || startsWith(h, "IIRS", 4) || startsWith(h, "MMOR", 4);
        }),
    // Nothing here writes Panasonic's variant of TIFF back: only the view turns.
    raw(ImageType::Rw2, "rw2", "image/x-panasonic-rw2",
        [](const QByteArray& h) { return startsWith(h, "IIU\0", 4); }, R::None),
    // libjxl applies the codestream's orientation, and Exif's is not the picture's. libjxl 0.7
    // cannot change the orientation without encoding the picture again, which would lose data.
    {ImageType::Jxl, {"jxl", nullptr}, "image/jxl", "", F::Jxl, isJxl, decodeJxl, readJxlHeader,
     nullptr, nullptr, nullptr, O::None, M::None, R::None, false, openJxlFrames},
};

static_assert(std::size(kTypes) == std::size_t(ImageType::Jxl) + 1, "a row for every type");

} // namespace

std::span<const TypeRow> typeRows()
{
    return kTypes;
}

const TypeRow& typeRow(ImageType type)
{
    const auto index = static_cast<std::size_t>(type);
    return index < std::size(kTypes) ? kTypes[index] : kTypes[0];
}

} // namespace imaging::detail
