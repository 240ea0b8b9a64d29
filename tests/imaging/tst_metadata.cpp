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

    void cameraJpegYieldsEveryRowInOrder()
    {
        const QString file = path("camera.jpg");
        QVERIFY(saveWithQt(quadrants(64, 48), file, "jpeg", 90));
        QVERIFY(editExif(file, [](Exiv2::ExifData& exif) {
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
        }));
        const MetadataRows expected{
            {"File Size", imaging::formatFileSize(QFileInfo(file).size())},
            {"Dimensions", QStringLiteral("64 \u00D7 48")},
            {"Bit Depth", "8 bits"},
            {"Color Model", "RGB"},
            {"Camera", "Pelu Optics"},
            {"Model", "P-1"},
            {"Date", "2024:05:06 07:08:09"},
            {"Focal Length", "4mm"},
            {"Aperture", "f/2.8"},
            {"Shutter", "1/250s"},
            {"ISO", "100"},
            {"Lens", "Pelu 17mm"},
            {"GPS", "48.858400, -2.294500"},
        };
        QCOMPARE(imaging::extractMetadata(file), expected);
    }

    void pngWithoutExifYieldsFourRows()
    {
        QVERIFY(saveWithQt(quadrants(64, 48), path("plain.png"), "png"));
        const MetadataRows rows = imaging::extractMetadata(path("plain.png"));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].label, QStringLiteral("File Size"));
        QCOMPARE(rows.mid(1), (MetadataRows{{"Dimensions", QStringLiteral("64 \u00D7 48")},
                                            {"Bit Depth", "8 bits"},
                                            {"Color Model", "RGB"}}));
    }

    void valuesAreFormattedExactly()
    {
        QCOMPARE(imaging::formatFileSize(4'400'000), QStringLiteral("4.4 MB"));
        QCOMPARE(imaging::formatShutter(0.000125), QStringLiteral("1/8000s"));
        QCOMPARE(imaging::formatShutter(0.5), QStringLiteral("1/2s"));
        QCOMPARE(imaging::formatShutter(0.3), QStringLiteral("1/3s"));
        QCOMPARE(imaging::formatShutter(1.0), QStringLiteral("1.0s"));
        QCOMPARE(imaging::formatShutter(30), QStringLiteral("30.0s"));
        // No integer reciprocal: no row rather than a nonsense one.
        QCOMPARE(imaging::formatShutter(0), std::nullopt);
        QCOMPARE(imaging::formatShutter(1e-300), std::nullopt);
        QCOMPARE(imaging::formatPosition(48.8584, "N", 2.2945, "W"),
                 QStringLiteral("48.858400, -2.294500"));
        QCOMPARE(imaging::formatPosition(1, "s", 2, "S"), QStringLiteral("1.000000, 2.000000"));

        imaging::ImageProperties properties;
        properties.pixelWidth = 6000;
        properties.pixelHeight = 4000;
        properties.exif = imaging::ExifProperties{{}, 4.25, 2.0, {}, QList<qint64>{}, {}};
        properties.gps = imaging::GpsProperties{48.8584, "N", 2.2945, {}};
        MetadataRows rows = imaging::metadataRows(std::nullopt, properties);
        QCOMPARE(valueOf(rows, "Dimensions"), QStringLiteral("6000 \u00D7 4000"));
        QCOMPARE(valueOf(rows, "Focal Length"), QStringLiteral("4mm"));
        QCOMPARE(valueOf(rows, "Aperture"), QStringLiteral("f/2.0"));
        QCOMPARE(valueOf(rows, "ISO"), std::nullopt); // an empty list
        QCOMPARE(valueOf(rows, "GPS"), std::nullopt); // a reference missing
        QCOMPARE(valueOf(rows, "File Size"), std::nullopt);

        properties.exif->focalLength = 1e300;
        properties.exif->isoSpeedRatings = QList<qint64>{100, 200};
        rows = imaging::metadataRows(123, properties);
        QCOMPARE(valueOf(rows, "Focal Length"), std::nullopt);
        QCOMPARE(valueOf(rows, "ISO"), QStringLiteral("100"));
        QCOMPARE(valueOf(rows, "File Size"), QStringLiteral("123 bytes"));
    }

    void valuesOfTheWrongTypeAreLeftOut()
    {
        const QString file = path("odd.jpg");
        QVERIFY(saveWithQt(quadrants(16, 16), file, "jpeg"));
        QVERIFY(editExif(file, [](Exiv2::ExifData& exif) {
            addValue(exif, "Exif.Image.Make", Exiv2::unsignedShort, "5");
            exif["Exif.Image.Model"] = "P-1";
            addValue(exif, "Exif.Photo.FNumber", Exiv2::asciiString, "2.8");
            addValue(exif, "Exif.Photo.ISOSpeedRatings", Exiv2::unsignedRational, "100/1");
            exif["Exif.Photo.FocalLength"] = Exiv2::URational(50, 0); // no value at all
            exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 60);
        }));
        const MetadataRows rows = imaging::extractMetadata(file);
        QCOMPARE(valueOf(rows, "Camera"), std::nullopt);
        QCOMPARE(valueOf(rows, "Aperture"), std::nullopt);
        QCOMPARE(valueOf(rows, "ISO"), std::nullopt);
        QCOMPARE(valueOf(rows, "Focal Length"), std::nullopt);
        QCOMPARE(valueOf(rows, "Model"), QStringLiteral("P-1"));
        QCOMPARE(valueOf(rows, "Shutter"), QStringLiteral("1/60s"));
    }

    void everyFamilyReportsItsProperties()
    {
        HeifParams heif;
        heif.exif = exifBlock([](Exiv2::ExifData& exif) { exif["Exif.Image.Make"] = "Pelu"; });
        QVERIFY(writeHeif(path("p.heic"), quadrants(64, 48), heif));
        QVERIFY(writeDng(path("p.dng"), quadrants(48, 64), 6));
        QVERIFY(writeFile(path("grey16.psd"),
                          psdBytes(quadrants(40, 30), {16, 1, false, false, {}, 1})));
        QVERIFY(
            writeFile(path("cmyk.psd"), psdBytes(quadrants(40, 30), {8, 4, false, false, {}, 1})));
        QVERIFY(saveWithQt(quadrants(40, 30).convertToFormat(QImage::Format_RGBX64),
                           path("deep.png"), "png"));
        QVERIFY(saveWithQt(quadrants(40, 30).convertToFormat(QImage::Format_Grayscale8),
                           path("grey.jpg"), "jpeg"));
        QVERIFY(saveWithQt(quadrants(40, 30), path("turned.tif"), "tiff"));
        QVERIFY(editExif(path("turned.tif"), orientationEdit(3)));

        struct Expected {
            const char* file;
            qint64 width, height, depth;
            const char* model;
            std::optional<int> orientation;
        };
        const Expected cases[] = {
            {"p.heic", 64, 48, 8, "RGB", std::nullopt},
            {"p.dng", 48, 64, 12, "RGB", 6},
            {"grey16.psd", 40, 30, 16, "Gray", std::nullopt},
            {"cmyk.psd", 40, 30, 8, "CMYK", std::nullopt},
            {"deep.png", 40, 30, 16, "RGB", std::nullopt},
            {"grey.jpg", 40, 30, 8, "Gray", std::nullopt},
            {"turned.tif", 40, 30, 8, "RGB", 3},
        };
        for (const Expected& expected : cases) {
            const std::optional<imaging::ImageProperties> properties =
                imaging::readImageProperties(path(expected.file));
            QVERIFY2(properties, expected.file);
            QCOMPARE(properties->pixelWidth, expected.width);
            QCOMPARE(properties->pixelHeight, expected.height);
            QCOMPARE(properties->depth, expected.depth);
            QCOMPARE(properties->colorModel, QString(expected.model));
            QCOMPARE(properties->orientation, expected.orientation);
        }
        QCOMPARE(valueOf(imaging::extractMetadata(path("p.heic")), "Camera"),
                 QStringLiteral("Pelu"));
        QCOMPARE(valueOf(imaging::extractMetadata(path("p.dng")), "Model"),
                 QStringLiteral("Test Camera"));
    }

    void filesWithoutImagePropertiesKeepTheirSizeRow()
    {
        QVERIFY(writeFile(path("notes.jpg"), "not an image at all"));
        QCOMPARE(imaging::extractMetadata(path("notes.jpg")),
                 (MetadataRows{{"File Size", "19 bytes"}}));
        QVERIFY(imaging::extractMetadata(path("missing.jpg")).isEmpty());
    }

    void thumbnailsAreSmallUprightAndWhole_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        const QImage wide = quadrants(600, 400);
        QVERIFY(saveWithQt(storedFor(wide, 6), path("t.jpg"), "jpeg", 90));
        QVERIFY(editExif(path("t.jpg"), orientationEdit(6)));
        QTest::newRow("jpeg turned") << path("t.jpg") << QSize(120, 80);
        QVERIFY(saveWithQt(quadrants(300, 100), path("t.png"), "png"));
        QTest::newRow("png") << path("t.png") << QSize(120, 40);
        QVERIFY(writeHeif(path("t.heic"), quadrants(256, 192), {}));
        QTest::newRow("heic") << path("t.heic") << QSize(120, 90);
        QVERIFY(writeDng(path("t.dng"), storedFor(quadrants(256, 192), 8), 8));
        QTest::newRow("dng turned") << path("t.dng") << QSize(120, 90);
        QVERIFY(writeFile(path("t.psd"), psdBytes(quadrants(200, 200), {})));
        QTest::newRow("psd") << path("t.psd") << QSize(120, 120);
        QVERIFY(saveWithQt(quadrants(50, 30), path("small.bmp"), "bmp"));
        QTest::newRow("small stays") << path("small.bmp") << QSize(50, 30);
    }

    void thumbnailsAreSmallUprightAndWhole()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const std::optional<QImage> thumbnail = imaging::makeThumbnail(file);
        QVERIFY(thumbnail);
        QCOMPARE(thumbnail->size(), size);
        QCOMPARE(quadrantColours(*thumbnail), QStringLiteral("RGBW"));
    }
};

QTEST_GUILESS_MAIN(TestMetadata)
#include "tst_metadata.moc"
