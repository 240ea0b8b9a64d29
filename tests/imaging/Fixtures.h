#pragma once

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <functional>

// Test images made on the spot: every format from one four-colour picture.
namespace fixtures {

QImage quadrants(int width, int height);

// A test program's scratch folder and its 64 × 48 picture.
struct FixtureFolder {
    QTemporaryDir m_dir;
    QImage m_picture = quadrants(64, 48);
    // Filled by writeEveryFormat(m_dir.path(), m_picture) where a test needs it.
    QMap<QString, QString> m_files;

    QString path(const QString& name) const { return m_dir.filePath(name); }
};

// quadrants(): red top-left, green top-right, blue bottom-left, white bottom-right.
// The colours at the quadrant centres, top-left, top-right, bottom-left, bottom-right, as
// letters R, G, B, W (K for black, ? for anything else): "RGBW" for an upright quadrants().
QString quadrantColours(const QImage& image);
// The stored picture that a file with this orientation shows as `upright`.
QImage storedFor(const QImage& upright, int orientation);

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);
bool saveWithQt(const QImage& image, const QString& path, const char* format, int quality = -1);

using ExifEdit = std::function<void(Exiv2::ExifData&)>;
// Applies the edit to the file's Exif data and writes it back with exiv2.
bool editExif(const QString& path, const ExifEdit& edit);
// A TIFF-structured Exif block holding what the edit sets.
QByteArray exifBlock(const ExifEdit& edit);
ExifEdit orientationEdit(int orientation);
// Puts an eXIf chunk, as phones and browsers write it, after a PNG's header.
bool addPngExifChunk(const QString& path, const QByteArray& exif);

struct HeifParams {
    bool avif = false;
    int orientation = 1; // written as the container's own rotate/mirror boxes
    QByteArray exif;
    QByteArray icc;
    int nclxPrimaries = 0; // when non-zero, an nclx colour box with these primaries
    int bitDepth = 8;
};
bool writeHeif(const QString& path, const QImage& image, const HeifParams& params);

// A minimal uncompressed DNG whose RGGB mosaic samples `stored`. A larger claimedSize
// declares that size while holding only the stored rows' data.
bool writeDng(const QString& path, const QImage& stored, int orientation = 1,
              QSize claimedSize = {});

struct PsdParams {
    int depth = 8;
    int colorMode = 3; // 1 grey, 2 indexed (red, green, blue, white), 3 RGB, 4 CMYK
    bool rle = false;
    bool transparency = false; // an alpha channel and a negative layer count
    QByteArray icc;
    int version = 1;
};
QByteArray psdBytes(const QImage& image, const PsdParams& params);

// A GIF with these frames, each shown for delayMs; pixels must be red, green, blue or white.
QByteArray gif(const QList<QImage>& frames, int delayMs);

// A PNG whose header claims this size, followed by one row of pixel data.
QByteArray pngClaiming(int width, int height);
// Sets a numeric entry of a little-endian TIFF's first directory in place.
bool patchTiffEntry(QByteArray& tiff, quint16 tag, quint32 value);

// An icon holding the quadrants picture at each of these square sizes, as PNG entries.
QByteArray icon(const QList<int>& sides);

// The picture in every supported family, named by extension: jpg png gif bmp tif webp ico
// heic avif psd dng. Returns the paths by extension.
QMap<QString, QString> writeEveryFormat(const QString& folder, const QImage& picture);

} // namespace fixtures
