#include "Fixtures.h"

#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QColorSpace>
#include <QtConcurrent>
#include <QtTest>

using namespace fixtures;

class TestDecoding : public QObject, private FixtureFolder {
    Q_OBJECT

private:
    // A Display P3 colour and what it looks like in sRGB.
    static QColor p3Colour() { return QColor(200, 100, 50); }
    static QColor p3ColourInSrgb()
    {
        return QColorSpace(QColorSpace::DisplayP3)
            .transformationToColorSpace(QColorSpace::SRgb)
            .map(p3Colour());
    }
    static void compareColour(QRgb actual, const QColor& expected, int tolerance)
    {
        QVERIFY2(std::abs(qRed(actual) - expected.red()) <= tolerance &&
                     std::abs(qGreen(actual) - expected.green()) <= tolerance &&
                     std::abs(qBlue(actual) - expected.blue()) <= tolerance,
                 qPrintable(QStringLiteral("got %1,%2,%3 want %4,%5,%6")
                                .arg(qRed(actual))
                                .arg(qGreen(actual))
                                .arg(qBlue(actual))
                                .arg(expected.red())
                                .arg(expected.green())
                                .arg(expected.blue())));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_files = writeEveryFormat(m_dir.path(), m_picture);
        const QList<std::pair<QString, PsdParams>> psds{
            {"rle16.psd", {16, 3, true, false, {}, 1}},   {"cmyk.psd", {8, 4, true, false, {}, 1}},
            {"indexed.psd", {8, 2, false, false, {}, 1}}, {"alpha.psd", {8, 3, false, true, {}, 1}},
            {"large.psd", {8, 3, true, true, {}, 2}},
        };
        for (const auto& [name, params] : psds) {
            QVERIFY(writeFile(path(name), psdBytes(m_picture, params)));
            m_files[name] = path(name);
        }
    }

    void everyFormatDecodesAtItsSizeAndColours_data()
    {
        QTest::addColumn<QString>("name");
        for (const QString& name : m_files.keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyFormatDecodesAtItsSizeAndColours()
    {
        QFETCH(QString, name);
        const std::optional<QImage> image = imaging::decodeImage(m_files[name]);
        QVERIFY(image);
        QCOMPARE(image->size(), m_picture.size());
        QCOMPARE(quadrantColours(*image), QStringLiteral("RGBW"));
    }

    void greyAndTransparentPhotoshopDocuments()
    {
        QImage picture = m_picture.convertToFormat(QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(10, 20, 30, 40));
        QVERIFY(writeFile(path("grey.psd"), psdBytes(picture, {8, 1, true, false, {}, 1})));
        QVERIFY(writeFile(path("transparent.psd"), psdBytes(picture, {8, 3, true, true, {}, 1})));
        const std::optional<QImage> grey = imaging::decodeImage(path("grey.psd"));
        QVERIFY(grey);
        QCOMPARE(qRed(grey->pixel(40, 10)), qGray(qRgb(0, 255, 0)));
        QCOMPARE(qBlue(grey->pixel(40, 10)), qGray(qRgb(0, 255, 0)));
        const std::optional<QImage> transparent = imaging::decodeImage(path("transparent.psd"));
        QVERIFY(transparent && transparent->hasAlphaChannel());
        QCOMPARE(transparent->pixelColor(0, 0), QColor(10, 20, 30, 40));
        QCOMPARE(qAlpha(transparent->pixel(40, 40)), 255);
    }

    void iconsShowTheirLargestEntry()
    {
        QVERIFY(writeFile(path("sizes.ico"), icon({16, 48, 32})));
        const std::optional<QImage> image = imaging::decodeImage(path("sizes.ico"));
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(48, 48));
        QCOMPARE(imaging::readImageProperties(path("sizes.ico"))->pixelWidth, 48);
    }

    void orientationsShowTheSamePicture_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("orientation");
        for (const char* format : {"jpeg", "tiff", "png", "webp", "psd"}) {
            for (int orientation = 1; orientation <= 8; ++orientation)
                QTest::addRow("%s-%d", format, orientation) << QString(format) << orientation;
        }
    }

    // JPEG and TIFF are turned by Qt, the others by the service: all must agree.
    void orientationsShowTheSamePicture()
    {
        QFETCH(QString, format);
        QFETCH(int, orientation);
        const QImage stored = storedFor(m_picture, orientation);
        const QString file = path(QStringLiteral("oriented-%1.%2").arg(orientation).arg(format));
        if (format == "psd")
            QVERIFY(writeFile(file, psdBytes(stored, {})));
        else
            QVERIFY(saveWithQt(stored, file, qPrintable(format), 100));
        if (format == "png")
            QVERIFY(addPngExifChunk(file, exifBlock(orientationEdit(orientation))));
        else
            QVERIFY(editExif(file, orientationEdit(orientation)));

        const std::optional<QImage> shown = imaging::decodeImage(file);
        QVERIFY(shown);
        QCOMPARE(shown->size(), m_picture.size());
        QCOMPARE(quadrantColours(*shown), QStringLiteral("RGBW"));
        const std::optional<QImage> asStored = imaging::decodeAsStored(file);
        QVERIFY(asStored);
        QCOMPARE(quadrantColours(*asStored), quadrantColours(stored));
    }

