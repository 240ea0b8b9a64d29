#include "CameraRaw.h"

#include <QFile>
#include <QtEndian>

#include <tiffio.h>

#include <vector>

namespace bench {

namespace {

bool writeMosaic(TIFF* tif, const QImage& photo)
{
    const uint16_t patternDim[2] = {2, 2};
    const uint8_t pattern[4] = {0, 1, 1, 2}, version[4] = {1, 4, 0, 0};
    // Camera space is linear sRGB.
    const float xyzToCamera[9] = {3.2406f, -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                  0.0415f, 0.0557f,  -0.2040f, 1.0570f};
    const float neutral[3] = {1, 1, 1};
    const uint32_t white = 4095;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, photo.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, photo.height());
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    TIFFSetField(tif, TIFFTAG_MAKE, "Pelu");
    TIFFSetField(tif, TIFFTAG_MODEL, "Bench Camera");
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Pelu Bench Camera");
    TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, patternDim);
    TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, pattern);
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, xyzToCamera);
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
    std::vector<uint16_t> row(size_t(photo.width()));
    for (int y = 0; y < photo.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(photo.constScanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int site = (y % 2) * 2 + (x % 2);
            const int value = site == 0   ? qRed(line[x])
                              : site == 3 ? qBlue(line[x])
                                          : qGreen(line[x]);
            row[size_t(x)] = uint16_t(value * 4095 / 255);
        }
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) != 1)
            return false;
    }
    return TIFFWriteDirectory(tif) == 1;
}

bool writePreview(TIFF* tif, const QImage& photo)
{
    const QImage preview = photo.scaled(1620, 1080, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_RGB888);
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, preview.width());
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, preview.height());
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, preview.height());
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    // One whole JPEG stream, tables included, as cameras store it.
    TIFFSetField(tif, TIFFTAG_JPEGTABLESMODE, 0);
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    for (int y = 0; y < preview.height(); ++y) {
        if (TIFFWriteScanline(tif, const_cast<uchar*>(preview.constScanLine(y)), uint32_t(y), 0) !=
            1)
            return false;
    }
    return TIFFWriteDirectory(tif) == 1;
}

} // namespace

bool writeCameraDng(const QString& path, const QImage& photo)
{
    if (photo.isNull())
        return false;
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    const bool written = writeMosaic(tif, rgb) && writePreview(tif, rgb);
    TIFFClose(tif);
    return written;
}

} // namespace bench
