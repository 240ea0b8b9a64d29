#include "ApngWriter.h"
#include "Fixtures.h"

#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QtTest>

using namespace fixtures;

namespace {

QString letter(const QImage& frame)
{
    return frame.isNull() ? QStringLiteral("-") : quadrantColours(frame).left(1);
}

QImage solidRgb(QColor colour)
{
    return filled(16, 12, colour);
}

} // namespace

// JPEG XL, animated PNG and AVIF sequences through the image service, as the viewer uses it:
// shown, described, played, and refused with the right words.
class TestFormats : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString written(const QString& name, const QByteArray& bytes)
    {
        return writeFile(path(name), bytes) ? path(name) : QString();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Red, green and blue with their delays (a 5 ms one played at 100), as many times as the
    // file asks before stopping on the last frame; a file that asks nothing plays on. A JPEG XL
    // frame of no duration is drawn under the next one; a GIF is known by its content.
    void animationsPlayWithTheirDelays_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<int>>("delays");
        QTest::addColumn<int>("loops");
        apngtest::Animation apng{QSize(16, 12), {}, 2, {}, 0};
        for (const auto& [colour, numerator, denominator] :
             {std::tuple{QColor(Qt::red), 1, 10}, {QColor(Qt::green), 25, 100},
              {QColor(Qt::blue), 5, 1000}})
            apng.frames.append({apngtest::solid(16, 12, colour), {0, 0}, quint16(numerator),
                                quint16(denominator)});
        QTest::newRow("apng") << written("three.png", apngtest::apng(apng))
                              << QList<int>{100, 250, 100} << 2;
        const JxlRecipe jxl{.animated = true, .loops = 3};
        QTest::newRow("jxl") << written("three.jxl", encodeJxl({{solidRgb(Qt::red), 100},
                                                                {solidRgb(Qt::white), 0},
                                                                {solidRgb(Qt::green), 250},
                                                                {solidRgb(Qt::blue), 5}},
                                                               jxl))
                             << QList<int>{100, 250, 100} << 3;
        // avifenc 0.11 writes no edit list, which means for ever.
        QTest::newRow("avif") << dataFile("avif-sequence-rgb-5ms.avif") << QList<int>{100, 250, 100}
                              << 0;
        QTest::newRow("gif named png")
            << written("gif.png",
                       gif({solidRgb(Qt::red), solidRgb(Qt::green), solidRgb(Qt::blue)}, 50))
            << QList<int>{50, 50, 50} << 0;
    }

    void animationsPlayWithTheirDelays()
    {
        QFETCH(QString, file);
        QFETCH(QList<int>, delays);
        QFETCH(int, loops);
        QVERIFY(imaging::AnimatedImage::mayAnimate(file));
        imaging::AnimatedImage animation(file);
        QVERIFY(animation.isAnimated());
        QCOMPARE(animation.frameCount(), 3);
        QString played;
        QList<int> shownFor;
        for (int i = 0; i < 3 * std::max(loops, 2); ++i) {
            played += letter(animation.nextFrame());
            shownFor.append(animation.currentDelayMs());
        }
        QCOMPARE(played, QString("RGB").repeated(std::max(loops, 2)));
        QCOMPARE(shownFor.mid(0, 3), delays);
        QCOMPARE(shownFor.mid(3, 3), delays);
        QCOMPARE(letter(animation.nextFrame()), loops > 0 ? "-" : "R");
        // The still picture and its thumbnail are the first frame.
        QCOMPARE(letter(imaging::decodeImage(file).value_or(QImage())), QString("R"));
        QCOMPARE(letter(imaging::makeThumbnail(file).value_or(QImage())), QString("R"));
    }

    // A still picture of a type that may animate plays nothing.
    void stillsDoNotPlay()
    {
        for (const char* name : {"still.jxl", "still.png", "still.gif", "still.webp"}) {
            QVERIFY(writePicture(path(name), quadrants(24, 16)));
            QVERIFY(!imaging::AnimatedImage(path(name)).isAnimated());
        }
    }

    // An animated PNG whose default image is there for readers without animation shows its
    // first frame; one whose animation control is damaged shows that default image.
    void animatedPngShowsItsFirstFrame()
    {
        apngtest::Animation apart{QSize(16, 12), {}, 0, apngtest::solid(16, 12, Qt::yellow), 0};
        apart.frames = {{apngtest::solid(16, 12, Qt::red), {0, 0}},
                        {apngtest::solid(8, 6, Qt::green), {8, 6}}};
        const QString file = written("apart.png", apngtest::apng(apart));
        QCOMPARE(imaging::decodeImage(file)->pixelColor(2, 2), QColor(Qt::red));
        QCOMPARE(imaging::makeThumbnail(file)->pixelColor(2, 2), QColor(Qt::red));
        QCOMPARE(imaging::readImageProperties(file)->pixelWidth, 16);

        QList<apngtest::Chunk> chunks = apngtest::apngChunks(apart);
        chunks[apngtest::find(chunks, "acTL")].wrongCrc = true;
        const QString damaged = written("damaged-actl.png", apngtest::serialised(chunks));
        QCOMPARE(imaging::decodeImage(damaged)->pixelColor(2, 2), QColor(Qt::yellow));
        QVERIFY(!imaging::AnimatedImage(damaged).isAnimated());
    }

    // An orientation in an eXIf chunk turns every frame as it turns the still picture.
    void animatedPngFramesAreTurnedLikeTheStill()
    {
        const QImage stored = storedFor(quadrants(24, 16), 6);
        apngtest::Animation turned{stored.size(), {}, 0, {}, 0};
        turned.frames = {{stored.convertToFormat(QImage::Format_ARGB32), {0, 0}},
                         {stored.convertToFormat(QImage::Format_ARGB32), {0, 0}}};
        const QByteArray exif = exifBlock([](Exiv2::ExifData& data) {
            data["Exif.Image.Orientation"] = uint16_t(6);
        });
        const QString file = written(
            "turned.png", apngtest::apng(turned).insert(8 + 25, pngChunk("eXIf", exif)));
        imaging::AnimatedImage animation(file);
        QVERIFY(animation.isAnimated());
        for (int i = 0; i < 2; ++i)
            QCOMPARE(quadrantColours(animation.nextFrame()), QString("RGBW"));
        QCOMPARE(quadrantColours(imaging::decodeImage(file).value()), QString("RGBW"));
    }

    // A JPEG recompressed into JPEG XL without loss shows the JPEG's pixels, within the
    // rounding of two decoders.
    void recompressedJpegShowsTheSamePixels()
    {
        QVERIFY(photo(320, 240).save(path("photo.jpg"), "JPEG", 90));
        const QString recompressed =
            written("photo.jxl", transcodeJpeg(readFile(path("photo.jpg"))));
        const std::optional<QImage> a = imaging::decodeImage(path("photo.jpg"));
        const std::optional<QImage> b = imaging::decodeImage(recompressed);
        QVERIFY(a && b && a->size() == b->size());
        const QImage x = a->convertToFormat(QImage::Format_RGB32);
        const QImage y = b->convertToFormat(QImage::Format_RGB32);
        for (int row = 0; row < x.height(); ++row) {
            for (int col = 0; col < x.width(); ++col) {
                const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
                QVERIFY(std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))}) <= 4);
            }
        }
    }

    // The empty state's words: a size over the budget, damage, or a name that lies.
    void refusalsSayWhy_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<imaging::DecodeFailure>("why");
        const QByteArray still = encodeJxl({{photo(64, 48), 0}}, {.lossless = false});
        QTest::newRow("jxl over the budget")
            << dataFile("jxl-claims-100000x100000.jxl") << imaging::DecodeFailure::tooLarge;
        QTest::newRow("jxl cut short")
            << written("cut.jxl", still.left(still.size() / 2)) << imaging::DecodeFailure::damaged;
        QTest::newRow("jxl of a lying size")
            << dataFile("jxl-claims-195mp-in-100-bytes.jxl") << imaging::DecodeFailure::damaged;
        QTest::newRow("text named jxl")
            << written("notes.jxl", "plain words") << imaging::DecodeFailure::damaged;
        QTest::newRow("jxl named jpg")
            << written("named.jpg", still) << imaging::DecodeFailure::none;
        apngtest::Animation huge{QSize(20000, 20000), {}, 0, {}, 0};
        huge.frames = {{apngtest::solid(4, 4, Qt::red), {0, 0}},
                       {apngtest::solid(4, 4, Qt::red), {0, 0}}};
        QTest::newRow("apng over the budget")
            << written("huge.png", apngtest::apng(huge)) << imaging::DecodeFailure::tooLarge;
    }

    void refusalsSayWhy()
    {
        QFETCH(QString, file);
        QFETCH(imaging::DecodeFailure, why);
        auto failure = imaging::DecodeFailure::none;
        const std::optional<QImage> shown = imaging::decodeImage(file, &failure);
        QCOMPARE(failure, why);
        QCOMPARE(shown.has_value(), why == imaging::DecodeFailure::none);
        if (why != imaging::DecodeFailure::none)
            QCOMPARE(imaging::AnimatedImage(file).frameCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
