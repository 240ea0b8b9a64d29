#include "Fixtures.h"

#include "imaging/ImageService.h"

#include <QImageReader>
#include <QtTest>

#include <tiffio.h>

using namespace fixtures;

class TestRewrite : public QObject, private FixtureFolder {
    Q_OBJECT

private:
    // The upright picture after one clockwise and one counter-clockwise quarter turn.
    const QString m_clockwise = QStringLiteral("BRWG");
    const QString m_counterClockwise = QStringLiteral("GWRB");

    static std::optional<int> orientationOf(const QString& file)
    {
        const auto properties = imaging::readImageProperties(file);
        return properties ? properties->orientation : std::nullopt;
    }

    // Everything from the first start-of-scan marker on: the compressed pixels.
    static QByteArray jpegScans(const QString& file)
    {
        const QByteArray bytes = readFile(file);
        return bytes.mid(bytes.indexOf("\xFF\xDA"));
    }

    static QList<QByteArray> tiffStrips(const QString& file, int* orientation)
    {
        QList<QByteArray> strips;
        TIFF* tif = TIFFOpen(QFile::encodeName(file).constData(), "r");
        if (!tif)
            return strips;
        uint16_t value = 0;
        *orientation = TIFFGetField(tif, TIFFTAG_ORIENTATION, &value) ? value : 0;
        for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tif); ++strip) {
            QByteArray data(qsizetype(TIFFRawStripSize(tif, strip)), '\0');
            TIFFReadRawStrip(tif, strip, data.data(), data.size());
            strips.append(data);
        }
        TIFFClose(tif);
        return strips;
    }

    QString shownColours(const QString& file, QSize size) const
    {
        const std::optional<QImage> image = imaging::decodeImage(file);
        if (!image || image->size() != size)
            return QStringLiteral("no image of that size");
        return quadrantColours(*image);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_files = writeEveryFormat(m_dir.path(), m_picture);
    }

    void typesComeFromContentThenName()
    {
        using imaging::ImageType;
        const auto copyAs = [this](const QString& ext, const QString& name) {
            QFile::copy(m_files[ext], path(name));
            return imaging::detectImageType(path(name));
        };
        QCOMPARE(copyAs("png", "png-named.jpg"), ImageType::Png);
        QCOMPARE(copyAs("tif", "tiff-named.nef"), ImageType::Nef);
        QCOMPARE(copyAs("dng", "dng-named.tif"), ImageType::Dng);
        QCOMPARE(copyAs("tif", "plain.tiff"), ImageType::Tiff);
        QCOMPARE(copyAs("heic", "heic-named.heif"), ImageType::Heic);
        QCOMPARE(copyAs("avif", "avif-named.heic"), ImageType::Avif);
        QVERIFY(writeFile(path("noise.jpg"), QByteArray(64, '\x42')));
        QCOMPARE(imaging::detectImageType(path("noise.jpg")), ImageType::Unknown);
        QVERIFY(writeFile(path("noise.cr2"), QByteArray(64, '\x42')));
        QCOMPARE(imaging::detectImageType(path("noise.cr2")), ImageType::Cr2);
        QCOMPARE(imaging::detectImageType(m_dir.path()), ImageType::Unknown);

        QCOMPARE(imaging::losslessRotationTypes(),
                 (QList<ImageType>{ImageType::Jpeg, ImageType::Heic, ImageType::Heif,
                                   ImageType::Tiff, ImageType::Cr2, ImageType::Nef, ImageType::Arw,
                                   ImageType::Dng, ImageType::Orf, ImageType::Rw2}));
        QVERIFY(!imaging::supportsLosslessRotation(ImageType::Avif));
        QVERIFY(imaging::hasPixelWriter(ImageType::Webp));
        QVERIFY(!imaging::hasPixelWriter(ImageType::Gif));
    }

    void rotatedOrientationFollowsTheTable()
    {
        const int table[8][3] = {{1, 6, 8}, {2, 5, 7}, {3, 8, 6}, {4, 7, 5},
                                 {5, 4, 2}, {6, 3, 1}, {7, 2, 4}, {8, 1, 3}};
        for (const auto& [value, clockwise, counterClockwise] : table) {
            QCOMPARE(imaging::rotatedOrientation(value, 1), clockwise);
            QCOMPARE(imaging::rotatedOrientation(value, -1), counterClockwise);
            QCOMPARE(imaging::rotatedOrientation(value, 4), value);
            QCOMPARE(imaging::rotatedOrientation(value, -5), counterClockwise);
            QCOMPARE(imaging::rotatedOrientation(value, 3), counterClockwise);
        }
        QCOMPARE(imaging::rotatedOrientation(0, 1), 0);
        QCOMPARE(imaging::rotatedOrientation(9, -1), 9);
    }

    void orientationRewriteKeepsJpegScanData()
    {
        const QString jpeg = m_files["jpg"];
        const QByteArray original = readFile(jpeg);
        QVERIFY(imaging::writeRotatedOrientation(jpeg, path("cw.jpg"), 1));
        QVERIFY(imaging::writeRotatedOrientation(jpeg, path("ccw.jpg"), -1));
        QCOMPARE(readFile(jpeg), original);
        QCOMPARE(orientationOf(path("cw.jpg")), 6); // no orientation counts as 1
        QCOMPARE(orientationOf(path("ccw.jpg")), 8);
        QCOMPARE(jpegScans(path("cw.jpg")), jpegScans(jpeg));
        QCOMPARE(shownColours(path("cw.jpg"), m_picture.size().transposed()), m_clockwise);
        QCOMPARE(shownColours(path("ccw.jpg"), m_picture.size().transposed()), m_counterClockwise);

        QString previous = path("cw.jpg");
        for (int turn = 2; turn <= 4; ++turn) {
            const QString next = path(QStringLiteral("turn%1.jpg").arg(turn));
            QVERIFY(imaging::writeRotatedOrientation(previous, next, 1));
            previous = next;
        }
        QCOMPARE(orientationOf(previous), 1);
        QCOMPARE(jpegScans(previous), jpegScans(jpeg));
        QCOMPARE(*imaging::decodeImage(previous), *imaging::decodeImage(jpeg));

        // An invalid value is shown as 1, so a turn must still turn the picture.
        QVERIFY(QFile::copy(jpeg, path("zero.jpg")));
        QVERIFY(editExif(path("zero.jpg"), orientationEdit(0)));
        QVERIFY(imaging::writeRotatedOrientation(path("zero.jpg"), path("zero-cw.jpg"), 1));
        QCOMPARE(orientationOf(path("zero-cw.jpg")), 6);
    }

    void orientationRewriteKeepsTiffAndDngStrips()
    {
        for (const char* ext : {"tif", "dng"}) {
            const QString turned = path(QStringLiteral("cw.%1").arg(ext));
            QVERIFY(imaging::writeRotatedOrientation(m_files[ext], turned, 1));
            int before = 0, after = 0;
            const QList<QByteArray> strips = tiffStrips(m_files[ext], &before);
            QVERIFY(!strips.isEmpty());
            QCOMPARE(tiffStrips(turned, &after), strips);
            QCOMPARE(after, 6);
            QCOMPARE(shownColours(turned, m_picture.size().transposed()), m_clockwise);
        }
    }

    void orientationRewriteRefusesWhatItCannotWrite()
    {
        QVERIFY(QFile::copy(m_files["tif"], path("tiff-named.rw2")));
        for (const QString& source : {m_files["heic"], m_files["avif"], m_files["png"],
                                      path("tiff-named.rw2"), path("missing.jpg")}) {
            QVERIFY2(!imaging::writeRotatedOrientation(source, path("refused"), 1),
                     qPrintable(source));
            QVERIFY(!QFile::exists(path("refused")));
        }
        QVERIFY(writeFile(path("taken.jpg"), "keep me"));
        QVERIFY(!imaging::writeRotatedOrientation(m_files["jpg"], path("taken.jpg"), 1));
        QCOMPARE(readFile(path("taken.jpg")), QByteArray("keep me"));
    }

    void pixelPathTurnsPixelsAndCarriesExif()
    {
        QImage picture = m_picture.convertToFormat(QImage::Format_ARGB32);
        picture.setPixel(0, 0, qRgba(200, 100, 50, 3));
        const QString png = path("alpha.png");
        QVERIFY(saveWithQt(picture, png, "png"));
        QVERIFY(editExif(png, [](Exiv2::ExifData& exif) {
            exif["Exif.Image.Make"] = "Pelu";
            exif["Exif.Image.Orientation"] = uint16_t(1);
            exif["Exif.Photo.PixelXDimension"] = uint32_t(64);
        }));
        QVERIFY(imaging::writeRotatedPixels(png, path("alpha-cw.png"), 1));
        QVERIFY(imaging::writeRotatedPixels(png, path("alpha-ccw.png"), -1));
        QCOMPARE(shownColours(path("alpha-cw.png"), QSize(48, 64)), m_clockwise);
        QCOMPARE(shownColours(path("alpha-ccw.png"), QSize(48, 64)), m_counterClockwise);
        // Straight alpha: a nearly transparent pixel keeps its exact colour.
        QCOMPARE(QImage(path("alpha-cw.png")).pixelColor(47, 0), QColor(200, 100, 50, 3));

        const auto properties = imaging::readImageProperties(path("alpha-cw.png"));
        QVERIFY(properties && properties->tiff && properties->exif);
        QCOMPARE(properties->tiff->make, QStringLiteral("Pelu"));
        QCOMPARE(properties->orientation, std::nullopt);
        auto metadata =
            Exiv2::ImageFactory::open(QFile::encodeName(path("alpha-cw.png")).toStdString());
        metadata->readMetadata();
        QCOMPARE(metadata->exifData()["Exif.Photo.PixelXDimension"].toLong(), 48L);
    }

    // A file already carrying an orientation turns from what is shown.
    void pixelPathTurnsWhatIsShown()
    {
        const QString png = path("oriented.png"), webp = path("oriented.webp");
        QVERIFY(saveWithQt(storedFor(m_picture, 6), png, "png"));
        QVERIFY(addPngExifChunk(png, exifBlock(orientationEdit(6))));
        QVERIFY(saveWithQt(storedFor(m_picture, 6), webp, "webp", 100));
        QVERIFY(editExif(webp, orientationEdit(6)));
        for (const QString& file : {png, webp}) {
            const QString turned = file + ".cw." + QFileInfo(file).suffix();
            QVERIFY(imaging::writeRotatedPixels(file, turned, 1));
            QCOMPARE(shownColours(turned, QSize(48, 64)), m_clockwise);
            QCOMPARE(orientationOf(turned), std::nullopt);
        }
    }

    void pixelPathRefusesWhatItWouldDamage()
    {
        QVERIFY(writeFile(path("two-sizes.ico"), icon({16, 32})));
        QVERIFY(writeFile(path("animated.gif"), gif({m_picture, m_picture.mirrored()}, 100)));
        for (const QString& source :
             {m_files["gif"], m_files["psd"], m_files["avif"], m_files["heic"], m_files["dng"],
              path("two-sizes.ico"), path("animated.gif")}) {
            QVERIFY2(!imaging::writeRotatedPixels(source, path("refused"), 1), qPrintable(source));
            QVERIFY(!QFile::exists(path("refused")));
        }
        QVERIFY(!imaging::writeRotatedPixels(m_files["png"], path("refused"), 0));
        QVERIFY(!imaging::writeRotatedPixels(m_files["png"], path("refused"), -4));
        QVERIFY(!QFile::exists(path("refused")));
        QVERIFY(writeFile(path("taken.png"), "keep me"));
        QVERIFY(!imaging::writeRotatedPixels(m_files["png"], path("taken.png"), 1));
        QCOMPARE(readFile(path("taken.png")), QByteArray("keep me"));
    }

    void pixelPathKeepsDepthAndKind()
    {
        QVERIFY(
            saveWithQt(m_picture.convertToFormat(QImage::Format_RGBX64), path("deep.png"), "png"));
        QVERIFY(saveWithQt(m_picture.convertToFormat(QImage::Format_Grayscale8), path("grey.png"),
                           "png"));
        QVERIFY(imaging::writeRotatedPixels(path("deep.png"), path("deep-cw.png"), 1));
        QVERIFY(imaging::writeRotatedPixels(path("grey.png"), path("grey-cw.png"), 1));
        QCOMPARE(QImageReader(path("deep-cw.png")).imageFormat(), QImage::Format_RGBX64);
        QCOMPARE(QImageReader(path("grey-cw.png")).imageFormat(), QImage::Format_Grayscale8);

        // Lossless WebP stays lossless: turning back gives the very same pixels.
        QImage noisy(33, 17, QImage::Format_RGB32);
        for (int y = 0; y < noisy.height(); ++y) {
            for (int x = 0; x < noisy.width(); ++x)
                noisy.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x * y) % 256));
        }
        QVERIFY(saveWithQt(noisy, path("noisy.webp"), "webp", 100));
        QVERIFY(imaging::writeRotatedPixels(path("noisy.webp"), path("noisy-cw.webp"), 1));
        QVERIFY(imaging::writeRotatedPixels(path("noisy-cw.webp"), path("noisy-back.webp"), -1));
        QCOMPARE(QImage(path("noisy-back.webp")).convertToFormat(QImage::Format_RGB32), noisy);
    }

    void writeRotatedFileChoosesThePath()
    {
        QVERIFY(imaging::writeRotatedFile(m_files["jpg"], path("chosen.jpg"), 1));
        QCOMPARE(jpegScans(path("chosen.jpg")), jpegScans(m_files["jpg"]));
        QCOMPARE(orientationOf(path("chosen.jpg")), 6);
        QVERIFY(imaging::writeRotatedFile(m_files["bmp"], path("chosen.bmp"), -1));
        QCOMPARE(shownColours(path("chosen.bmp"), QSize(48, 64)), m_counterClockwise);
        QVERIFY(!imaging::writeRotatedFile(m_files["heic"], path("chosen.heic"), 1));
    }
};

QTEST_GUILESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
