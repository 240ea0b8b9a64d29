#pragma once

#include "../support/TestSupport.h"
#include "Encoders.h"
#include "imaging/pixels/Orientation.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

// Test images made on the spot: every format from one four-colour picture.
namespace fixtures {

using ExifEdit = std::function<void(Exiv2::ExifData&)>;

inline const QList<QRgb> kPalette{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                  qRgb(255, 255, 255)};

inline void appendBigEndian(QByteArray& out, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char(value >> (8 * i)));
}

// Runs as repeat packets, every other byte as a one-byte literal.
inline QByteArray packBits(const QByteArray& row)
{
    QByteArray out;
    for (qsizetype i = 0, run = 1; i < row.size(); i += run, run = 1) {
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        out.append(char(1 - run)).append(row[i]);
    }
    return out;
}

// Red top-left, green top-right, blue bottom-left, white bottom-right.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, kPalette[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)]);
    return image;
}

// The colours at the quadrant centres as letters R, G, B, W (K black, ? anything else):
// "RGBW" for an upright quadrants().
inline QString quadrantColours(const QImage& image)
{
    const int w = image.width(), h = image.height();
    QString letters;
    for (const QPoint p : {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                           QPoint(3 * w / 4, 3 * h / 4)}) {
        const QRgb c = image.pixel(p);
        const auto level = [](int v) { return v > 160 ? 1 : v < 100 ? 0 : -1; };
        const int r = level(qRed(c)), g = level(qGreen(c)), b = level(qBlue(c));
        letters += r < 0 || g < 0 || b < 0 ? '?' : "KBG?R??W"[r * 4 + g * 2 + b];
    }
    return letters;
}

// The stored picture that a file with this orientation shows as `upright`.
inline QImage storedFor(const QImage& upright, int orientation)
{
    return imaging::orientedImage(upright, orientation == 6   ? 8
                                           : orientation == 8 ? 6
                                                              : orientation);
}

// Bytes that look like nothing in particular.
inline QByteArray noise(QRandomGenerator& random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// A file checked in beside the tests.
inline QString dataFile(const QString& name)
{
    return QStringLiteral(PELU_SOURCE_DIR "/tests/imaging/data/") + name;
}

// What BT.2390's tone map with 203-nit white at SDR white makes of the HDR fixtures' patches
// (white, BT.709 red and BT.2020 green at 203 nits) on an sRGB screen.
inline const QRgb kToneMappedWhite = qRgb(229, 229, 229);
inline const QRgb kToneMappedRed = qRgb(249, 13, 1);
inline const QRgb kToneMappedGreen = qRgb(0, 242, 0);

// How far apart two colours are: the largest difference of a channel.
inline int colourDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

inline QString rgbText(QRgb c)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

using testsupport::readFile;
using testsupport::writeFile;

// Applies the edit to the file's Exif data and writes it back with exiv2.
inline bool editExif(const QString& path, const ExifEdit& edit)
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

// A TIFF-structured Exif block holding what the edit sets.
inline QByteArray exifBlock(const ExifEdit& edit)
{
    Exiv2::ExifData exif;
    edit(exif);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

// A PNG chunk: length, type, data and CRC-32.
inline QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray out;
    appendBigEndian(out, quint64(data.size()), 4);
    out.append(type).append(data);
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : out.mid(4)) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    appendBigEndian(out, ~crc, 4);
    return out;
}

struct HeifParams {
    bool avif = false;
    int orientation = 1; // written as the container's own rotate/mirror boxes
    QByteArray exif{}, icc{};
    int nclxPrimaries = 0; // when non-zero, an nclx colour box with these primaries
    int nclxTransfer = 13; // and this transfer (13 sRGB, 16 PQ, 18 HLG)
    int nclxMatrix = 6;    // and these YCbCr coefficients (6 BT.601, 9 BT.2020), full range
    int maxContentLight = 0; // when non-zero, a clli box with this peak in nits
    bool lossless = false;   // lossless, 4:4:4: with matrix 0 the samples come back as written
    int bitDepth = 8;
    int thumbnailSide = 0; // when non-zero, a thumbnail of the picture this large, as encoders make
};

