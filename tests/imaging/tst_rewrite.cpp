#include "Fixtures.h"

#include "imaging/ImageService.h"

#include <QImageReader>
#include <QtTest>

using namespace fixtures;

// A known fault: rotatedOrientation() steps the mirrored values the wrong way round
// (2 -> 5 for a clockwise turn, where 2 -> 7 turns the picture shown clockwise).
class TestRewrite : public QObject, private FixtureFolder {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid() && writeEveryFamily()); }

    void typesComeFromContentThenName()
    {
        using imaging::ImageType;
        const auto typeOf = [this](const QString& ext, const QString& name) {
            QFile::copy(m_files[ext], path(name));
            return imaging::detectImageType(path(name));
        };
        QCOMPARE(typeOf("png", "png.jpg"), ImageType::Png);
        QCOMPARE(typeOf("tif", "tif.nef"), ImageType::Nef);
        QCOMPARE(typeOf("dng", "dng.tif"), ImageType::Dng);
        QCOMPARE(typeOf("avif", "avif.heic"), ImageType::Avif);
        QVERIFY(writeFile(path("noise.jpg"), QByteArray(64, '\x42')));
        QVERIFY(writeFile(path("noise.cr2"), QByteArray(64, '\x42')));
        QCOMPARE(imaging::detectImageType(path("noise.jpg")), ImageType::Unknown);
        QCOMPARE(imaging::detectImageType(path("noise.cr2")), ImageType::Cr2);
        QCOMPARE(imaging::detectImageType(m_dir.path()), ImageType::Unknown);
    }

    void rotatedOrientationTurnsWhatIsShown_data()
    {
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation)
            QTest::addRow("%d", orientation) << orientation;
    }

    // Changing the orientation value by some turns turns the picture shown by as many.
    void rotatedOrientationTurnsWhatIsShown()
    {
        QFETCH(int, orientation);
        const QImage stored = quadrants(6, 4), shown = imaging::orientedImage(stored, orientation);
        for (const int turns : {1, 2, 3, 4, -1, -5}) {
            const int turned = imaging::rotatedOrientation(orientation, turns);
            QVERIFY2(imaging::orientedImage(stored, turned) ==
                         imaging::turnedClockwise(shown, turns),
                     qPrintable(QStringLiteral("by %1 gives %2").arg(turns).arg(turned)));
        }
    }

    // JPEG, TIFF and DNG by their orientation value alone, the rest by their pixels. Either way
    // the source stays as it was, the picture shows turned and turning back restores it.
    void rotatedFilesShowTheTurnedPicture_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("turns");
        QTest::addColumn<QString>("colours");
        QTest::addColumn<int>("orientation"); // 0 where the pixels were turned
        QVERIFY(writePicture(path("zero.jpg"), m_picture, 0));
        QVERIFY(writePicture(path("six.jpg"), storedFor(m_picture, 6), 6));
        QVERIFY(writePicture(path("two.jpg"), storedFor(m_picture, 2), 2));
        QTest::newRow("jpg") << m_files["jpg"] << 1 << "BRWG" << 6;
        QTest::newRow("jpg-0") << path("zero.jpg") << 1 << "BRWG" << 6; // 0 counts as 1
        QTest::newRow("jpg-6") << path("six.jpg") << 2 << "WBGR" << 8;
        QTest::newRow("jpg-mirrored") << path("two.jpg") << 1 << "BRWG" << 7;
        QTest::newRow("tif") << m_files["tif"] << 1 << "BRWG" << 6;
        QTest::newRow("dng") << m_files["dng"] << 1 << "BRWG" << 6;

        // Noise in the low bits that lossy re-encoding would not keep.
        QImage noisy = m_picture;
        for (int y = 0; y < noisy.height(); ++y) {
            for (int x = 0; x < noisy.width(); ++x)
                noisy.setPixel(x, y, noisy.pixel(x, y) ^ ((x * 7 + y * 13) % 16 * 0x010101u));
        }
        QVERIFY(writePicture(path("noisy.webp"), noisy));
        QVERIFY(writePicture(path("six.png"), storedFor(noisy, 6), 6));
        QVERIFY(writePicture(path("deep.png"), noisy.convertToFormat(QImage::Format_RGBX64)));
        QVERIFY(writePicture(path("grey.png"), noisy.convertToFormat(QImage::Format_Grayscale8)));
        QTest::newRow("webp") << path("noisy.webp") << -1 << "GWRB" << 0;
        QTest::newRow("png-6") << path("six.png") << 1 << "BRWG" << 0; // turned as shown
        QTest::newRow("png-16-bit") << path("deep.png") << 1 << "BRWG" << 0;
        QTest::newRow("png-grey") << path("grey.png") << 1 << "K?WW" << 0;
    }

    void rotatedFilesShowTheTurnedPicture()
    {
        QFETCH(QString, source);
        QFETCH(int, turns);
        QFETCH(QString, colours);
        QFETCH(int, orientation);
        const QString suffix = "." + QFileInfo(source).suffix();
        const QString turned = path(QTest::currentDataTag() + suffix);
        const QByteArray original = readFile(source);
        QVERIFY(imaging::writeRotatedFile(source, turned, turns));
        QCOMPARE(readFile(source), original);
        const std::optional<QImage> shown = imaging::decodeImage(turned);
        QVERIFY(shown);
        QCOMPARE(shown->size(), turns % 2 ? m_picture.size().transposed() : m_picture.size());
        QCOMPARE(quadrantColours(*shown), colours);
        QCOMPARE(imaging::readImageProperties(turned).value().orientation,
                 orientation ? std::optional(orientation) : std::nullopt);
        // The compressed pixels (from the JPEG scans on; the TIFF strips) copied byte for byte,
        // or else re-encoded in the same depth and kind of pixels.
        const qsizetype scans = original.indexOf("\xFF\xDA");
        if (orientation)
            QVERIFY(readFile(turned).contains(
                scans > 0 ? original.mid(scans)
                          : original.mid(original.size() / 4, original.size() / 2)));
        else
            QCOMPARE(QImageReader(turned).imageFormat(), QImageReader(source).imageFormat());
        QVERIFY(imaging::writeRotatedFile(turned, turned + ".back" + suffix, -turns));
        QCOMPARE(imaging::decodeImage(turned + ".back" + suffix).value(),
                 imaging::decodeImage(source).value());
    }

    // Exif travels with the turned pixels, the orientation and the stale width excepted.
    void pixelPathCarriesExifAndStraightAlpha()
    {
        QImage picture = m_picture.convertToFormat(QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(200, 100, 50, 3));
        const QString png = path("alpha.png"), turned = path("alpha-turned.png");
        QVERIFY(writePicture(png, picture));
        QVERIFY(editExif(png, [](Exiv2::ExifData& exif) {
            exif["Exif.Image.Make"] = "Pelu";
            exif["Exif.Image.Orientation"] = uint16_t(1);
            exif["Exif.Photo.PixelXDimension"] = uint32_t(240);
        }));
        QVERIFY(imaging::writeRotatedFile(png, turned, 1));
        QCOMPARE(QImage(turned).pixelColor(159, 0), QColor(200, 100, 50, 3));
        const auto properties = imaging::readImageProperties(turned);
        QVERIFY(properties && properties->tiff);
        QCOMPARE(properties->tiff->make, QStringLiteral("Pelu"));
        QCOMPARE(properties->orientation, std::nullopt);
        auto metadata = Exiv2::ImageFactory::open(QFile::encodeName(turned).toStdString());
        metadata->readMetadata();
        QCOMPARE(metadata->exifData()["Exif.Photo.PixelXDimension"].toLong(), 160L);
    }

    // Nothing is written (nor overwritten) for what cannot be turned without damage.
    void refusedRotationsLeaveNothing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("turns");
        QTest::addColumn<QString>("destination");
        QVERIFY(QFile::copy(m_files["tif"], path("tif.rw2")));
        QVERIFY(writeFile(path("sizes.ico"), icon({16, 32})));
        QVERIFY(writeFile(path("animated.gif"), gif({m_picture, m_picture.mirrored()})));
        QVERIFY(writeFile(path("taken.jpg"), "keep me") && writeFile(path("taken.png"), "keep me"));
        const auto add = [this](const char* tag, const QString& source, int turns = 1,
                                const char* destination = "refused") {
            QTest::newRow(tag) << source << turns << path(destination);
        };
        for (const char* ext : {"heic", "avif", "gif", "psd"})
            add(ext, m_files[ext]);
        add("rw2", path("tif.rw2"));
        add("missing", path("missing.jpg"));
        add("icon-sizes", path("sizes.ico"));
        add("animation", path("animated.gif"));
        add("whole-turns", m_files["png"], -4);
        add("jpg-taken", m_files["jpg"], 1, "taken.jpg");
        add("png-taken", m_files["png"], 1, "taken.png");
    }

    void refusedRotationsLeaveNothing()
    {
        QFETCH(QString, source);
        QFETCH(int, turns);
        QFETCH(QString, destination);
        const QByteArray before = readFile(destination);
        QVERIFY(!imaging::writeRotatedFile(source, destination, turns));
        QCOMPARE(readFile(destination), before);
        QCOMPARE(QFile::exists(destination), !before.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
