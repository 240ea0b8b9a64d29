#include "Fixtures.h"

#include "imaging/ImageService.h"

#include <QFileInfo>
#include <QtTest>

#include <cstdio>
#include <jpeglib.h>

using namespace fixtures;

namespace {

// Files whose colour model and depth only their own header tells (Qt's readers announce the
// format they convert to), 64 × 48.
constexpr int width = 64, height = 48;

// A PNG of the given IHDR colour type and bit depth, every sample 0 (for a palette: red).
QByteArray pngWithHeader(int colourType, int bitDepth)
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
bool writeCmykJpeg(const QString& path)
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

bool writeCmykTiff(const QString& path)
{
    return writeTiff(path,
                     {{TIFFTAG_IMAGEWIDTH, width},
                      {TIFFTAG_IMAGELENGTH, height},
                      {TIFFTAG_BITSPERSAMPLE, 8},
                      {TIFFTAG_SAMPLESPERPIXEL, 4},
                      {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED},
                      {TIFFTAG_INKSET, INKSET_CMYK},
                      {TIFFTAG_ROWSPERSTRIP, height}},
                     height, [](int) { return QByteArray(width * 4, '\0'); });
}

} // namespace

class TestMetadata : public QObject, private FixtureFolder {
    Q_OBJECT

private:
    static std::optional<QString> valueOf(const MetadataRows& rows, const QString& label)
    {
        for (const MetadataEntry& row : rows) {
            if (row.label == label)
                return row.value;
        }
        return std::nullopt;
    }

