#include "../support/AllocationWatch.h"
#include "Fixtures.h"

#include "imaging/AnimatedImage.h"
#include "imaging/checks/ContainerChecks.h"
#include "imaging/EarlyDecode.h"
#include "imaging/ImageService.h"
#include "imaging/checks/TruncationChecks.h"

#include <QElapsedTimer>
#include <QtTest>

#include <malloc.h>

using imaging::DecodeFailure;

namespace {

constexpr std::size_t kAllocationCeiling = std::size_t(1) << 30;

using fixtures::dataFile;

// Every image the service hands out for a file besides decodeImage: as stored, as a thumbnail
// and the first frames of its animation.
QList<QImage> otherImages(const QString& file)
{
    QList<QImage> images;
    for (const std::optional<QImage>& image :
         {imaging::decodeAsStored(file), imaging::makeThumbnail(file)}) {
        if (image)
            images.append(*image);
    }
    imaging::AnimatedImage animation(file);
    for (int i = 0; i < std::min(animation.frameCount(), 3); ++i)
        images.append(animation.nextFrame());
    return images;
}

QByteArray pixelBytes(const QString& file)
{
    QList<QImage> images = otherImages(file);
    if (const std::optional<QImage> shown = imaging::decodeImage(file))
        images.append(*shown);
    QByteArray bytes;
    for (const QImage& image : images) {
        for (int y = 0; y < image.height(); ++y)
            bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)),
                         image.bytesPerLine());
    }
    return bytes;
}

// Pixels a decoder never wrote differ between runs with different glibc perturb bytes (under a
// sanitizer both runs agree and this proves nothing).
bool pixelsAreDefined(const QString& file)
{
    mallopt(M_PERTURB, 0x5A);
    const QByteArray first = pixelBytes(file);
    mallopt(M_PERTURB, 0xA5);
    const QByteArray second = pixelBytes(file);
    mallopt(M_PERTURB, 0);
    return first == second;
}

} // namespace

