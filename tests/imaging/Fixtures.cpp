#include "Fixtures.h"

#include "imaging/Orientation.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QtEndian>

#include <libheif/heif.h>
#include <tiffio.h>

#include <memory>

namespace fixtures {

namespace {

QChar colourLetter(QRgb c)
{
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    const auto high = [](int v) { return v > 160; };
    const auto low = [](int v) { return v < 100; };
    if (high(r) && high(g) && high(b))
        return 'W';
    if (low(r) && low(g) && low(b))
        return 'K';
    if (high(r) && low(g) && low(b))
        return 'R';
    if (low(r) && high(g) && low(b))
        return 'G';
    if (low(r) && low(g) && high(b))
        return 'B';
    return '?';
}

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v >> 8)).append(char(v));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v >> 16));
    put16(out, quint16(v));
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray packBits(const QByteArray& row)
{
    QByteArray out;
    for (qsizetype i = 0; i < row.size();) {
        qsizetype run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out.append(char(1 - run)).append(row[i]);
        } else {
            run = 1;
            while (i + run < row.size() && run < 128 &&
                   (i + run + 1 >= row.size() || row[i + run] != row[i + run + 1]))
                ++run;
            out.append(char(run - 1)).append(row.mid(i, run));
        }
        i += run;
    }
    return out;
}

} // namespace

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image.setPixel(x, y,
                           !bottom ? (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
                                   : (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255)));
        }
    }
    return image;
}

QString quadrantColours(const QImage& image)
{
    const int w = image.width(), h = image.height();
    QString letters;
    for (const QPoint p : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                           QPoint(3 * w / 4, 3 * h / 4)})
        letters += colourLetter(image.pixel(p));
    return letters;
}

QImage storedFor(const QImage& upright, int orientation)
{
    const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
    return imaging::orientedImage(upright, inverse);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool saveWithQt(const QImage& image, const QString& path, const char* format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    return writer.write(image);
}

bool editExif(const QString& path, const ExifEdit& edit)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        edit(image->exifData());
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

QByteArray exifBlock(const ExifEdit& edit)
{
    Exiv2::ExifData exif;
    edit(exif);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

ExifEdit orientationEdit(int orientation)
{
    return [orientation](Exiv2::ExifData& exif) {
        exif["Exif.Image.Orientation"] = uint16_t(orientation);
    };
}

bool addPngExifChunk(const QString& path, const QByteArray& exif)
{
    QByteArray png = readFile(path);
    constexpr qsizetype kAfterHeader = 8 + 12 + 13;
    if (png.size() < kAfterHeader)
        return false;
    QByteArray chunk;
    put32(chunk, quint32(exif.size()));
    const QByteArray typed = "eXIf" + exif;
    chunk.append(typed);
    put32(chunk, crc32(typed));
    return writeFile(path, png.insert(kAfterHeader, chunk));
}

bool writeHeif(const QString& path, const QImage& source, const HeifParams& params)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(
            context.get(), params.avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder)
            .code)
        return false;
    heif_encoder_set_lossy_quality(encoder, 95);
    const bool deep = params.bitDepth > 8;
    const QImage rgb = source.convertToFormat(deep ? QImage::Format_RGBX64 : QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                      deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(),
                         params.bitDepth);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y) {
        if (!deep) {
            std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
            continue;
        }
        const auto* in = reinterpret_cast<const quint16*>(rgb.constScanLine(y));
        auto* out = reinterpret_cast<quint16*>(plane + y * stride);
        for (int x = 0; x < rgb.width() * 3; ++x)
            out[x] = qToLittleEndian(quint16(in[x / 3 * 4 + x % 3] >> (16 - params.bitDepth)));
    }
    if (!params.icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", params.icc.constData(),
                                         size_t(params.icc.size()));
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(params.orientation);
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    if (params.nclxPrimaries) {
        nclx->color_primaries = heif_color_primaries(params.nclxPrimaries);
        nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
        heif_image_set_nclx_color_profile(image, nclx);
        options->output_nclx_profile = nclx;
        options->macOS_compatibility_workaround_no_nclx_profile = 0;
    }
    heif_image_handle* handle = nullptr;
    const bool encoded =
        !heif_context_encode_image(context.get(), image, encoder, options, &handle).code;
    heif_encoding_options_free(options);
    heif_nclx_color_profile_free(nclx);
    heif_encoder_release(encoder);
    heif_image_release(image);
    if (encoded && !params.exif.isEmpty())
        heif_context_add_exif_metadata(context.get(), handle, params.exif.constData(),
                                       int(params.exif.size()));
    heif_image_handle_release(handle);
    return encoded &&
           !heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()).code;
}

