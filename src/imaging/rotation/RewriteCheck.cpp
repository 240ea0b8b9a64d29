#include "imaging/rotation/RewriteCheck.h"

#include "imaging/support/ByteReading.h"
#include "imaging/decoders/Decoding.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/rotation/OrientationWriter.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/metadata/TiffStructure.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>

namespace imaging::detail {

namespace {

// The frame count of an animated PNG's acTL chunk, which comes before the image data; 1 for a
// still PNG. Nothing when the chunks cannot be walked.
std::optional<int> pngFrameCount(QFile& file)
{
    constexpr int kMaxChunks = 1 << 16;
    if (!file.seek(8))
        return std::nullopt;
    for (int i = 0; i < kMaxChunks; ++i) {
        const QByteArray header = readExactly(file, 8);
        if (header.size() != 8)
            return std::nullopt;
        const qint64 length = readBigEndian32(header, 0);
        const QByteArray type = header.mid(4, 4);
        if (type == "IDAT" || type == "IEND")
            return 1;
        if (type == "acTL") {
            const QByteArray data = readExactly(file, 4);
            return data.size() == 4 ? std::optional<int>(int(readBigEndian32(data, 0)))
                                    : std::nullopt;
        }
        if (!skipBytes(file, length + 4))
            return std::nullopt;
    }
    return std::nullopt;
}

// A digest of the pixels, so that two large decodes need not be held at once. The rows'
// padding, which decoders need not write, is left out.
QByteArray pixelDigest(const QImage& image)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QString shape = QStringLiteral("%1x%2/%3").arg(image.width()).arg(image.height());
    hash.addData(shape.arg(int(image.format())).toUtf8());
    const qsizetype rowBytes = (qsizetype(image.width()) * image.depth() + 7) / 8;
    for (int y = 0; y < image.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)), rowBytes));
    return hash.result();
}

// Reduced where a decoder can do so from the same data (JPEG in the DCT, raw at half size),
// never from a copy the file carries.
std::optional<QImage> decodeStored(const QString& path, ImageType type)
{
    constexpr int kCheckSide = 1024;
    DecodeOptions options;
    options.upright = false;
    options.forScreen = false;
    options.carriedCopies = false;
    options.boundingSize = kCheckSide;
    return decodeFile(path, type, options);
}

std::optional<QImage> decodeUpright(const QString& path, ImageType type)
{
    DecodeOptions options;
    options.forScreen = false;
    options.carriedCopies = false;
    return decodeFile(path, type, options);
}

bool losslessCopyIsSound(const QString& original, const QString& copy, ImageType type,
                         int quarterTurns)
{
    const int expected = rotatedOrientation(shownOrientation(original), quarterTurns);
    if (shownOrientation(copy) != expected || expected == shownOrientation(original))
        return false;
    QByteArray before;
    if (const std::optional<QImage> image = decodeStored(original, type))
        before = pixelDigest(*image);
    const std::optional<QImage> after = decodeStored(copy, type);
    return !before.isEmpty() && after && pixelDigest(*after) == before;
}

bool encodedCopyIsSound(const QString& original, const QString& copy, ImageType type,
                        int quarterTurns)
{
    QSize expected;
    bool alpha = false;
    if (const std::optional<QImage> image = decodeUpright(original, type)) {
        expected = quarterTurns % 2 ? image->size().transposed() : image->size();
        alpha = image->hasAlphaChannel();
    }
    const std::optional<QImage> after = decodeUpright(copy, type);
    return expected.isValid() && after && after->size() == expected &&
           (!alpha || after->hasAlphaChannel()) && shownOrientation(copy) == 1;
}

} // namespace

std::optional<int> imageCount(const QString& path, ImageType type)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (type == ImageType::Tiff || isRawType(type)) {
        const std::optional<TiffStructure> tiff = TiffStructure::open(file);
        return tiff ? tiff->pageCount() : std::nullopt;
    }
    if (type == ImageType::Png)
        return pngFrameCount(file);
    if (decoderFor(type) != DecoderFamily::Qt || type == ImageType::Jpeg)
        return 1;
    QImageReader reader;
    openWithQt(reader, path, type);
    const int count = reader.imageCount();
    if (count > 0)
        return count;
    return reader.canRead() ? std::optional<int>(1) : std::nullopt;
}

bool rewriteIsSound(const QString& original, const QString& copy, int quarterTurns, bool lossless)
{
    const ImageType type = detectImageType(original);
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (turns == 0 || detectImageType(copy) != type)
        return false;
    const std::optional<int> count = imageCount(original, type);
    if (!count || imageCount(copy, type) != count)
        return false;
    return lossless ? losslessCopyIsSound(original, copy, type, turns)
                    : encodedCopyIsSound(original, copy, type, turns);
}

} // namespace imaging::detail
