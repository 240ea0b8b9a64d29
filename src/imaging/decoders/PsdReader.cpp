#include "imaging/decoders/PsdReader.h"

#include "imaging/metadata/ExifOrientation.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/support/ByteReading.h"

#include <QColorSpace>
#include <QFile>

#include <climits>
#include <cstring>
#include <vector>

namespace imaging::detail {

namespace {

enum ColorMode { Grayscale = 1, Indexed = 2, Rgb = 3, Cmyk = 4, Duotone = 8, Lab = 9 };
constexpr quint16 kIccProfileResource = 1039;
constexpr qint64 kMaxIccBytes = 16 * 1024 * 1024;
constexpr int kPaletteBytes = 768;

std::optional<PsdHeader> parseHeader(QFile& file)
{
    const QByteArray bytes = readExactly(file, 26);
    if (bytes.size() != 26 || !bytes.startsWith("8BPS"))
        return std::nullopt;
    PsdHeader header;
    header.version = readBigEndian16(bytes, 4);
    header.channels = readBigEndian16(bytes, 12);
    header.height = int(std::min<quint32>(readBigEndian32(bytes, 14), INT_MAX));
    header.width = int(std::min<quint32>(readBigEndian32(bytes, 18), INT_MAX));
    header.depth = readBigEndian16(bytes, 22);
    header.colorMode = readBigEndian16(bytes, 24);
    const int maxSide = header.version == 2 ? 300000 : 30000;
    if ((header.version != 1 && header.version != 2) || header.channels < 1 ||
        header.channels > 56 || header.width < 1 || header.height < 1 || header.width > maxSide ||
        header.height > maxSide)
        return std::nullopt;
    return header;
}

// Walks the image resources for the ICC profile; the file ends up after the section.
bool readResources(QFile& file, QByteArray& icc)
{
    const quint32 length = readBigEndian32(readExactly(file, 4), 0);
    const qint64 end = file.pos() + length;
    if (end > file.size())
        return false;
    while (file.pos() + 12 <= end) {
        const QByteArray head = readExactly(file, 7);
        if (!head.startsWith("8BIM") && !head.startsWith("MeSa"))
            break;
        const quint16 id = readBigEndian16(head, 4);
        const int nameLength = int(readByte(head, 6));
        // The name and its length byte are padded to an even size, and so is the data.
        if (!skipBytes(file, nameLength + ((nameLength + 1) % 2)))
            return false;
        const qint64 size = readBigEndian32(readExactly(file, 4), 0);
        if (file.pos() + size > end)
            return false;
        if (id == kIccProfileResource && size <= kMaxIccBytes)
            icc = readExactly(file, size);
        else
            skipBytes(file, size);
        skipBytes(file, size % 2);
    }
    return file.seek(end);
}

// A negative layer count means the first extra channel holds the composite's transparency.
bool readLayerSection(QFile& file, int version, bool& transparency)
{
    const int lengthBytes = version == 2 ? 8 : 4;
    const QByteArray lengthField = readExactly(file, lengthBytes);
    const qint64 length =
        qint64(version == 2 ? readBigEndian64(lengthField, 0) : readBigEndian32(lengthField, 0));
    if (length < 0 || length > file.size() - file.pos())
        return false;
    const qint64 end = file.pos() + length;
    if (length >= lengthBytes + 2) {
        const QByteArray layerInfo = readExactly(file, lengthBytes + 2);
        const quint64 infoLength =
            version == 2 ? readBigEndian64(layerInfo, 0) : readBigEndian32(layerInfo, 0);
        transparency = infoLength >= 2 && qint16(readBigEndian16(layerInfo, lengthBytes)) < 0;
    }
    return file.seek(end);
}

bool unpackBits(const QByteArray& packed, uchar* out, qsizetype outSize)
{
    qsizetype in = 0, done = 0;
    while (done < outSize) {
        if (in >= packed.size())
            return false;
        const int n = qint8(packed[in++]);
        if (n >= 0) {
            const qsizetype run = std::min<qsizetype>(n + 1, outSize - done);
            if (in + run > packed.size())
                return false;
            std::memcpy(out + done, packed.constData() + in, run);
            in += n + 1;
            done += run;
        } else if (n != -128) {
            if (in >= packed.size())
                return false;
            const qsizetype run = std::min<qsizetype>(1 - n, outSize - done);
            std::memset(out + done, quint8(packed[in++]), run);
            done += run;
        }
    }
    return true;
}

// Reads the planar channel rows one at a time into an RGBA buffer.
class Composite {
public:
    Composite(const PsdHeader& header, int channels, QFile& file)
        : m_header(header), m_channels(channels), m_file(file),
          m_rowBytes(qsizetype(header.width) * (header.depth / 8)),
          m_row(m_rowBytes, Qt::Uninitialized)
    {
    }

    // Checks that the file can hold the data before anything large is allocated.
    bool prepare()
    {
        const QByteArray compression = readExactly(m_file, 2);
        m_rle = readBigEndian16(compression, 0) == 1;
        if (compression.size() != 2 || readBigEndian16(compression, 0) > 1)
            return false;
        const qint64 rows = qint64(m_channels) * m_header.height;
        if (!m_rle)
            return rows * m_rowBytes <= m_file.size() - m_file.pos();
        const int countBytes = m_header.version == 2 ? 4 : 2;
        const QByteArray table = readExactly(m_file, rows * countBytes);
        // The table lists every channel; skip the entries of those we do not read.
        if (table.isEmpty() || !skipBytes(m_file, qint64(m_header.channels - m_channels) *
                                                      m_header.height * countBytes))
            return false;
        const qint64 minimumRow = 2 * ((m_rowBytes + 127) / 128);
        qint64 total = 0;
        m_counts.reserve(rows);
        for (qint64 i = 0; i < rows; ++i) {
            const qint64 count =
                countBytes == 4 ? readBigEndian32(table, i * 4) : readBigEndian16(table, i * 2);
            if (count < minimumRow)
                return false;
            m_counts.push_back(count);
            total += count;
        }
        return total <= m_file.size() - m_file.pos();
    }

