#include "Fixtures.h"
#include "../support/TestAccess.h"

#include "imaging/AnimatedImage.h"
#include "imaging/EarlyDecode.h"
#include "imaging/ImageService.h"
#include "imaging/decoders/Decoding.h"
#include "imaging/decoders/JxlAnimation.h"
#include "imaging/support/ImageBuffer.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace fixtures;

namespace {

// Red over blue, upright: how a reduced copy shows it was turned like the picture.
QImage redOverBlue(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QPainter(&picture).fillRect(0, size.height() / 2, size.width(), size.height() / 2, Qt::blue);
    return picture;
}

bool redAboveBlue(const QImage& image)
{
    const QRgb top = image.pixel(image.width() / 2, image.height() / 8);
    const QRgb bottom = image.pixel(image.width() / 2, image.height() * 7 / 8);
    return qRed(top) > 160 && qBlue(top) < 90 && qBlue(bottom) > 160 && qRed(bottom) < 90;
}

// The file decoded for a thumbnail this large, with the size of the whole picture when the
// decoder delivered a reduced copy.
std::pair<std::optional<QImage>, QSize> decodedFor(const QString& file, int boundingSize)
{
    QSize full;
    imaging::detail::DecodeOptions options;
    options.boundingSize = boundingSize;
    options.fullSize = &full;
    std::optional<QImage> image = imaging::detail::decodeFile(file, options);
    return {std::move(image), full};
}

} // namespace

