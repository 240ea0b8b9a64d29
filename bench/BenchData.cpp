// Natural-looking test pictures: sky, textured hills and sensor grain, so that JPEG data has
// the mix of smooth areas and fine detail a photograph has, and no two photos are alike.
#include "BenchData.h"

#include "CameraRaw.h"
#include "HdrBench.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentMap>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace bench {

namespace {

const char* const kStamp = "pelu-bench data 1";

// Layered value noise: a random lattice, smoothly interpolated.
class Noise {
public:
    Noise(int cell, int width, int height, std::mt19937& random)
        : m_cell(cell), m_columns(width / cell + 2)
    {
        std::uniform_real_distribution<float> unit(-1, 1);
        m_lattice.resize(size_t(m_columns) * size_t(height / cell + 2));
        for (float& v : m_lattice)
            v = unit(random);
    }

    float at(int x, int y) const
    {
        const int cx = x / m_cell, cy = y / m_cell;
        const float fx = smooth(float(x % m_cell) / float(m_cell));
        const float fy = smooth(float(y % m_cell) / float(m_cell));
        const auto v = [this](int i, int j) { return m_lattice[size_t(j) * m_columns + i]; };
        const float top = v(cx, cy) + (v(cx + 1, cy) - v(cx, cy)) * fx;
        const float bottom = v(cx, cy + 1) + (v(cx + 1, cy + 1) - v(cx, cy + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }

    int m_cell;
    int m_columns;
    std::vector<float> m_lattice;
};

class Landscape {
public:
    Landscape(int width, int height, unsigned seed)
        : m_width(width), m_height(height), m_random(seed), m_hills(900, width, 1, m_random),
          m_shapes(160, width, height, m_random), m_texture(24, width, height, m_random),
          m_fine(4, width, height, m_random), m_seed(seed)
    {
    }

    void row(int y, QRgb* line) const
    {
        const float v = float(y) / float(m_height);
        for (int x = 0; x < m_width; ++x) {
            const float horizon = 0.45f + 0.12f * m_hills.at(x, 0) + 0.05f * m_shapes.at(x, y / 8);
            const float shape = m_shapes.at(x, y);
            const float texture = m_texture.at(x, y);
            float r, g, b;
            if (v < horizon) {
                const float cloud = std::max(0.0f, shape + 0.4f * texture);
                r = 90 + 110 * v + 120 * cloud;
                g = 140 + 80 * v + 110 * cloud;
                b = 220 - 30 * v + 30 * cloud;
            } else {
                const float detail = shape + 0.5f * texture + 0.25f * m_fine.at(x, y);
                const float shade = 0.6f + 0.4f * (1 - v);
                r = shade * (70 + 50 * detail + 40 * m_hills.at(x, 0));
                g = shade * (110 + 60 * detail);
                b = shade * (50 + 30 * detail);
            }
            const int n = grain(x, y);
            line[x] = qRgb(std::clamp(int(r) + n, 0, 255), std::clamp(int(g) + n, 0, 255),
                           std::clamp(int(b) + n, 0, 255));
        }
    }

private:
    // Sensor noise of -6 to 6, the same for a pixel however the rows are shared out.
    int grain(int x, int y) const
    {
        quint32 h = quint32(x) * 0x9E3779B1u ^ quint32(y) * 0x85EBCA77u ^ m_seed * 0xC2B2AE3Du;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        return int(h % 13) - 6;
    }

    int m_width;
    int m_height;
    std::mt19937 m_random;
    Noise m_hills, m_shapes, m_texture, m_fine;
    unsigned m_seed;
};

using RowMaker = std::function<void(int y, QRgb* line)>;

// Encodes row by row, the rows made in bands on all cores: a 260 MP picture never has to
// fit in memory.
bool writeJpeg(const QString& path, int width, int height, int quality, const RowMaker& rowAt)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    constexpr int kBand = 64;
    std::vector<QRgb> band(size_t(width) * kBand);
    std::vector<int> rows(kBand);
    for (int top = 0; top < height; top += kBand) {
        const int count = std::min(kBand, height - top);
        rows.resize(size_t(count));
        std::iota(rows.begin(), rows.end(), 0);
        QtConcurrent::blockingMap(rows, [&](int i) { rowAt(top + i, &band[size_t(i) * width]); });
        for (int i = 0; i < count; ++i) {
            JSAMPROW line = reinterpret_cast<JSAMPROW>(&band[size_t(i) * width]);
            jpeg_write_scanlines(&cinfo, &line, 1);
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

bool writeLandscape(const QString& path, QSize size, unsigned seed)
{
    const Landscape landscape(size.width(), size.height(), seed);
    return writeJpeg(path, size.width(), size.height(), 90,
                     [&landscape](int y, QRgb* line) { landscape.row(y, line); });
}

// What a camera writes: make, model, exposure, lens, position and a long maker note.
void addCameraExif(const QString& path)
{
    auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Pelu Optics";
    exif["Exif.Image.Model"] = "PX-24 Mark II";
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Image.Software"] = "Firmware 1.2.0";
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:18 17:42:09";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
    exif["Exif.Photo.FocalLength"] = Exiv2::URational(350, 10);
    exif["Exif.Photo.LensModel"] = "35mm F1.8";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2430/100";
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"] = "2/1 21/1 780/100";
    Exiv2::DataValue note(Exiv2::undefined);
    std::vector<Exiv2::byte> bytes(32 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = Exiv2::byte(i * 31 + 7);
    note.read(bytes.data(), long(bytes.size()));
    exif.add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &note);
    image->writeMetadata();
}

// A small real JPEG whose frame header claims another size: refused from the header alone.
bool writeLyingJpeg(const QString& path, QSize claimed)
{
    const QString small = path + QStringLiteral(".small");
    if (!writeLandscape(small, QSize(16, 16), 3))
        return false;
    QFile in(small);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = in.readAll();
    in.remove();
    const qsizetype sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return false;
    bytes[sof + 5] = char(claimed.height() >> 8);
    bytes[sof + 6] = char(claimed.height() & 255);
    bytes[sof + 7] = char(claimed.width() >> 8);
    bytes[sof + 8] = char(claimed.width() & 255);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

void writePngs(const QStringList& paths)
{
    constexpr int kSide = 64;
    const Landscape landscape(1600, 1600, 99);
    QImage source(1600, 1600, QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        landscape.row(y, reinterpret_cast<QRgb*>(source.scanLine(y)));
    const int tiles = (source.width() - kSide) * (source.height() - kSide);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const int at = int((i * 7919) % tiles);
        QImage tile =
            source.copy(at % (source.width() - kSide), at / (source.width() - kSide), kSide, kSide);
        tile.save(paths[i], "PNG");
    }
}

// libheif's own encoder, with the thumbnail phones put in their files. A 24 MP photo takes it
// about 20 s, once.
bool writeHeic(const QString& from, const QString& to)
{
    const QString encoder = QStandardPaths::findExecutable(QStringLiteral("heif-enc"));
    if (encoder.isEmpty())
        return false;
    QProcess process;
    process.start(encoder, {QStringLiteral("-q"), QStringLiteral("60"), QStringLiteral("-t"),
                            QStringLiteral("320"), from, QStringLiteral("-o"), to});
    return process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0 && QFile::exists(to);
}

// cjxl with its defaults, from the JPEG's pixels rather than recompressing the JPEG itself: what
// a photo exported as JPEG XL is. A 24 MP photo takes it about a minute, once.
bool writeJxl(const QString& from, const QString& to)
{
    const QString encoder = QStandardPaths::findExecutable(QStringLiteral("cjxl"));
    if (encoder.isEmpty())
        return false;
    QProcess process;
    process.start(encoder, {from, to, QStringLiteral("--lossless_jpeg=0"), QStringLiteral("--quiet")});
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0 && QFile::exists(to);
}

} // namespace

DataSet prepareData(const Settings& settings)
{
    const bool quick = settings.quick;
    const QDir root(settings.dataDir);
    DataSet data;
    data.photoSize = quick ? QSize(640, 427) : QSize(6000, 4000);
    const int photoCount = quick ? 5 : 40;
    const int pngCount = quick ? 200 : 10000;
    const QSize huge = quick ? QSize(1600, 1200) : QSize(16000, 12500);
    const QSize refused(20000, 13000);

    for (const char* folder :
         {"photos", "pngs", "camera", "huge", "refused", "heic", "raw", "jxl", "hdr", "sdr"})
        root.mkpath(QString::fromLatin1(folder));
    for (int i = 1; i <= photoCount; ++i)
        data.photos.append(
            root.filePath(QStringLiteral("photos/photo%1.jpg").arg(i, 2, 10, QChar('0'))));
    for (int i = 1; i <= pngCount; ++i)
        data.pngs.append(root.filePath(QStringLiteral("pngs/tile%1.png").arg(i)));
    data.cameraJpeg = root.filePath(QStringLiteral("camera/camera.jpg"));
    data.hugeJpeg = root.filePath(QStringLiteral("huge/huge.jpg"));
    data.refusedJpeg = root.filePath(QStringLiteral("refused/refused.jpg"));

    data.heic = root.filePath(QStringLiteral("heic/photo.heic"));
    data.cameraDng = root.filePath(QStringLiteral("raw/photo.dng"));
    data.jxl = root.filePath(QStringLiteral("jxl/photo.jxl"));
    data.hdrHeic = root.filePath(QStringLiteral("hdr/hdr.heic"));
    data.sdrHeic = root.filePath(QStringLiteral("sdr/sdr.heic"));

    QFile stamp(root.filePath(QStringLiteral("stamp")));
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll() == kStamp) {
        stamp.close();
        if (!QFile::exists(data.heic) && !writeHeic(data.photos.first(), data.heic))
            data.heic.clear();
        if (!QFile::exists(data.cameraDng) &&
            !writeCameraDng(data.cameraDng, QImage(data.photos.first())))
            data.cameraDng.clear();
        if (!QFile::exists(data.jxl) && !writeJxl(data.photos.first(), data.jxl))
            data.jxl.clear();
        if ((!QFile::exists(data.hdrHeic) || !QFile::exists(data.sdrHeic)) &&
            !writeHdrPair(data.photos.first(), data.hdrHeic, data.sdrHeic))
            data.hdrHeic.clear(), data.sdrHeic.clear();
        return data;
    }
    stamp.close();

    std::printf("Making the benchmark's pictures in %s (once)...\n", qPrintable(root.path()));
    std::fflush(stdout);
    for (int i = 0; i < photoCount; ++i)
        writeLandscape(data.photos[i], data.photoSize, unsigned(i + 1));
    QFile::remove(data.cameraJpeg);
    QFile::copy(data.photos.first(), data.cameraJpeg);
    addCameraExif(data.cameraJpeg);
    writePngs(data.pngs);
    writeLandscape(data.hugeJpeg, huge, 200);
    if (quick) {
        writeLyingJpeg(data.refusedJpeg, refused);
    } else {
        // Never decoded: a plain gradient keeps it quick to make.
        writeJpeg(data.refusedJpeg, refused.width(), refused.height(), 90,
                  [&refused](int y, QRgb* line) {
                      for (int x = 0; x < refused.width(); ++x)
                          line[x] = qRgb(x * 255 / refused.width(), y * 255 / refused.height(), 90);
                  });
    }
    if (stamp.open(QIODevice::WriteOnly | QIODevice::Truncate))
        stamp.write(kStamp);
    if (!writeHeic(data.photos.first(), data.heic))
        data.heic.clear();
    if (!writeCameraDng(data.cameraDng, QImage(data.photos.first())))
        data.cameraDng.clear();
    if (!writeJxl(data.photos.first(), data.jxl))
        data.jxl.clear();
    if (!writeHdrPair(data.photos.first(), data.hdrHeic, data.sdrHeic))
        data.hdrHeic.clear(), data.sdrHeic.clear();
    return data;
}

} // namespace bench