// The picture as libheif's input, at this many bits per sample.
inline heif_image* makeHeifImage(const QImage& source, int bitDepth)
{
    const bool deep = bitDepth > 8;
    const QImage rgb = source.convertToFormat(QImage::Format_RGBX64);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                      deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB,
                      &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), bitDepth);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* in = reinterpret_cast<const quint16*>(rgb.constScanLine(y));
        for (int x = 0, at = y * stride; x < rgb.width() * 3; ++x, at += deep ? 2 : 1) {
            // Little-endian: an 8-bit sample is the low byte.
            const quint16 sample =
                qToLittleEndian(quint16(in[x / 3 * 4 + x % 3] >> (16 - bitDepth)));
            std::memcpy(plane + at, &sample, deep ? 2 : 1);
        }
    }
    return image;
}

inline bool writeHeif(const QString& path, const QImage& source, const HeifParams& params)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                        heif_context_free);
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(
            context.get(), params.avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder)
            .code)
        return false;
    if (params.lossless) {
        heif_encoder_set_lossless(encoder, 1);
        heif_encoder_set_parameter_string(encoder, "chroma", "444");
    } else {
        heif_encoder_set_lossy_quality(encoder, 95);
    }
    heif_image* image = makeHeifImage(source, params.bitDepth);
    if (!params.icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", params.icc.constData(),
                                         size_t(params.icc.size()));
    if (params.maxContentLight > 0) {
        const heif_content_light_level level{uint16_t(params.maxContentLight), 0};
        heif_image_set_content_light_level(image, &level);
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(params.orientation);
    heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
    if (params.nclxPrimaries) {
        nclx->color_primaries = heif_color_primaries(params.nclxPrimaries);
        nclx->transfer_characteristics = heif_transfer_characteristics(params.nclxTransfer);
        nclx->matrix_coefficients = heif_matrix_coefficients(params.nclxMatrix);
        nclx->full_range_flag = 1;
        heif_image_set_nclx_color_profile(image, nclx);
        options->output_nclx_profile = nclx;
        options->macOS_compatibility_workaround_no_nclx_profile = 0;
    }
    heif_image_handle* handle = nullptr;
    const bool encoded =
        !heif_context_encode_image(context.get(), image, encoder, options, &handle).code;
    if (encoded && params.thumbnailSide > 0) {
        heif_image_handle* thumbnail = nullptr;
        heif_context_encode_thumbnail(context.get(), image, handle, encoder, options,
                                      params.thumbnailSide, &thumbnail);
        heif_image_handle_release(thumbnail);
    }
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

// A TIFF with these tags (and what `more` sets), each row as `row` gives it.
inline bool writeTiff(const QString& path, std::initializer_list<std::pair<ttag_t, int>> tags,
                      int rows, const std::function<QByteArray(int)>& row,
                      const std::function<void(TIFF*)>& more = {})
{
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    for (const auto& [tag, value] : tags)
        TIFFSetField(tif, tag, value);
    if (more)
        more(tif);
    bool ok = true;
    for (int y = 0; y < rows && ok; ++y) {
        QByteArray bytes = row(y);
        ok = TIFFWriteScanline(tif, bytes.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

// A minimal uncompressed DNG whose RGGB mosaic samples `stored`. A larger claimedSize
// declares that size while holding only the stored rows' data.
inline bool writeDng(const QString& path, const QImage& stored, int orientation = 1,
                     QSize claimedSize = {})
{
    const QSize size = claimedSize.isValid() ? claimedSize : stored.size();
    const auto row = [&](int y) {
        QByteArray bytes(size.width() * 2, '\0');
        for (int x = 0; x < stored.width(); ++x) {
            const QRgb c = stored.pixel(x, y);
            const int site = (y % 2) * 2 + (x % 2);
            const int value = site == 0 ? qRed(c) : site == 3 ? qBlue(c) : qGreen(c);
            qToUnaligned(uint16_t(value * 4095 / 255), bytes.data() + 2 * x);
        }
        return bytes;
    };
    const auto dngTags = [](TIFF* tif) {
        const uint16_t patternDim[2] = {2, 2};
        const uint8_t pattern[4] = {0, 1, 1, 2}, version[4] = {1, 4, 0, 0};
        // Camera space is linear sRGB, so the developed colours are the ones stored.
        const float xyzToCamera[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                      0.0415f, 0.0557f,  -0.2040f, 1.0570f};
        const float neutral[3] = {1, 1, 1};
        const uint32_t white = 4095;
        TIFFSetField(tif, TIFFTAG_MAKE, "Pelu");
        TIFFSetField(tif, TIFFTAG_MODEL, "Test Camera");
        TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Pelu Test Camera");
        TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, patternDim);
        TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, pattern);
        TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
        TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, xyzToCamera);
        TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
        TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    };
    return writeTiff(path,
                     {{TIFFTAG_SUBFILETYPE, 0},
                      {TIFFTAG_IMAGEWIDTH, size.width()},
                      {TIFFTAG_IMAGELENGTH, size.height()},
                      {TIFFTAG_BITSPERSAMPLE, 16},
                      {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
                      {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA},
                      {TIFFTAG_SAMPLESPERPIXEL, 1},
                      {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                      {TIFFTAG_ROWSPERSTRIP, 8},
                      {TIFFTAG_ORIENTATION, orientation},
                      {TIFFTAG_CALIBRATIONILLUMINANT1, 21}},
                     stored.height(), row, dngTags);
}

// Adds to a DNG the reduced copy cameras store beside the sensor's data: plain RGB, or JPEG.
inline bool appendDngPreview(const QString& path, const QImage& preview, bool jpeg)
{
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "a");
    if (!tif)
        return false;
    const QImage rgb = preview.convertToFormat(QImage::Format_RGB888);
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, rgb.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rgb.height());
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rgb.height());
    TIFFSetField(tif, TIFFTAG_COMPRESSION, jpeg ? COMPRESSION_JPEG : COMPRESSION_NONE);
    if (jpeg) {
        // A whole JPEG stream in the strip, tables included, as cameras write it.
        TIFFSetField(tif, TIFFTAG_JPEGTABLESMODE, 0);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    }
    bool ok = true;
    for (int y = 0; y < rgb.height() && ok; ++y)
        ok = TIFFWriteScanline(tif, const_cast<uchar*>(rgb.constScanLine(y)), uint32_t(y), 0) == 1;
    TIFFClose(tif);
    return ok;
}