    static void addValue(Exiv2::ExifData& exif, const char* key, Exiv2::TypeId type,
                         const char* text)
    {
        Exiv2::Value::AutoPtr value = Exiv2::Value::create(type);
        value->read(text);
        exif.add(Exiv2::ExifKey(key), value.get());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The header rows, then the Exif rows: a camera's as edited into a JPEG and embedded in a
    // HEIF file or a JPEG XL box (plain or Brotli-compressed), a raw file's own, values of the
    // wrong type left out, none in a plain PNG.
    void rowsComeInPanelOrder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<MetadataRows>("exifRows");
        const ExifEdit camera = [](Exiv2::ExifData& exif) {
            exif["Exif.Image.Make"] = "Pelu Optics";
            exif["Exif.Image.Model"] = "P-1";
            exif["Exif.Photo.DateTimeOriginal"] = "2024:05:06 07:08:09";
            exif["Exif.Photo.FocalLength"] = Exiv2::URational(17, 4);
            exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
            exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
            addValue(exif, "Exif.Photo.ISOSpeedRatings", Exiv2::unsignedShort, "100 200");
            exif["Exif.Photo.LensModel"] = "Pelu 17mm";
            addValue(exif, "Exif.GPSInfo.GPSLatitude", Exiv2::unsignedRational,
                     "48/1 51/1 3024/100");
            exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
            addValue(exif, "Exif.GPSInfo.GPSLongitude", Exiv2::unsignedRational,
                     "2/1 17/1 4020/100");
            exif["Exif.GPSInfo.GPSLongitudeRef"] = "W";
        };
        const MetadataRows cameraRows{{"Camera", "Pelu Optics"},
                                      {"Model", "P-1"},
                                      {"Date", "2024:05:06 07:08:09"},
                                      {"Focal Length", "4mm"},
                                      {"Aperture", "f/2.8"},
                                      {"Shutter", "1/250s"},
                                      {"ISO", "100"},
                                      {"Lens", "Pelu 17mm"},
                                      {"GPS", "48.858400, -2.294500"}};
        QVERIFY(writePicture(path("camera.jpg"), m_picture) &&
                editExif(path("camera.jpg"), camera));
        QVERIFY(writeHeif(path("camera.heic"), m_picture, {.exif = exifBlock(camera)}));
        for (const bool brotli : {false, true}) {
            const JxlRecipe recipe{.boxes = {{"Exif", QByteArray(4, '\0') + exifBlock(camera)}},
                               .compressBoxes = brotli};
            QVERIFY(writeFile(path(brotli ? "brotli.jxl" : "camera.jxl"),
                              encodeJxl({{m_picture, 0}}, recipe)));
        }
        QVERIFY(writeDng(path("camera.dng"), m_picture));
        QVERIFY(writePicture(path("odd.jpg"), m_picture) &&
                editExif(path("odd.jpg"), [](Exiv2::ExifData& exif) {
                    addValue(exif, "Exif.Image.Make", Exiv2::unsignedShort, "5");
                    exif["Exif.Image.Model"] = "P-1";
                    addValue(exif, "Exif.Photo.FNumber", Exiv2::asciiString, "2.8");
                    addValue(exif, "Exif.Photo.ISOSpeedRatings", Exiv2::unsignedRational, "100/1");
                    exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 0); // no value at all
                    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 60);
                }));
        QVERIFY(writePicture(path("plain.png"), m_picture));
        QTest::newRow("jpg") << path("camera.jpg") << cameraRows;
        QTest::newRow("heic") << path("camera.heic") << cameraRows;
        QTest::newRow("jxl") << path("camera.jxl") << cameraRows;
        QTest::newRow("jxl-brotli") << path("brotli.jxl") << cameraRows;
        QTest::newRow("dng") << path("camera.dng")
                             << MetadataRows{{"Camera", "Pelu"}, {"Model", "Test Camera"}};
        QTest::newRow("wrong-types")
            << path("odd.jpg") << MetadataRows{{"Model", "P-1"}, {"Shutter", "1/60s"}};
        QTest::newRow("png") << path("plain.png") << MetadataRows{};
    }

    void rowsComeInPanelOrder()
    {
        QFETCH(QString, file);
        QFETCH(MetadataRows, exifRows);
        const MetadataRows header{{"File Size", imaging::formatFileSize(QFileInfo(file).size())},
                                  {"Dimensions", QStringLiteral("240 \u00D7 160")},
                                  {"Bit Depth", file.endsWith(".dng") ? "12 bits" : "8 bits"},
                                  {"Color Model", "RGB"}};
        QCOMPARE(imaging::extractMetadata(file), header + exifRows);
    }

    // As the file stores it, not as Qt converts it: a palette is 8-bit RGB whatever the width
    // of its index, four inks stay CMYK.
    void colourModelAndDepthAsStored_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("depth");
        QTest::addColumn<QString>("model");
        const auto row = [](const char* name, const QString& file, const char* depth,
                            const char* model) {
            QTest::newRow(name) << file << QString(depth) << QString(model);
        };
        const auto png = [this](const char* name, int colourType, int bitDepth) {
            const QString file = path(name);
            return writeFile(file, pngWithHeader(colourType, bitDepth)) ? file : QString();
        };
        row("1-bit palette png", png("palette1.png", 3, 1), "8 bits", "RGB");
        row("8-bit palette png", png("palette8.png", 3, 8), "8 bits", "RGB");
        row("1-bit grey png", png("grey1.png", 0, 1), "1 bits", "Gray");
        row("16-bit rgb png", png("deep.png", 2, 16), "16 bits", "RGB");
        row("16-bit grey alpha png", png("deepgrey.png", 4, 16), "16 bits", "Gray");
        row("rgba png", png("alpha.png", 6, 8), "8 bits", "RGB");
        QVERIFY(writeCmykJpeg(path("cmyk.jpg")) && writeCmykTiff(path("cmyk.tif")));
        row("cmyk jpg", path("cmyk.jpg"), "8 bits", "CMYK");
        row("cmyk tif", path("cmyk.tif"), "8 bits", "CMYK");
        const QImage grey = quadrants(64, 48).convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(writePicture(path("grey.jpg"), grey) && writePicture(path("grey.tif"), grey));
        row("grey jpg", path("grey.jpg"), "8 bits", "Gray");
        row("grey tif", path("grey.tif"), "8 bits", "Gray");
        QVERIFY(writeFile(path("grey.jxl"), encodeJxl({{grey, 0}}, {.grey = true})));
        QVERIFY(writeFile(path("deep.jxl"), encodeJxl({{quadrants(64, 48), 0}}, {.sixteenBit = true})));
        row("grey jxl", path("grey.jxl"), "8 bits", "Gray");
        row("16-bit jxl", path("deep.jxl"), "16 bits", "RGB");
        QImage twoColours(64, 48, QImage::Format_Mono);
        twoColours.setColorTable({qRgb(255, 0, 0), qRgb(255, 255, 255)});
        twoColours.fill(0);
        QVERIFY(writePicture(path("palette.bmp"), twoColours));
        row("1-bit palette bmp", path("palette.bmp"), "8 bits", "RGB");
    }

    void colourModelAndDepthAsStored()
    {
        QFETCH(QString, file);
        QFETCH(QString, depth);
        QFETCH(QString, model);
        const MetadataRows rows = imaging::extractMetadata(file);
        QCOMPARE(valueOf(rows, "Dimensions"), QStringLiteral("64 \u00D7 48"));
        QCOMPARE(valueOf(rows, "Bit Depth"), depth);
        QCOMPARE(valueOf(rows, "Color Model"), model);
    }

    void filesWithoutImagePropertiesKeepTheirSizeRow()
    {
        QVERIFY(writeFile(path("notes.jpg"), "not an image at all"));
        QCOMPARE(imaging::extractMetadata(path("notes.jpg")),
                 (MetadataRows{{"File Size", "19 bytes"}}));
        QVERIFY(imaging::extractMetadata(path("missing.jpg")).isEmpty());
    }

    void valuesAreFormattedExactly()
    {
        QCOMPARE(imaging::formatFileSize(4'400'000), QStringLiteral("4.4 MB"));
        QCOMPARE(imaging::formatShutter(0.000125), QStringLiteral("1/8000s"));
        QCOMPARE(imaging::formatShutter(0.3), QStringLiteral("1/3s"));
        QCOMPARE(imaging::formatShutter(1.0), QStringLiteral("1.0s"));
        // No integer reciprocal: no row rather than a nonsense one.
        QCOMPARE(imaging::formatShutter(0), std::nullopt);
        QCOMPARE(imaging::formatShutter(1e-300), std::nullopt);
        // Only "S" and "W" negate.
        QCOMPARE(imaging::formatPosition(1, "s", 2, "S"), QStringLiteral("1.000000, 2.000000"));

        imaging::ImageProperties properties;
        properties.exif = imaging::ExifProperties{{}, 1e300, 2.0, {}, QList<qint64>{}, {}};
        properties.gps = imaging::GpsProperties{48.8584, "N", 2.2945, {}};
        const MetadataRows rows = imaging::metadataRows(123, properties);
        QCOMPARE(valueOf(rows, "File Size"), QStringLiteral("123 bytes"));
        QCOMPARE(valueOf(rows, "Aperture"), QStringLiteral("f/2.0"));
        QCOMPARE(valueOf(rows, "Focal Length"), std::nullopt); // beyond any integer
        QCOMPARE(valueOf(rows, "ISO"), std::nullopt);          // an empty list
        QCOMPARE(valueOf(rows, "GPS"), std::nullopt);          // a reference missing
    }
};

QTEST_GUILESS_MAIN(TestMetadata)
#include "tst_metadata.moc"