bool writeDng(const QString& path, const QImage& stored, int orientation, QSize claimedSize)
{
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    const int w = claimedSize.isValid() ? claimedSize.width() : stored.width();
    const int h = claimedSize.isValid() ? claimedSize.height() : stored.height();
    const uint16_t patternDim[2] = {2, 2};
    const uint8_t pattern[4] = {0, 1, 1, 2};
    const uint8_t version[4] = {1, 4, 0, 0};
    // Camera space is linear sRGB, so the developed colours are the ones we stored.
    const float xyzToCamera[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                  0.0415f, 0.0557f,  -0.2040f, 1.0570f};
    const float neutral[3] = {1, 1, 1};
    const uint32_t white = 4095;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(tif, TIFFTAG_MAKE, "Pelu");
    TIFFSetField(tif, TIFFTAG_MODEL, "Test Camera");
    TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, patternDim);
    TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, pattern);
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Pelu Test Camera");
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, xyzToCamera);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    std::vector<uint16_t> row(static_cast<size_t>(w));
    bool ok = true;
    for (int y = 0; y < stored.height() && ok; ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            const QRgb c = stored.pixel(x, y);
            const int site = (y % 2) * 2 + (x % 2);
            const int value = site == 0 ? qRed(c) : site == 3 ? qBlue(c) : qGreen(c);
            row[size_t(x)] = uint16_t(value * 4095 / 255);
        }
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

QByteArray psdBytes(const QImage& source, const PsdParams& params)
{
    const int base = params.colorMode <= 2 ? 1 : params.colorMode == 4 ? 4 : 3;
    const QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                              qRgb(255, 255, 255)};
    const int channels = base + (params.transparency ? 1 : 0);
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QByteArray out("8BPS");
    put16(out, quint16(params.version));
    out.append(6, '\0');
    put16(out, quint16(channels));
    put32(out, quint32(image.height()));
    put32(out, quint32(image.width()));
    put16(out, quint16(params.depth));
    put16(out, quint16(params.colorMode));
    if (params.colorMode == 2) {
        put32(out, 768);
        for (const int shift : {16, 8, 0}) { // all reds, then greens, then blues
            for (int i = 0; i < 256; ++i)
                out.append(char(palette.value(i) >> shift));
        }
    } else {
        put32(out, 0); // colour mode data
    }
    QByteArray resources;
    if (!params.icc.isEmpty()) {
        resources.append("8BIM");
        put16(resources, 1039);
        put16(resources, 0); // empty name, padded
        put32(resources, quint32(params.icc.size()));
        resources.append(params.icc);
        if (params.icc.size() % 2)
            resources.append('\0');
    }
    put32(out, quint32(resources.size()));
    out.append(resources);
    // Lengths in the layer section are 64-bit in PSB files.
    const auto putLength = [&out, &params](quint32 v) {
        if (params.version == 2)
            put32(out, 0);
        put32(out, v);
    };
    if (params.transparency) {
        putLength(params.version == 2 ? 10 : 6);
        putLength(2);
        put16(out, quint16(-1));
    } else {
        putLength(0);
    }
    put16(out, params.rle ? 1 : 0);
    QList<QByteArray> rows;
    for (int c = 0; c < channels; ++c) {
        for (int y = 0; y < image.height(); ++y) {
            QByteArray row;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                const int grey = qGray(p);
                // CMYK as stored: 255 is no ink; this picture needs no black.
                const int first = params.colorMode == 2 ? int(palette.indexOf(p | 0xFF000000))
                                  : base == 1           ? grey
                                                        : qRed(p);
                const int values[] = {first, qGreen(p), qBlue(p), 255};
                const int v = c == base ? qAlpha(p) : values[c];
                if (params.depth == 16)
                    put16(row, quint16(v * 257));
                else
                    row.append(char(v));
            }
            rows.append(params.rle ? packBits(row) : row);
        }
    }
    if (params.rle) {
        for (const QByteArray& row : rows)
            params.version == 2 ? put32(out, quint32(row.size())) : put16(out, quint16(row.size()));
    }
    for (const QByteArray& row : rows)
        out.append(row);
    return out;
}

