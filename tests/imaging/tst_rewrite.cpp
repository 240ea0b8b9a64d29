#include "Fixtures.h"

#include "imaging/ImageService.h"
#include "imaging/rotation/RewriteCheck.h"

#include <QImageReader>
#include <QtTest>

using namespace fixtures;

namespace {

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

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
        QVERIFY(writeFile(path("animated.gif"), gif({m_picture, m_picture.mirrored()})));
        QVERIFY(writeFile(path("taken.jpg"), "keep me") && writeFile(path("taken.png"), "keep me"));
        // Encoding a JPEG XL again would lose data, and a sequence's later frames would be lost.
        QVERIFY(writeFile(
            path("animated.jxl"),
            encodeJxl({{m_picture, 100}, {m_picture.mirrored(), 100}}, {.animated = true})));
        const auto add = [this](const char* tag, const QString& source, int turns = 1,
                                const char* destination = "refused") {
            QTest::newRow(tag) << source << turns << path(destination);
        };
        for (const char* ext : {"heic", "avif", "gif", "psd", "jxl"})
            add(ext, m_files[ext]);
        add("jxl-animation", path("animated.jxl"));
        add("avif-sequence", dataFile("avif-sequence-rgbw.avif"));
        add("rw2", path("tif.rw2"));
        add("missing", path("missing.jpg"));
        add("icon-sizes", dataFile("ico-sizes-16-48-32.ico"));
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

    // Files whose rewrite once reported success and lost pixels, pages, alpha or the turn. Each
    // either comes out showing the picture turned, with every page, or is refused with nothing
    // written, so that only the view turns.
    void rotationNeverDestroysAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("orientation"); // written by a clockwise turn; 0: refused
        QTest::addColumn<int>("pages");
        const auto row = [](const char* name, int orientation, int pages = 1) {
            QTest::newRow(name) << QString::fromLatin1(name) << orientation << pages;
        };
        row("tiff-bad-stripbytecounts-rotate-destroys-pixels.tif", 6);
        row("dng-bad-stripbytecounts-rotate-destroys-raw.dng", 6, 2);
        // Its entry is not a single value: a sound one in a copy of the directory, at the end.
        row("tiff-orientation-count7-rotate-overwrites-header.tif", 6);
        row("tiff-multipage-rotate-loses-page.tif", 8, 3);
        row("jpeg-orient-long6.jpg", 3);
        // Not a single value either, so not an orientation: shown as it is stored.
        row("jpeg-orient-count-mismatch.jpg", 6);
        row("jpeg-exiv2-noop-rotate-reports-success.jpg", 2);
        // Out of range: shown unturned, as everywhere else.
        row("dng-invalid-orientation-libraw-vs-writer.dng", 6);
        row("bmp-alpha-lost-on-rotate.bmp", 0);
        row("apng-frames-lost-on-rotate.png", 0, 2);
        row("nef-named-quicktime-rotate-hang.nef", 0, 0);
    }
    void rotationNeverDestroysAFile()
    {
        QFETCH(QString, name);
        QFETCH(int, orientation);
        QFETCH(int, pages);
        const QString source = path(name);
        QVERIFY(QFile::copy(dataFile(name), source));
        const QByteArray original = readFile(source);
        const std::optional<QImage> shown = imaging::decodeImage(source);
        const QString turned = path("turned-" + name);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(imaging::writeRotatedFile(source, turned, 1), orientation != 0);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(readFile(source), original);
        const imaging::ImageType type = imaging::detectImageType(source);
        QCOMPARE(imaging::detail::imageCount(source, type).value_or(0), pages);
        if (!orientation) {
            QVERIFY(!QFile::exists(turned));
            return;
        }
        // The value shown is the one described and the one turned: the decoders, the
        // properties and the writer read it alike.
        const int before = imaging::shownOrientation(source);
        QCOMPARE(imaging::readImageProperties(source).value().orientation.value_or(1), before);
        QCOMPARE(imaging::rotatedOrientation(before, 1), orientation);
        QCOMPARE(imaging::shownOrientation(turned), orientation);
        QCOMPARE(imaging::detail::imageCount(turned, type), pages);
        QVERIFY(shown);
        QCOMPARE(argb(imaging::decodeImage(turned).value()),
                 argb(imaging::turnedClockwise(*shown, 1)));
        const std::optional<imaging::ImageProperties> properties =
            imaging::readImageProperties(turned);
        QVERIFY(properties);
        QCOMPARE(properties->orientation.value_or(1), orientation);
    }

    // Only the orientation value changes: in place where it has an entry of its own, and
    // otherwise by a directory appended at the end, the original's bytes kept before it.
    void losslessRewritesChangeOnlyTheValue()
    {
        const auto differing = [](const QByteArray& a, const QByteArray& b) {
            QList<qsizetype> at;
            for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i) {
                if (a[i] != b[i])
                    at.append(i);
            }
            return at;
        };
        const QString dng = m_files["dng"], dngTurned = path("bytes.dng");
        QVERIFY(imaging::writeRotatedFile(dng, dngTurned, 1));
        const QByteArray before = readFile(dng), after = readFile(dngTurned);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(differing(before, after).size(), 1); // one byte of a SHORT: 1 becomes 6

        const QString tif = dataFile("tiff-orientation-count7-rotate-overwrites-header.tif");
        const QString tifTurned = path("bytes.tif");
        QVERIFY(imaging::writeRotatedFile(tif, tifTurned, 1));
        const QByteArray plain = readFile(tif), appended = readFile(tifTurned);
        QVERIFY(appended.size() > plain.size());
        // The header's pointer to the first directory, and nothing else of the original.
        for (const qsizetype at : differing(plain, appended))
            QVERIFY2(at >= 4 && at < 8, qPrintable(QString::number(at)));
    }
};

QTEST_GUILESS_MAIN(TestRewrite)
#include "tst_rewrite.moc"