    void heifAppliesItsOwnTransformsButNeverExif()
    {
        for (const bool avif : {false, true}) {
            HeifParams params;
            params.avif = avif;
            params.orientation = avif ? 8 : 6;
            // An Exif orientation that would spoil the picture if applied on top.
            params.exif = exifBlock(orientationEdit(3));
            const QString file = path(avif ? "turned.avif" : "turned.heic");
            QVERIFY(writeHeif(file, storedFor(m_picture, params.orientation), params));
            const std::optional<QImage> image = imaging::decodeImage(file);
            QVERIFY(image);
            QCOMPARE(image->size(), m_picture.size());
            QCOMPARE(quadrantColours(*image), QStringLiteral("RGBW"));
        }
    }

    void rawFollowsItsOrientation()
    {
        QVERIFY(writeDng(path("turned.dng"), storedFor(m_picture, 6), 6));
        const std::optional<QImage> shown = imaging::decodeImage(path("turned.dng"));
        QVERIFY(shown);
        QCOMPARE(shown->size(), m_picture.size());
        QCOMPARE(quadrantColours(*shown), QStringLiteral("RGBW"));
        const std::optional<QImage> stored = imaging::decodeAsStored(path("turned.dng"));
        QVERIFY(stored);
        QCOMPARE(stored->size(), m_picture.size().transposed());
    }

    void embeddedColourSpacesBecomeSrgb()
    {
        QImage p3(32, 32, QImage::Format_RGB32);
        p3.fill(p3Colour());
        p3.setColorSpace(QColorSpace::DisplayP3);
        QVERIFY(saveWithQt(p3, path("p3.png"), "png"));
        HeifParams icc;
        icc.icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        QVERIFY(writeHeif(path("p3-icc.heic"), p3, icc));
        HeifParams nclx;
        nclx.nclxPrimaries = 12; // Display P3
        QVERIFY(writeHeif(path("p3-nclx.heic"), p3, nclx));
        PsdParams psd;
        psd.icc = icc.icc;
        QVERIFY(writeFile(path("p3.psd"), psdBytes(p3, psd)));

        for (const char* name : {"p3.png", "p3-icc.heic", "p3-nclx.heic", "p3.psd"}) {
            const std::optional<QImage> image = imaging::decodeImage(path(name));
            QVERIFY2(image, name);
            QVERIFY2(image->colorSpace() == QColorSpace(QColorSpace::SRgb), name);
            compareColour(image->pixel(16, 16), p3ColourInSrgb(), 6);
        }
    }

    void tenBitHeifDecodesToEightBits()
    {
        HeifParams params;
        params.bitDepth = 10;
        QVERIFY(writeHeif(path("deep.heic"), m_picture, params));
        const std::optional<QImage> image = imaging::decodeImage(path("deep.heic"));
        QVERIFY(image);
        QCOMPARE(quadrantColours(*image), QStringLiteral("RGBW"));
    }

    void animationsGiveTheirFirstFrameAndPlayFrameByFrame()
    {
        QImage red(8, 8, QImage::Format_RGB32), green = red, blue = red;
        red.fill(Qt::red);
        green.fill(Qt::green);
        blue.fill(Qt::blue);
        // Named like a PNG: the content decides.
        QVERIFY(writeFile(path("three.png"), gif({red, green, blue}, 50)));
        const std::optional<QImage> still = imaging::decodeImage(path("three.png"));
        QVERIFY(still);
        QCOMPARE(still->pixelColor(4, 4), QColor(Qt::red));

        imaging::AnimatedImage animation(path("three.png"));
        QVERIFY(animation.isAnimated());
        QCOMPARE(animation.frameCount(), 3);
        for (const QColor expected :
             {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue), QColor(Qt::red)}) {
            const QImage frame = animation.nextFrame();
            QCOMPARE(frame.pixelColor(4, 4), expected);
            QCOMPARE(animation.currentDelayMs(), 50);
        }
        imaging::AnimatedImage still2(m_files["png"]);
        QVERIFY(!still2.isAnimated());
        QCOMPARE(still2.frameCount(), 1);
    }

    // Qt refuses anything over 256 MiB unless told otherwise; this decodes to 280 MB.
    void largePhotographsOpen()
    {
        QImage big(10000, 7000, QImage::Format_RGB32);
        big.fill(QColor(30, 60, 90));
        QVERIFY(saveWithQt(big, path("big.jpg"), "jpeg", 50));
        big = QImage();
        const std::optional<QImage> image = imaging::decodeImage(path("big.jpg"));
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(10000, 7000));
    }

    void decodesAreCountedWithTheirThread()
    {
        const quint64 total = imaging::decodeCount(), onMain = imaging::mainThreadDecodeCount();
        QVERIFY(imaging::decodeImage(m_files["png"]));
        QCOMPARE(imaging::decodeCount(), total + 1);
        QCOMPARE(imaging::mainThreadDecodeCount(), onMain + 1);
        const QString file = m_files["jpg"];
        QVERIFY(QtConcurrent::run([file] { return imaging::decodeImage(file); }).result());
        QVERIFY(imaging::makeThumbnail(file));
        QCOMPARE(imaging::decodeCount(), total + 2);
        QCOMPARE(imaging::mainThreadDecodeCount(), onMain + 1);
    }
};

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