struct PsdParams {
    int depth = 8;
    int colorMode = 3; // 1 grey, 2 indexed (red, green, blue, white), 3 RGB, 4 CMYK
    bool rle = false;
    bool alpha = false; // an alpha channel and a negative layer count
    int version = 1;    // 2 for a large-document (PSB) file
    QByteArray icc{};
};

inline QByteArray psdBytes(const QImage& source, const PsdParams& params = {})
{
    const int base = params.colorMode <= 2 ? 1 : params.colorMode == 4 ? 4 : 3;
    const int channels = base + (params.alpha ? 1 : 0), lengthBytes = params.version == 2 ? 8 : 4;
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QByteArray out("8BPS"), resources, counts, data;
    const auto put = [&out](quint64 value, int bytes) { appendBigEndian(out, value, bytes); };
    put(quint64(params.version) << 48, 8); // and six reserved bytes
    put(quint64(channels), 2);
    put(quint64(image.height()), 4);
    put(quint64(image.width()), 4);
    put(quint64(params.depth), 2);
    put(quint64(params.colorMode), 2);
    put(params.colorMode == 2 ? 768 : 0, 4); // the palette: all reds, then greens, then blues
    for (int i = 0; params.colorMode == 2 && i < 768; ++i)
        out.append(char(kPalette.value(i % 256) >> (16 - 8 * (i / 256))));
    if (!params.icc.isEmpty()) {
        resources.append("8BIM\x04\x0F\0\0", 8); // resource 1039 with an empty, padded name
        appendBigEndian(resources, quint64(params.icc.size()), 4);
        resources.append(params.icc).append(params.icc.size() % 2, '\0');
    }
    put(quint64(resources.size()), 4);
    out.append(resources);
    put(params.alpha ? quint64(lengthBytes + 2) : 0, lengthBytes); // layer section lengths
    if (params.alpha) {
        put(2, lengthBytes);
        put(0xFFFF, 2); // a negative layer count: the first alpha channel is transparency
    }
    put(params.rle ? 1 : 0, 2);
    for (int c = 0; c < channels; ++c) {
        for (int y = 0; y < image.height(); ++y) {
            QByteArray row;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                // CMYK is stored inverted, 255 being no ink; this picture needs no black.
                const int first = params.colorMode == 2 ? int(kPalette.indexOf(p | 0xFF000000))
                                  : base == 1           ? qGray(p)
                                                        : qRed(p);
                const int values[] = {first, qGreen(p), qBlue(p), 255};
                const int value = c == base ? qAlpha(p) : values[c];
                appendBigEndian(row, quint64(params.depth == 16 ? value * 257 : value),
                                params.depth / 8);
            }
            const QByteArray packed = params.rle ? packBits(row) : row;
            appendBigEndian(counts, quint64(packed.size()), lengthBytes / 2);
            data.append(packed);
        }
    }
    return out + (params.rle ? counts : QByteArray()) + data;
}