class TestDecoding : public QObject, private FixtureFolder {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid() && writeEveryFamily()); }

    // Every family and each variant its decoder reads differently: shown and as a thumbnail at
    // the right size in sRGB, with the right colours at the quadrant centres (and the top-left
    // pixel where given), and the depth and colour model its header gives.
    void decodesAtSizeAndColour_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("colours");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("corner");
        const auto add = [this](const QString& name, const QString& kind = "8 RGB",
                                const QString& colours = "RGBW", QSize size = {240, 160},
                                QColor corner = {}) {
            QTest::newRow(qPrintable(name)) << path(name) << kind << colours << size << corner;
        };
        for (const QString& ext : kFamilies)
            add("picture." + ext, ext == "dng" ? "12 RGB" : "8 RGB");

        QImage alpha = m_picture.convertToFormat(QImage::Format_ARGB32);
        alpha.setPixel(0, 0, qRgba(200, 100, 50, 3)); // kept only by straight alpha
        const auto addPsd = [&](const char* name, const PsdParams& params, const QString& kind,
                                const QString& colours = "RGBW") {
            QVERIFY(writeFile(path(name), psdBytes(params.alpha ? alpha : m_picture, params)));
            add(name, kind, colours, m_picture.size(),
                params.alpha ? alpha.pixelColor(0, 0) : QColor());
        };
        addPsd("rle16.psd", {.depth = 16, .rle = true}, "16 RGB");
        addPsd("cmyk.psd", {.colorMode = 4, .rle = true}, "8 CMYK");
        addPsd("indexed.psd", {.colorMode = 2}, "8 RGB");
        addPsd("grey.psd", {.colorMode = 1}, "8 Gray", "K?KW");
        addPsd("alpha.psd", {.alpha = true}, "8 RGB");
        addPsd("psb.psd", {.rle = true, .alpha = true, .version = 2}, "8 RGB");

        QVERIFY(writeHeif(path("deep.heic"), m_picture, {.bitDepth = 10}));
        add("deep.heic", "10 RGB");
        QVERIFY(writePicture(path("deep.png"), m_picture.convertToFormat(QImage::Format_RGBX64)));
        add("deep.png", "16 RGB");
        QVERIFY(
            writePicture(path("grey.jpg"), m_picture.convertToFormat(QImage::Format_Grayscale8)));
        add("grey.jpg", "8 Gray", "?WKW");
        // One bit a pixel: Qt scales such images as one-bit, dithered to black and white.
        QImage twoColour(300, 200, QImage::Format_Mono);
        twoColour.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
        twoColour.fill(0);
        for (int y = 100; y < 200; ++y)
            std::fill_n(twoColour.scanLine(y), twoColour.bytesPerLine(), uchar(0xff));
        QVERIFY(writePicture(path("two-colour.png"), twoColour));
        add("two-colour.png", "8 RGB", "RRBB", twoColour.size());
        QTest::newRow("sizes.ico") << dataFile("ico-sizes-16-48-32.ico") << "8 RGB"
                                   << "RGBW" << QSize(48, 48) << QColor(); // the largest entry

        // Display P3 from an ICC profile or an nclx box.
        QImage p3(64, 48, QImage::Format_RGB32);
        p3.fill(QColor(200, 100, 50));
        p3.setColorSpace(QColorSpace::DisplayP3);
        const QColor inSrgb =
            p3.colorSpace().transformationToColorSpace(QColorSpace::SRgb).map(QColor(200, 100, 50));
        QVERIFY(p3.save(path("p3.png")));
        QVERIFY(p3.save(path("p3.jpg"), "JPEG", 100));
        QVERIFY(writeHeif(path("p3-icc.heic"), p3, {.icc = p3.colorSpace().iccProfile()}));
        QVERIFY(writeHeif(path("p3-nclx.heic"), p3, {.nclxPrimaries = 12}));
        QVERIFY(writeFile(path("p3.psd"), psdBytes(p3, {.icc = p3.colorSpace().iccProfile()})));
        QVERIFY(
            writeFile(path("p3.jxl"), encodeJxl({{p3, 0}}, {.icc = p3.colorSpace().iccProfile()})));
        for (const char* name :
             {"p3.png", "p3.jpg", "p3-icc.heic", "p3-nclx.heic", "p3.psd", "p3.jxl"})
            add(name, "8 RGB", "", p3.size(), inSrgb);

        // 280 MB decoded: more than Qt allows unless told otherwise.
        QImage big(10000, 7000, QImage::Format_RGB32);
        big.fill(QColor(30, 60, 90));
        QVERIFY(writePicture(path("big.jpg"), big));
        add("big.jpg", "8 RGB", "", big.size(), big.pixelColor(0, 0));
    }

    void decodesAtSizeAndColour()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, colours);
        QFETCH(QSize, size);
        QFETCH(QColor, corner);
        const std::optional<QImage> image = imaging::decodeImage(file);
        const std::optional<QImage> thumbnail = imaging::makeThumbnail(file);
        QVERIFY(image && thumbnail);
        QCOMPARE(image->size(), size);
        QCOMPARE(thumbnail->size(), size.boundedTo({120, 120}) == size
                                        ? size
                                        : size.scaled(120, 120, Qt::KeepAspectRatio));
        QVERIFY(!image->colorSpace().isValid() || image->colorSpace() == QColorSpace::SRgb);
        if (!colours.isEmpty()) {
            QCOMPARE(quadrantColours(*image) + quadrantColours(*thumbnail), colours + colours);
            // As the zoom surface scales it.
            const QImage scaled = image->scaled(image->size() * 2 / 5, Qt::IgnoreAspectRatio,
                                                Qt::SmoothTransformation);
            QCOMPARE(quadrantColours(scaled), colours);
        }
        const QColor got = image->pixelColor(0, 0);
        const auto near = [](int a, int b) { return std::abs(a - b) <= 6; };
        QVERIFY2(!corner.isValid() ||
                     (near(got.red(), corner.red()) && near(got.green(), corner.green()) &&
                      near(got.blue(), corner.blue()) && got.alpha() == corner.alpha()),
                 qPrintable(got.name(QColor::HexArgb)));
        const std::optional<imaging::ImageProperties> properties =
            imaging::readImageProperties(file);
        QVERIFY(properties && properties->pixelWidth && properties->pixelHeight);
        QCOMPARE(QSize(int(*properties->pixelWidth), int(*properties->pixelHeight)), size);
        QCOMPARE(QStringLiteral("%1 %2")
                     .arg(properties->depth.value_or(0))
                     .arg(properties->colorModel.value_or("")),
                 kind);
    }

    void orientationsShowTheSamePicture_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QTest::addRow("jpg-%d", orientation) << "jpg" << orientation;
            QTest::addRow("tif-%d", orientation) << "tif" << orientation;
        }
        for (const auto& [ext, orientation] :
             {std::pair{"png", 5}, {"webp", 7}, {"psd", 2}, {"heic", 6}, {"avif", 8}, {"dng", 6},
              {"jxl", 6}, {"jxl", 5}})
            QTest::addRow("%s-%d", ext, orientation) << QString(ext) << orientation;
    }

    // Shown upright however it is stored, and as stored when asked. HEIF and JPEG XL files carry
    // the value twice, in their own boxes or codestream and in Exif, as phones and cjxl write
    // them: both applied would turn it.
    void orientationsShowTheSamePicture()
    {
        QFETCH(QString, ext);
        QFETCH(int, orientation);
        const QImage stored = storedFor(m_picture, orientation);
        const QString file = path(QStringLiteral("oriented-%1.%2").arg(orientation).arg(ext));
        QVERIFY(writePicture(file, stored, orientation));
        const std::optional<QImage> shown = imaging::decodeImage(file);
        const std::optional<QImage> thumbnail = imaging::makeThumbnail(file);
        QVERIFY(shown && thumbnail);
        QCOMPARE(shown->size(), m_picture.size());
        QCOMPARE(thumbnail->size(), m_picture.size() / 2);
        QCOMPARE(quadrantColours(*shown) + quadrantColours(*thumbnail), QStringLiteral("RGBWRGBW"));
        if (ext == "jxl") // played frames are turned too
            QCOMPARE(quadrantColours(imaging::detail::JxlAnimation(file).nextFrame()), "RGBW");
        if (ext == "heic" || ext == "avif")
            return;
        QCOMPARE(imaging::readImageProperties(file).value().orientation, orientation);
        const std::optional<QImage> asStored = imaging::decodeAsStored(file);
        QVERIFY(asStored);
        QCOMPARE(asStored->size(), stored.size());
        QCOMPARE(quadrantColours(*asStored), quadrantColours(stored));
    }

    void decodesAreCountedWithTheirThread()
    {
        const quint64 total = TestAccess::decodeCount(), onMain = TestAccess::mainThreadDecodeCount();
        QVERIFY(imaging::decodeImage(m_files["png"]));
        const QString file = m_files["jpg"];
        std::optional<QImage> onWorker; // a thread of its own: a pool may run it here instead
        std::thread([&] { onWorker = imaging::decodeImage(file); }).join();
        QVERIFY(onWorker);
        QVERIFY(imaging::makeThumbnail(file)); // not a decode for display
        QCOMPARE(TestAccess::decodeCount(), total + 2);
        QCOMPARE(TestAccess::mainThreadDecodeCount(), onMain + 1);
    }

    // A preload called off part way gives up instead of finishing a picture nobody will see.
    void calledOffDecodesGiveNothing()
    {
        QImage photo(1600, 1200, QImage::Format_RGB32);
        photo.fill(Qt::darkCyan);
        const QString file = path("called-off.jpg");
        QVERIFY(photo.save(file, "JPEG"));
        std::atomic<bool> cancelled{true};
        QVERIFY(!imaging::decodeImage(file, nullptr, &cancelled));
        cancelled = false;
        const std::optional<QImage> image = imaging::decodeImage(file, nullptr, &cancelled);
        QVERIFY(image);
        // Three bytes a pixel, straight from the decoder.
        QCOMPARE(image->format(), QImage::Format_RGB888);
        QCOMPARE(image->size(), photo.size());
    }

    // Decoders write into these: rows laid out as QImage would, zero until written, and a copy
    // that is changed never writes into the original's memory.
    void newImagesStartZeroedWithQtsLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("small") << QSize(301, 7) << QImage::Format_Grayscale8;
        QTest::newRow("large, odd grey rows") << QSize(3001, 1001) << QImage::Format_Grayscale8;
        QTest::newRow("large, 32-bit") << QSize(2000, 1500) << QImage::Format_RGB32;
    }

    void newImagesStartZeroedWithQtsLayout()
    {
        QFETCH(QSize, size);
        QFETCH(QImage::Format, format);
        QImage image = imaging::newImage(size.width(), size.height(), format);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.format(), format);
        QCOMPARE(image.bytesPerLine(), QImage(size, format).bytesPerLine());
        const auto* bytes = image.constBits();
        QVERIFY(std::all_of(bytes, bytes + image.sizeInBytes(), [](uchar b) { return b == 0; }));
        image.setPixel(size.width() - 1, size.height() - 1, 0xffffffff);
        const QImage kept = image;
        image.setPixel(0, 0, 0xffffffff);
        QCOMPARE(kept.pixel(0, 0) & 0xffffff, 0u);
        QVERIFY(kept.pixel(size.width() - 1, size.height() - 1) != kept.pixel(0, 0));
    }

    void newImagesRefuseImpossibleSizes()
    {
        QVERIFY(imaging::newImage(0, 10, QImage::Format_RGB32).isNull());
        QVERIFY(imaging::newImage(10, 10, QImage::Format_Invalid).isNull());
        QVERIFY(imaging::newImage(1 << 30, 4, QImage::Format_RGB32).isNull());
    }

    // The image decoded while the application starts is used once, and only if unchanged.
    void earlyDecodeIsTakenOnceWhileTheFileIsUnchanged_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("JPEG") << "JPEG";
        QTest::newRow("PNG") << "PNG";
    }
    void earlyDecodeIsTakenOnceWhileTheFileIsUnchanged()
    {
        QFETCH(QString, format);
        const QString file = path("early." + format.toLower());
        const QByteArray type = format.toLatin1();
        QImage first(64, 48, QImage::Format_RGB32);
        first.fill(Qt::red);
        QVERIFY(first.save(file, type.constData()));
        {
            imaging::EarlyDecode early(file);
            const auto taken = early.takeResult(file);
            QVERIFY(taken && taken->first && taken->first->size() == first.size());
            QVERIFY(!early.takeResult(file));
            QVERIFY(!early.takeResult(path("other." + format.toLower())));
        }
        {
            // Rewritten while it was read: nothing to take, the file is decoded afresh.
            imaging::EarlyDecode early(file);
            early.done().waitForFinished();
            QImage second(32, 32, QImage::Format_RGB32);
            second.fill(Qt::blue);
            QVERIFY(second.save(file, type.constData()));
            QVERIFY(!early.takeResult(file));
        }
        imaging::EarlyDecode early(file);
        const auto taken = early.takeResult(file);
        QVERIFY(taken && taken->first && taken->first->size() == QSize(32, 32));
    }

    // A window smaller than the photo gets a preview first: upright, decoded no smaller than
    // the fitted picture, and the whole picture follows. A window as large gets the whole at
    // once.
    void earlyPreviewFitsTheWindowAndTheWholePictureFollows()
    {
        const QString file = path("preview6.jpg");
        QImage upright(400, 800, QImage::Format_RGB32);
        upright.fill(Qt::red);
        QPainter(&upright).fillRect(0, 400, 400, 400, Qt::blue);
        QVERIFY(writePicture(file, storedFor(upright, 6), 6));
        const auto isRed = [](QRgb c) { return qRed(c) > 200 && qBlue(c) < 60; };
        const auto isBlue = [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; };
        {
            // Fitted into 100 x 120 the photo is 60 x 120: an eighth (50 x 100) is too small.
            imaging::EarlyDecode early(file, [] { return QSize(100, 120); });
            const std::optional<imaging::Preview> preview = early.takePreview(file);
            QVERIFY(preview);
            QCOMPARE(preview->fullSize, QSize(400, 800));
            QCOMPARE(preview->image.size(), QSize(100, 200));
            QVERIFY(isRed(preview->image.pixel(50, 20)) && isBlue(preview->image.pixel(50, 180)));
            QVERIFY(!early.takePreview(file));
            // The whole decode waits for the preview to be on screen.
            early.previewShown();
            early.done().waitForFinished();
            const std::optional<QImage> whole = imaging::decodeImage(file);
            QVERIFY(whole && whole->size() == QSize(400, 800));
            QVERIFY(isRed(whole->pixel(200, 100)) && isBlue(whole->pixel(200, 700)));
        }
        for (const QSize window : {QSize(400, 800), QSize()}) {
            imaging::EarlyDecode early(file, [window] { return window; });
            QVERIFY(!early.takePreview(file));
            const std::optional<QImage> whole = imaging::decodeImage(file);
            QVERIFY(whole && whole->size() == QSize(400, 800));
        }
    }

    // A HEIF file's own thumbnail, or a raw file's preview as cameras store it (plain RGB or
    // JPEG, turned as the sensor's data is), is read instead of the whole picture where it is
    // enough: for a thumbnail no larger, and as the preview at start, however small. It is
    // turned like the picture; one of another shape is not a copy of it and is never used.
    void embeddedPreviewsStandInForThePicture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("odd");
        QTest::addColumn<QSize>("oddSize"); // decoded instead: raw files develop at half size
        const QImage stored = storedFor(redOverBlue({200, 400}), 6);
        QVERIFY(
            writeHeif(path("thumbnailed6.heic"), stored, {.orientation = 6, .thumbnailSide = 160}));
        // The same, with a green 100 x 100 thumbnail.
        QTest::newRow("heic") << path("thumbnailed6.heic")
                              << dataFile("heic-square-thumbnail-not-the-picture.heic")
                              << QSize(200, 400);
        for (const bool jpeg : {false, true}) {
            const QString file = path(QStringLiteral("previewed6-%1.dng").arg(jpeg));
            const QString odd = path(QStringLiteral("square6-%1.dng").arg(jpeg));
            QVERIFY(writeDng(file, stored, 6) &&
                    appendDngPreview(file, stored.scaled(160, 80), jpeg));
            QVERIFY(writeDng(odd, stored, 6) &&
                    appendDngPreview(odd, stored.scaled(100, 100), jpeg));
            QTest::newRow(jpeg ? "dng, JPEG preview" : "dng, RGB preview")
                << file << odd << QSize(100, 200);
        }
    }
    void embeddedPreviewsStandInForThePicture()
    {
        QFETCH(QString, file);
        QFETCH(QString, odd);
        QFETCH(QSize, oddSize);
        const QSize upright(200, 400);
        const auto [small, full] = decodedFor(file, 120);
        QVERIFY(small && redAboveBlue(*small));
        QCOMPARE(small->size(), QSize(80, 160));
        QCOMPARE(full, upright);
        const std::optional<QImage> strip = imaging::makeThumbnail(file);
        QVERIFY(strip && strip->size() == QSize(60, 120) && redAboveBlue(*strip));
        // Asked for more than the preview holds: the whole picture.
        const std::optional<QImage> large = imaging::makeThumbnail(file, 200);
        QVERIFY(large && large->size() == QSize(100, 200) && redAboveBlue(*large));
        {
            imaging::EarlyDecode early(file, [] { return QSize(150, 200); });
            const std::optional<imaging::Preview> preview = early.takePreview(file);
            QVERIFY(preview && preview->image.size() == QSize(80, 160));
            QVERIFY(redAboveBlue(preview->image));
            QCOMPARE(preview->fullSize, upright);
            early.previewShown();
            early.done().waitForFinished();
            const std::optional<QImage> whole = imaging::decodeImage(file);
            QVERIFY(whole && whole->size() == upright && redAboveBlue(*whole));
        }
        const auto [refused, oddFull] = decodedFor(odd, 60);
        QVERIFY(refused && refused->size() == oddSize && redAboveBlue(*refused));
        QVERIFY(!oddFull.isValid());
        imaging::EarlyDecode early(odd, [] { return QSize(150, 200); });
        QVERIFY(!early.takePreview(odd));
    }

    // Every entry point must survive files that lie, end early or are not files at all.
    void damagedFilesGiveNothing_data()
    {
        QTest::addColumn<QString>("file");
        QRandomGenerator random(1);
        const auto noise = [&random](int size) { return fixtures::noise(random, size); };
        for (const QString& ext : kFamilies) {
            const QByteArray whole = readFile(m_files[ext]);
            const std::pair<const char*, QByteArray> variants[] = {
                {"truncated", whole.left(whole.size() * 6 / 10)},
                {"header-only", whole.left(32)},
                {"signature-then-noise", whole.left(16) + noise(4000)},
                {"noise", noise(4096)}};
            for (const auto& [kind, bytes] : variants) {
                // A JPEG cut off part way shows what it holds (cutOffJpegShowsItsRows).
                if (ext == "jpg" && QByteArray(kind) == "truncated")
                    continue;
                const QString file = path(QStringLiteral("%1.%2").arg(kind, ext));
                QVERIFY(writeFile(file, bytes));
                QTest::addRow("%s-%s", kind, qPrintable(ext)) << file;
            }
        }
        QVERIFY(writeFile(path("empty.jpg"), {}));
        QTest::newRow("empty") << path("empty.jpg");
    }

    void damagedFilesGiveNothing()
    {
        QFETCH(QString, file);
        auto why = imaging::DecodeFailure::none;
        QVERIFY(!imaging::decodeImage(file, &why));
        QCOMPARE(why, imaging::DecodeFailure::damaged);
        QVERIFY(!imaging::makeThumbnail(file));
        imaging::readImageProperties(file); // may be read from the header alone
        QVERIFY(imaging::extractMetadata(file).size() <= 4);
        imaging::AnimatedImage animation(file);
        for (int i = 0; i < animation.frameCount() && i < 3; ++i)
            animation.nextFrame();
    }

    // A JPEG whose data ends part way (a card fault) gives the rows it holds, the rest neutral
    // grey, marked incomplete, upright; one with no readable row (progressive, its first scan
    // cut) stays refused as damaged.
    void cutOffJpegShowsItsRows_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("orientation");
        QTest::newRow("baseline") << false << 1;
        QTest::newRow("baseline, turned by Exif") << false << 6;
        QTest::newRow("progressive") << true << 1;
    }
    void cutOffJpegShowsItsRows()
    {
        QFETCH(bool, progressive);
        QFETCH(int, orientation);
        // Noise on top, so that the data runs out in the lower half.
        QImage stored(320, 240, QImage::Format_RGB32);
        QRandomGenerator random(3);
        for (int y = 0; y < stored.height(); ++y) {
            for (int x = 0; x < stored.width(); ++x)
                stored.setPixel(x, y, y < 120 ? random.generate() | 0xFF000000u : 0xFF2040E0u);
        }
        QByteArray whole;
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        writer.setProgressiveScanWrite(progressive);
        QVERIFY(writer.write(stored));
        const QString file = path(QStringLiteral("cut-%1-%2.jpg").arg(progressive).arg(orientation));
        QVERIFY(writeFile(file, whole));
        if (orientation != 1) {
            QVERIFY(fixtures::editExif(file, [orientation](Exiv2::ExifData& exif) {
                exif["Exif.Image.Orientation"] = uint16_t(orientation);
            }));
            whole = readFile(file);
        }
        QVERIFY(writeFile(file, whole.left(whole.size() * 6 / 10)));

        auto why = imaging::DecodeFailure::none;
        const std::optional<QImage> image = imaging::decodeImage(file, &why);
        if (progressive) {
            QVERIFY(!image);
            QCOMPARE(why, imaging::DecodeFailure::damaged);
            return;
        }
        QVERIFY(image);
        QVERIFY(imaging::isIncomplete(*image));
        QVERIFY(!imaging::isIncomplete(*imaging::decodeImage(m_files["jpg"])));
        // The stored top is on the right after a quarter turn clockwise.
        const bool turned = orientation == 6;
        QCOMPARE(image->size(), turned ? QSize(240, 320) : QSize(320, 240));
        const QPoint readArea = turned ? QPoint(220, 160) : QPoint(160, 20);
        const QPoint lostArea = turned ? QPoint(10, 160) : QPoint(160, 230);
        QCOMPARE(image->pixel(lostArea), qRgb(128, 128, 128));
        QVERIFY(image->pixel(readArea) != qRgb(128, 128, 128));
        QVERIFY(qAbs(qRed(image->pixel(readArea)) - qRed(stored.pixel(160, 20))) < 40 || turned);
    }

    // Headers claiming billions of pixels, or far more than the data holds.
    void oversizedImagesAreRefusedQuickly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<imaging::DecodeFailure>("why");
        const auto add = [this](const char* name, const QByteArray& bytes,
                                imaging::DecodeFailure why = imaging::DecodeFailure::tooLarge) {
            QVERIFY(writeFile(path(name), bytes));
            QTest::newRow(name) << path(name) << why;
        };
        // Sets big-endian 32-bit sizes at these offsets.
        const auto claiming = [](QByteArray bytes, const QList<qsizetype>& offsets, quint32 size) {
            for (const qsizetype at : offsets)
                qToBigEndian(size, bytes.data() + at);
            return bytes;
        };
        QByteArray png = readFile(m_files["png"]), heic = readFile(m_files["heic"]);
        add("bomb.png",
            png.replace(8, 25, pngChunk("IHDR", claiming(png.mid(16, 13), {0, 4}, 100000))));
        QList<qsizetype> ispe; // every image's spatial extents
        for (qsizetype at = heic.indexOf("ispe"); at > 0; at = heic.indexOf("ispe", at + 4))
            ispe << at + 8 << at + 12;
        QVERIFY(!ispe.isEmpty());
        add("bomb.heic", claiming(heic, ispe, 60000));
        add("bomb.psd", claiming(psdBytes(quadrants(8, 8)), {14, 18}, 30000));
        // 196 megapixels, within the limit, but RLE rows far too short to fill it.
        const QByteArray rle = claiming(
            psdBytes(quadrants(8, 8), {.rle = true}).left(26 + 3 * 4 + 2), {14, 18}, 14000);
        add("lying-rle.psd",
            rle + QByteArray("\x00\x02", 2).repeated(3 * 14000) + QByteArray(3 * 14000 * 2, '\x80'),
            imaging::DecodeFailure::damaged);
        // Never to be shown through a smaller preview instead.
        QVERIFY(writeDng(path("bomb.dng"), quadrants(64, 2), 1, QSize(30000, 30000)));
        QTest::newRow("bomb.dng") << path("bomb.dng") << imaging::DecodeFailure::tooLarge;
    }

    void oversizedImagesAreRefusedQuickly()
    {
        QFETCH(QString, file);
        QFETCH(imaging::DecodeFailure, why);
        QElapsedTimer timer;
        timer.start();
        auto failure = imaging::DecodeFailure::none;
        QVERIFY(!imaging::decodeImage(file, &failure));
        QCOMPARE(failure, why);
        QVERIFY(!imaging::makeThumbnail(file));
        QVERIFY(!imaging::writeRotatedPixels(file, file + ".turned", 1));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    void nonRegularFilesAreNeverOpened()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("album.jpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.png")).constData(), 0600), 0);
        QVERIFY(writeFile(path("notes.txt"), "plain words"));
        const std::pair<QString, imaging::DecodeFailure> files[] = {
            {path("album.jpg"), imaging::DecodeFailure::unsupported},
            {path("pipe.png"), imaging::DecodeFailure::unsupported},
            {path("notes.txt"), imaging::DecodeFailure::unsupported},
            {path("missing.png"), imaging::DecodeFailure::missing}};
        for (const auto& [file, why] : files) {
            auto failure = imaging::DecodeFailure::none;
            QVERIFY(!imaging::decodeImage(file, &failure));
            QCOMPARE(failure, why);
            QVERIFY(!imaging::readImageProperties(file));
            QVERIFY(!imaging::writeRotatedFile(file, file + ".turned", 1));
            QVERIFY(imaging::extractMetadata(file).size() <= 1);
            QCOMPARE(imaging::AnimatedImage(file).frameCount(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