// Files a mutation run found, each named after what it broke.
class TestDamagedFixtures : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    // Refused before anything large is allocated, or shown with every pixel defined, the same
    // way by every entry point.
    void refusedCheaplyOrShownWhole_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<DecodeFailure>("why");
        QTest::addColumn<QSize>("size");
        const auto refused = [](const char* name, DecodeFailure why) {
            QTest::newRow(name) << dataFile(name) << why << QSize();
        };
        const auto shown = [](const char* name, QSize size) {
            QTest::newRow(name) << dataFile(name) << DecodeFailure::none << size;
        };
        refused("png-text-chunk-claims-2gib.png", DecodeFailure::damaged);
        refused("png-exif-chunk-claims-2gib.png", DecodeFailure::damaged);
        refused("gif-screen-65535x3392.gif", DecodeFailure::tooLarge);
        refused("gif-screen-larger-than-properties.gif", DecodeFailure::damaged);
        refused("webp-canvas-96x2293824.webp", DecodeFailure::tooLarge);
        refused("webp-canvas-524384x64.webp", DecodeFailure::damaged);
        refused("webp-lossy-543mb-allocation.webp", DecodeFailure::damaged);
        refused("bmp-core-header-size-65536.bmp", DecodeFailure::damaged);
        refused("bmp-truncated-frame-undefined-rows-a.bmp", DecodeFailure::damaged);
        refused("bmp-truncated-frame-undefined-rows-b.bmp", DecodeFailure::damaged);
        refused("avif-decoder-data-leak.avif", DecodeFailure::damaged);
        // Its colour profile is read (and freed) before the AV1 decoder finds the frame corrupt.
        refused("avif-unknown-nclx-primaries-leak.avif", DecodeFailure::damaged);
        refused("dng-cfa16-uninitialised-read.dng", DecodeFailure::damaged);
        // Run-length data that could not paint a fraction of the pixels its header claims.
        refused("bmp-rle8-190mp-from-1377-bytes.bmp", DecodeFailure::damaged);
        // The preview lies past the end, and so does the sensor's data.
        refused("dng-truncated-preview-uninitialised.dng", DecodeFailure::damaged);
        // Its preview's directory lies about its samples; LibRaw wrote past its buffer for it.
        shown("dng-libraw-unpack-thumb-heap-overflow.dng", {32, 48});
        // Pixels that point past a short colour table.
        shown("bmp-palette-index-overread.bmp", {160, 4});
        shown("bmp-4bit-index-beyond-palette.bmp", {48, 32});
        shown("bmp-rle8-undefined-rows-a.bmp", {96, 64});
        shown("bmp-rle8-undefined-rows-b.bmp", {96, 64});
        shown("tiff-named-nef-undefined-rows.nef", {30, 40});
        // libjxl and dav1d print what they find wrong on stderr, from the decoders' threads.
        refused("jxl-damaged-groups-print-failures.jxl", DecodeFailure::damaged);
        shown("avif-sequence-damaged-frame-prints.avif", {32, 24});
    }

    void refusedCheaplyOrShownWhole()
    {
        QFETCH(QString, file);
        QFETCH(DecodeFailure, why);
        QFETCH(QSize, size);
        QVERIFY(QFileInfo::exists(file));
        QElapsedTimer timer;
        timer.start();
        allocationwatch::reset();
        auto failure = DecodeFailure::none;
        const std::optional<QImage> image = imaging::decodeImage(file, &failure);
        const QList<QImage> others = otherImages(file);
        const std::optional<imaging::ImageProperties> properties =
            imaging::readImageProperties(file);
        imaging::extractMetadata(file);
        QVERIFY2(allocationwatch::largest() < kAllocationCeiling,
                 qPrintable(QString::number(allocationwatch::largest())));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(failure, why);
        QCOMPARE(image ? image->size() : QSize(), size);
        if (!image)
            QCOMPARE(others.size(), 0); // no thumbnail, no stored copy, no animation frame
        else
            QVERIFY(properties && properties->pixelWidth);
        QVERIFY(pixelsAreDefined(file));
    }

    // A preview whose content is not the picture's (magenta, where the picture is red, green,
    // blue and white) is never shown for it: not as a thumbnail, not at start.
    void previewsThatAreNotThePicture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("dng") << dataFile("dng-preview-differs-from-picture.dng");
        QTest::newRow("heic") << dataFile("heic-thumbnail-differs-from-picture.heic");
    }
    void previewsThatAreNotThePicture()
    {
        QFETCH(QString, file);
        const QString picture = fixtures::quadrantColours(imaging::decodeImage(file).value());
        QVERIFY2(!picture.contains('?'), qPrintable(picture));
        const std::optional<QImage> thumbnail = imaging::makeThumbnail(file, 128);
        QVERIFY(thumbnail && thumbnail->size() == QSize(128, 32));
        QCOMPARE(fixtures::quadrantColours(*thumbnail), picture);
        imaging::EarlyDecode early(file, [] { return QSize(100, 100); });
        if (const std::optional<imaging::Preview> preview = early.takePreview(file))
            QCOMPARE(preview->image.size(), QSize(256, 64));
    }

    // The checks of a BMP's header are each safe on a header no other check has looked at.
    void bmpChecksStandOnTheirOwn()
    {
        const QString file = dataFile("bmpiscomplete-overflow-30b.bin");
        QVERIFY(!imaging::detail::looksComplete(file, imaging::ImageType::Bmp));
        QVERIFY(!imaging::detail::containerIsSound(file, imaging::ImageType::Bmp));
    }

    // What the checks against lying headers must let through: data that compresses extremely
    // well, a still WebP with Exif, a GIF screen larger than its frame, HEIC alpha at odd sides.
    void soundFilesAtTheEdgesStillShow_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("alpha"); // at the centre; -1 opaque
        QImage flat(4000, 3000, QImage::Format_RGB32);
        flat.fill(QColor(20, 40, 60));
        const QString png = m_dir.filePath("flat.png"), jpg = m_dir.filePath("flat.jpg");
        QVERIFY(flat.save(png) && flat.save(jpg));
        QTest::newRow("flat.png") << png << flat.size() << -1;
        QTest::newRow("flat.jpg") << jpg << flat.size() << -1;
        const QString webp = m_dir.filePath("exif.webp");
        QVERIFY(fixtures::writePicture(webp, fixtures::quadrants(1200, 1000), 1));
        QVERIFY(fixtures::readFile(webp).contains("VP8X"));
        QTest::newRow("exif.webp") << webp << QSize(1200, 1000) << -1;
        QByteArray gif = fixtures::gif({fixtures::quadrants(600, 450)});
        qToLittleEndian<quint16>(1200, gif.data() + 6);
        qToLittleEndian<quint16>(900, gif.data() + 8);
        QVERIFY(fixtures::writeFile(m_dir.filePath("screen.gif"), gif));
        QTest::newRow("screen.gif") << m_dir.filePath("screen.gif") << QSize(1200, 900) << -1;
        QTest::newRow("heic 2000x1333")
            << dataFile("heic-alpha-odd-height-showed-nothing.heic") << QSize(2000, 1333) << 153;
        QTest::newRow("heic 1999x1333")
            << dataFile("heic-alpha-odd-width-showed-nothing.heic") << QSize(1999, 1333) << 153;
    }

    void soundFilesAtTheEdgesStillShow()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(int, alpha);
        auto why = DecodeFailure::none;
        const QImage image = imaging::decodeImage(file, &why).value_or(QImage());
        QCOMPARE(why, DecodeFailure::none);
        QCOMPARE(image.size(), size);
        QVERIFY(alpha < 0 || image.hasAlphaChannel());
        const int shown = image.pixelColor(size.width() / 2, size.height() / 2).alpha();
        QVERIFY2(alpha < 0 || std::abs(shown - alpha) <= 3, qPrintable(QString::number(shown)));
        QVERIFY(imaging::makeThumbnail(file));
    }
};

QTEST_GUILESS_MAIN(TestDamagedFixtures)
#include "tst_damagedfixtures.moc"