// A GIF with these frames, each shown for delayMs; pixels must be red, green, blue or white.
inline QByteArray gif(const QList<QImage>& frames, int delayMs = 100)
{
    const int width = frames.value(0).width(), height = frames.value(0).height();
    QByteArray out("GIF89a");
    const auto le16 = [&out](int v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
    le16(width);
    le16(height);
    out.append("\x91\0\0", 3); // a global table of 4 entries
    for (const QRgb c : kPalette)
        out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage& frame : frames) {
        out.append("\x21\xF9\x04\x04", 4);
        le16(delayMs / 10);
        out.append("\0\0\x2C", 3);
        for (const int v : {0, 0, width, height})
            le16(v);
        out.append("\0\x02", 2); // no local table; LZW minimum code size 2
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
                int(std::max<qsizetype>(kPalette.indexOf(frame.pixel(i % width, i / width)), 0)));
        }
        putCode(5);
        if (count > 0)
            data.append(char(bits & 0xFF));
        for (qsizetype at = 0; at < data.size(); at += 255)
            out.append(char(data.mid(at, 255).size())).append(data.mid(at, 255));
        out.append('\0');
    }
    return out.append(';');
}

// Writes the image in the family its extension names. An orientation >= 0 is stored as Exif
// orientation, and for HEIF, DNG and JPEG XL also as the container's or codestream's own.
inline bool writePicture(const QString& path, const QImage& image, int orientation = -1)
{
    const QString ext = QFileInfo(path).suffix();
    const ExifEdit edit = [orientation](Exiv2::ExifData& exif) {
        exif["Exif.Image.Orientation"] = uint16_t(orientation);
    };
    const QByteArray exif = orientation >= 0 ? exifBlock(edit) : "";
    if (ext == "heic" || ext == "avif")
        return writeHeif(
            path, image,
            {.avif = ext == "avif", .orientation = std::max(orientation, 1), .exif = exif});
    if (ext == "dng")
        return writeDng(path, image, std::max(orientation, 1));
    if (ext == "jxl") { // as cjxl keeps a JPEG's Exif: in a box, after an offset word
        JxlRecipe recipe{.orientation = std::max(orientation, 1)};
        if (orientation >= 0)
            recipe.boxes = {{"Exif", QByteArray(4, '\0') + exif}};
        return writeFile(path, encodeJxl({{image, 0}}, recipe));
    }
    QImageWriter writer(path, ext.toLatin1());
    writer.setQuality(ext == "jpg" ? 95 : ext == "webp" ? 100 : -1); // lossless WebP
    const bool written = ext == "gif"   ? writeFile(path, gif({image}))
                         : ext == "psd" ? writeFile(path, psdBytes(image))
                                        : writer.write(image);
    if (!written || orientation < 0)
        return written;
    if (ext == "png") // an eXIf chunk after the header, as phones and browsers write it
        return writeFile(path, readFile(path).insert(8 + 25, pngChunk("eXIf", exif)));
    return editExif(path, edit);
}

inline const QStringList kFamilies{"jpg", "png",  "gif",  "bmp", "tif", "webp",
                                   "ico", "heic", "avif", "psd", "dng", "jxl"};

// A test program's scratch folder, its 240 × 160 picture and that picture in every family.
struct FixtureFolder {
    QTemporaryDir m_dir;
    QImage m_picture = quadrants(240, 160);
    QMap<QString, QString> m_files; // by extension, filled by writeEveryFamily()

    QString path(const QString& name) const { return m_dir.filePath(name); }
    bool writeEveryFamily()
    {
        for (const QString& ext : kFamilies) {
            if (!writePicture(m_files[ext] = path("picture." + ext), m_picture))
                return false;
        }
        return true;
    }
};

} // namespace fixtures
