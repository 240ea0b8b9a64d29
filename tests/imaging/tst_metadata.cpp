#include "Fixtures.h"

#include "imaging/ImageService.h"

#include <QFileInfo>
#include <QtTest>

using namespace fixtures;

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
        // Exif boxes start with the offset of the TIFF header, usually none.
        for (const auto& [name, box, brotli] :
             {std::tuple{"camera.jxl", QByteArray(4, '\0'), false},
              {"brotli.jxl", QByteArray(4, '\0'), true},
              {"padded.jxl", QByteArray("\0\0\0\x06pppppp", 10), false}}) {
            const JxlRecipe recipe{.boxes = {{"Exif", box + exifBlock(camera)}},
                                   .compressBoxes = brotli};
            QVERIFY(writeFile(path(name), encodeJxl({{m_picture, 0}}, recipe)));
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
        QTest::newRow("jxl-padded") << path("padded.jxl") << cameraRows;
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
        // Every PNG sample 0 (for a palette: red); four inks as print workflows write them.
        for (const auto& [name, depth, model] : {std::tuple{"depth-palette1.png", "8 bits", "RGB"},
                                                 {"depth-palette8.png", "8 bits", "RGB"},
                                                 {"depth-grey1.png", "1 bits", "Gray"},
                                                 {"depth-rgb16.png", "16 bits", "RGB"},
                                                 {"depth-greyalpha16.png", "16 bits", "Gray"},
                                                 {"depth-rgba8.png", "8 bits", "RGB"},
                                                 {"depth-cmyk.jpg", "8 bits", "CMYK"},
                                                 {"depth-cmyk.tif", "8 bits", "CMYK"}})
            row(name, dataFile(name), depth, model);
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
