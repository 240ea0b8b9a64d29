#pragma once

#include "Fixtures.h"

#include <cstdio>
#include <jpeglib.h>
#include <tiffio.h>

#include <vector>

// Files whose colour model and depth only their own header tells: Qt's readers announce the
// format they convert to.
namespace fixtures {

// A PNG of the given IHDR colour type and bit depth, every sample 0 (for a palette: red).
inline QByteArray pngWithHeader(int colourType, int bitDepth, int width = 64, int height = 48)
{
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const int rowBytes = (width * channels * bitDepth + 7) / 8;
    QByteArray header;
    appendBigEndian(header, quint64(width), 4);
    appendBigEndian(header, quint64(height), 4);
    header.append(char(bitDepth)).append(char(colourType)).append(3, '\0');
    QByteArray rows;
    for (int y = 0; y < height; ++y)
        rows.append('\0').append(rowBytes, '\0'); // filter type 0, then the samples
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += pngChunk("IHDR", header);
    if (colourType == 3)
        png += pngChunk("PLTE", QByteArray("\xff\x00\x00\xff\xff\xff", 6));
    png += pngChunk("IDAT", qCompress(rows).mid(4)); // qCompress prefixes the length
    return png + pngChunk("IEND", {});
}

// Four inks per pixel, as print workflows write them.
inline bool writeCmykJpeg(const QString& path, int width = 64, int height = 48)
{
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(width) * 4, 0);
    for (size_t i = 0; i < row.size(); i += 4)
        row[i + 1] = row[i + 2] = 255; // magenta and yellow: red
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

inline bool writeCmykTiff(const QString& path, int width = 64, int height = 48)
{
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    std::vector<uint8_t> row(size_t(width) * 4, 0);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y)
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
    TIFFClose(tif);
    return ok;
}

} // namespace fixtures