QByteArray gif(const QList<QImage>& frames, int delayMs)
{
    const QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                              qRgb(255, 255, 255)};
    const int width = frames.value(0).width(), height = frames.value(0).height();
    QByteArray out("GIF89a");
    const auto le16 = [&out](int v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    le16(width);
    le16(height);
    out.append(char(0x91)).append('\0').append('\0'); // global table of 4 entries
    for (const QRgb c : palette)
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage& frame : frames) {
        out.append("\x21\xF9\x04\x04", 4);
        le16(delayMs / 10);
        out.append('\0').append('\0');
        out.append(char(0x2C));
        le16(0);
        le16(0);
        le16(width);
        le16(height);
        out.append('\0').append(char(2)); // LZW minimum code size
        // Uncompressed LZW: a clear code before every two pixels keeps codes 3 bits wide.
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        const auto putCode = [&](int code) {
            bits |= quint32(code) << count;
            for (count += 3; count >= 8; count -= 8, bits >>= 8)
                data.append(char(bits & 0xFF));
        };
        for (int i = 0; i < width * height; ++i) {
            if (i % 2 == 0)
                putCode(4);
            putCode(
                int(std::max<qsizetype>(palette.indexOf(frame.pixel(i % width, i / width)), 0)));
        }
        putCode(5);
        if (count > 0)
            data.append(char(bits & 0xFF));
        for (qsizetype at = 0; at < data.size(); at += 255) {
            const QByteArray block = data.mid(at, 255);
            out.append(char(block.size())).append(block);
        }
        out.append('\0');
    }
    out.append(';');
    return out;
}

QByteArray icon(const QList<int>& sides)
{
    QList<QByteArray> pngs;
    for (const int side : sides) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        quadrants(side, side).save(&buffer, "png");
        pngs.append(buffer.data());
    }
    QByteArray out("\0\0\1\0", 4);
    out.append(char(sides.size())).append('\0');
    qint64 offset = 6 + 16 * sides.size();
    for (qsizetype i = 0; i < sides.size(); ++i) {
        QByteArray entry(16, '\0');
        entry[0] = entry[1] = char(sides[i] % 256);
        qToLittleEndian<quint16>(1, entry.data() + 4);
        qToLittleEndian<quint16>(32, entry.data() + 6);
        qToLittleEndian<quint32>(quint32(pngs[i].size()), entry.data() + 8);
        qToLittleEndian<quint32>(quint32(offset), entry.data() + 12);
        out.append(entry);
        offset += pngs[i].size();
    }
    for (const QByteArray& png : pngs)
        out.append(png);
    return out;
}

QByteArray pngClaiming(int width, int height)
{
    const auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray out;
        put32(out, quint32(data.size()));
        out.append(type).append(data);
        put32(out, crc32(out.mid(4)));
        return out;
    };
    QByteArray header;
    put32(header, quint32(width));
    put32(header, quint32(height));
    header.append("\x08\x02\x00\x00\x00", 5);
    // qCompress prefixes the zlib stream with its length.
    const QByteArray row = qCompress(QByteArray(1 + 3 * 16, '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", row) +
           chunk("IEND", {});
}

bool patchTiffEntry(QByteArray& tiff, quint16 tag, quint32 value)
{
    const auto at16 = [&tiff](qsizetype at) {
        return qFromLittleEndian<quint16>(tiff.constData() + at);
    };
    const qsizetype ifd = qFromLittleEndian<quint32>(tiff.constData() + 4);
    if (!tiff.startsWith("II") || ifd + 2 > tiff.size())
        return false;
    for (qsizetype entry = ifd + 2; entry + 12 <= tiff.size() && entry < ifd + 2 + 12 * at16(ifd);
         entry += 12) {
        if (at16(entry) != tag)
            continue;
        if (at16(entry + 2) == 3) // SHORT
            qToLittleEndian<quint16>(quint16(value), tiff.data() + entry + 8);
        else
            qToLittleEndian<quint32>(value, tiff.data() + entry + 8);
        return true;
    }
    return false;
}

QMap<QString, QString> writeEveryFormat(const QString& folder, const QImage& picture)
{
    QMap<QString, QString> paths;
    const auto path = [&](const QString& ext) { return paths[ext] = folder + "/picture." + ext; };
    saveWithQt(picture, path("jpg"), "jpeg", 95);
    saveWithQt(picture, path("png"), "png");
    saveWithQt(picture, path("bmp"), "bmp");
    saveWithQt(picture, path("tif"), "tiff");
    saveWithQt(picture, path("webp"), "webp", 100);
    saveWithQt(picture, path("ico"), "ico");
    writeFile(path("gif"), gif({picture}, 100));
    writeHeif(path("heic"), picture, {});
    HeifParams avif;
    avif.avif = true;
    writeHeif(path("avif"), picture, avif);
    writeFile(path("psd"), psdBytes(picture, {}));
    writeDng(path("dng"), picture);
    return paths;
}

} // namespace fixtures