    // The next row of the current channel, scaled to 8 bits in m_row's first width bytes.
    const uchar* nextRow()
    {
        QByteArray bytes = readExactly(m_file, m_rle ? m_counts[m_nextRow] : m_rowBytes);
        ++m_nextRow;
        auto* row = reinterpret_cast<uchar*>(m_row.data());
        if (m_rle ? !unpackBits(bytes, row, m_rowBytes) : bytes.size() != m_rowBytes)
            return nullptr;
        if (!m_rle)
            std::memcpy(row, bytes.constData(), m_rowBytes);
        if (m_header.depth == 16) {
            for (int x = 0; x < m_header.width; ++x)
                row[x] = uchar(((row[2 * x] << 8 | row[2 * x + 1]) + 128) / 257);
        }
        return row;
    }

private:
    const PsdHeader& m_header;
    const int m_channels;
    QFile& m_file;
    const qsizetype m_rowBytes;
    QByteArray m_row;
    bool m_rle = false;
    std::vector<qint64> m_counts;
    qsizetype m_nextRow = 0;
};

int colorChannels(int mode)
{
    switch (mode) {
    case Grayscale:
    case Indexed:
    case Duotone:
        return 1;
    case Rgb:
        return 3;
    case Cmyk:
        return 4;
    default:
        return 0;
    }
}

// PSD stores CMYK inverted (255 is no ink); a plain conversion without a profile.
void cmykToRgb(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            const int k = p[3];
            p[0] = uchar(p[0] * k / 255);
            p[1] = uchar(p[1] * k / 255);
            p[2] = uchar(p[2] * k / 255);
            p[3] = 255;
        }
    }
}

} // namespace

std::optional<PsdHeader> readPsdHeader(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? parseHeader(file) : std::nullopt;
}

QString psdColorModel(int colorMode)
{
    switch (colorMode) {
    case Grayscale:
    case Duotone:
        return QStringLiteral("Gray");
    case Indexed:
    case Rgb:
        return QStringLiteral("RGB");
    case Cmyk:
        return QStringLiteral("CMYK");
    case Lab:
        return QStringLiteral("Lab");
    default:
        return {};
    }
}

std::optional<QImage> decodePsd(const QString& path, const DecodeOptions& options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<PsdHeader> header = parseHeader(file);
    if (!header || (header->depth != 8 && header->depth != 16) ||
        (header->colorMode == Indexed && header->depth != 8) ||
        !withinPixelBudget(header->width, header->height))
        return std::nullopt;
    const int base = colorChannels(header->colorMode);
    if (base == 0 || header->channels < base)
        return std::nullopt;

    const qint64 modeDataLength = readBigEndian32(readExactly(file, 4), 0);
    QByteArray palette;
    if (header->colorMode == Indexed) {
        palette = readExactly(file, kPaletteBytes);
        if (palette.size() != kPaletteBytes || !skipBytes(file, modeDataLength - kPaletteBytes))
            return std::nullopt;
    } else if (!skipBytes(file, modeDataLength)) {
        return std::nullopt;
    }
    QByteArray icc;
    bool transparency = false;
    if (!readResources(file, icc) || !readLayerSection(file, header->version, transparency))
        return std::nullopt;
    const bool alpha = transparency && header->channels > base;
    const int channels = base + (alpha ? 1 : 0);

    Composite composite(*header, channels, file);
    if (!composite.prepare())
        return std::nullopt;
    QImage image(header->width, header->height,
                 alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
    if (image.isNull())
        return std::nullopt;
    image.fill(0xFFFFFFFFu);
    for (int channel = 0; channel < channels; ++channel) {
        for (int y = 0; y < header->height; ++y) {
            const uchar* row = composite.nextRow();
            if (!row)
                return std::nullopt;
            uchar* out = image.scanLine(y);
            for (int x = 0; x < header->width; ++x, out += 4) {
                const uchar v = row[x];
                if (channel == base) {
                    out[3] = v;
                } else if (base == 1) {
                    const bool indexed = header->colorMode == Indexed;
                    out[0] = indexed ? uchar(palette[v]) : v;
                    out[1] = indexed ? uchar(palette[256 + v]) : v;
                    out[2] = indexed ? uchar(palette[512 + v]) : v;
                } else {
                    out[channel] = v;
                }
            }
        }
        if (header->colorMode == Cmyk && channel == 3)
            cmykToRgb(image);
    }
    if (header->colorMode == Rgb && !icc.isEmpty())
        image.setColorSpace(QColorSpace::fromIccProfile(icc));
    convertForScreen(image, options);
    return image;
}

std::optional<QImage> decodePsdFile(const QString& path, ImageType type,
                                    const DecodeOptions& options)
{
    std::optional<QImage> image = decodePsd(path, options);
    if (image && options.upright)
        *image = orientedImage(*image, storedOrientation(path, type).shown());
    return image;
}

} // namespace imaging::detail
