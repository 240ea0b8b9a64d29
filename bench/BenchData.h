#pragma once

#include "BenchSupport.h"

#include <QSize>
#include <QStringList>

namespace bench {

// The files the benchmark runs on, made once and kept in the data folder (tiny ones in a
// temporary folder for --quick).
struct DataSet {
    QSize photoSize;
    QStringList photos;  // JPEG quality 90, alone in their folder: the burst runs over them
    QStringList pngs;    // 64x64 PNGs, alone in their folder
    QString cameraJpeg;  // a photo with a camera's Exif
    QString hugeJpeg;    // 200 MP, alone in its folder
    QString refusedJpeg; // 260 MP, alone in its folder
    QString heic;        // the first photo as HEIC with a 320-pixel thumbnail, as phones write
                         // them; empty when heif-enc is missing
    QString cameraDng;   // the first photo as a camera's DNG, with a 1620 x 1080 JPEG preview
    QString jxl;         // the first photo's pixels as JPEG XL, as cjxl makes it by default
                         // (VarDCT, distance 1, effort 7); empty when cjxl is missing
    QString hdrHeic;     // the first photo as a 10-bit PQ HEIC and as a 10-bit SDR one, each
    QString sdrHeic;     // with a 320-pixel thumbnail (HdrBench.h); empty when not written
};

DataSet prepareData(const Settings& settings);

} // namespace bench
