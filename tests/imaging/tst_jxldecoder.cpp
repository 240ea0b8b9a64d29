#include "Fixtures.h"

#include "imaging/colour/HdrCurves.h"
#include "imaging/decoders/JxlAnimation.h"
#include "imaging/decoders/JxlDecoder.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

using namespace imaging::detail;
using namespace fixtures;
using imaging::ImageType;

namespace {

qint64 peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

// JPEG XL as decoded, and damaged and lying files giving nothing, quickly and without
// allocating for what they claim.
class TestJxlDecoder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_still;
    QByteArray m_animation;
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }
    static std::optional<QImage> decode(const QString& path, bool upright = true, bool srgb = true)
    {
        DecodeOptions options;
        options.upright = upright;
        options.forScreen = srgb;
        return decodeJxl(path, ImageType::Jxl, options);
    }
    // Everything the decoders offer, on one file: none may crash.
    static bool givesAPicture(const QString& path)
    {
        readJxlInfo(path);
        JxlAnimation animation(path);
        const bool frame = !animation.nextFrame().isNull();
        return decodeJxl(path, ImageType::Jxl, {}).has_value() || frame;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        JxlRecipe lossy;
        lossy.lossless = false;
        lossy.boxes = {{"Exif", QByteArray(4, '\0') + QByteArray("II*\0\x08\0\0\0", 8)}};
        m_still = encodeJxl({{photo(600, 400), 0}}, lossy);
        JxlRecipe animated;
        animated.animated = true;
        animated.lossless = false;
        m_animation = encodeJxl(
            {{photo(200, 150, 1), 100}, {photo(200, 150, 2), 100}, {photo(200, 150, 3), 100}},
            animated);
        QVERIFY(m_still.size() > 1000 && m_animation.size() > 1000);
        QVERIFY(givesAPicture(write("whole.jxl", m_still)));
    }

    void recognisesBothSignatures()
    {
        QVERIFY(isJxl(QByteArray("\xFF\x0A\xFA", 3)));
        QVERIFY(isJxl(QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87\x0A\0\0", 14)));
        for (const QByteArray& other : {QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87", 11),
                                        QByteArray("\xFF\xD8\xFF", 3), QByteArray("\xFF", 1)})
            QVERIFY(!isJxl(other));
    }

    // Grey pictures come as RGB, alpha stays unpremultiplied, and an opaque picture is RGBX.
    void channelsComeAsRgba_data()
    {
        QTest::addColumn<bool>("grey");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("format");
        QTest::newRow("colour") << false << QColor(200, 100, 50) << int(QImage::Format_RGBX8888);
        QTest::newRow("colour and alpha")
            << false << QColor(255, 0, 0, 128) << int(QImage::Format_RGBA8888);
        QTest::newRow("grey") << true << QColor(160, 160, 160) << int(QImage::Format_RGBX8888);
        QTest::newRow("grey and alpha")
            << true << QColor(90, 90, 90, 40) << int(QImage::Format_RGBA8888);
    }

    void channelsComeAsRgba()
    {
        QFETCH(bool, grey);
        QFETCH(QColor, colour);
        QFETCH(int, format);
        QImage picture(16, 16, colour.alpha() < 255 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        picture.fill(colour);
        JxlRecipe recipe;
        recipe.grey = grey;
        const std::optional<QImage> decoded =
            decode(write("channels.jxl", encodeJxl({{picture, 0}}, recipe)), true, false);
        QVERIFY(decoded);
        QCOMPARE(int(decoded->format()), format);
        QCOMPARE(decoded->pixelColor(8, 8), colour);
        QCOMPARE(decoded->colorSpace(), QColorSpace(QColorSpace::SRgb));
    }

    void colourProfilesAreAttached()
    {
        const QImage picture = filled(64, 64, QColor(128, 128, 128));
        JxlRecipe p3;
        p3.icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        for (const bool lossless : {true, false}) {
            p3.lossless = lossless;
            const QString path = write("p3.jxl", encodeJxl({{picture, 0}}, p3));
            const std::optional<QImage> kept = decode(path, true, false);
            QVERIFY(kept && kept->colorSpace() == QColorSpace(QColorSpace::DisplayP3));
            const std::optional<QImage> converted = decode(path);
            QVERIFY(converted && converted->colorSpace() == QColorSpace(QColorSpace::SRgb));
        }
        // A profile libjxl cannot name (a tabulated 1.8 curve), coded lossy: asked for with the
        // sRGB curve, mid grey stays mid grey instead of coming out as linear light.
        QList<quint16> table;
        for (int i = 0; i < 1024; ++i)
            table << quint16(65535 * std::pow(i / 1023.0, 1.8));
        JxlRecipe unnamed;
        unnamed.lossless = false;
        unnamed.icc = QColorSpace(QColorSpace::Primaries::AdobeRgb, table).iccProfile();
        const QString path = write("unnamed.jxl", encodeJxl({{picture, 0}}, unnamed));
        const std::optional<QImage> kept = decode(path, true, false);
        QVERIFY(kept);
        QCOMPARE(kept->colorSpace().transferFunction(), QColorSpace::TransferFunction::SRgb);
        const std::optional<QImage> shown = decode(path);
        QVERIFY(shown);
        // 128 on a 1.8 curve is 147 on the sRGB one; as linear light it would be 74.
        QVERIFY2(std::abs(qGreen(shown->pixel(32, 32)) - 147) <= 4,
                 qPrintable(QString::number(qGreen(shown->pixel(32, 32)))));
    }

    // PQ and HLG pictures come as their 16-bit signal with their primaries, and are shown
    // through the tone mapper: reference white (203 cd/m², 75 % of HLG's signal) at the same
    // grey for both. libjxl writes 10000 cd/m² as the peak of a PQ picture that names none,
    // which is taken as none named, so the mapper takes its usual 1000.
    void hdrIsToneMapped_data()
    {
        QTest::addColumn<int>("transfer");
        QTest::addColumn<int>("expected");
        QTest::addColumn<double>("white");
        QTest::newRow("PQ") << int(JXL_TRANSFER_FUNCTION_PQ) << int(HdrSignal::Transfer::Pq)
                            << nitsToPq(203);
        QTest::newRow("HLG") << int(JXL_TRANSFER_FUNCTION_HLG) << int(HdrSignal::Transfer::Hlg)
                             << 0.75;
    }

    void hdrIsToneMapped()
    {
        QFETCH(int, transfer);
        QFETCH(int, expected);
        QFETCH(double, white);
        JxlColorEncoding encoding{};
        encoding.color_space = JXL_COLOR_SPACE_RGB;
        encoding.white_point = JXL_WHITE_POINT_D65;
        encoding.primaries = JXL_PRIMARIES_2100;
        encoding.transfer_function = JxlTransferFunction(transfer);
        encoding.rendering_intent = JXL_RENDERING_INTENT_RELATIVE;
        JxlRecipe recipe;
        recipe.encoding = encoding;
        recipe.sixteenBit = true;
        const quint16 code = quint16(std::lround(white * 65535));
        QImage signal(8, 8, QImage::Format_RGBX64);
        signal.fill(QColor::fromRgba64(code, code, code));
        signal.setPixelColor(0, 0, QColor::fromRgba64(40000, 20000, 1234));
        const QString path = write("hdr.jxl", encodeJxl({{signal, 0}}, recipe));
        const std::optional<JxlPicture> picture = decodeJxlPicture(path, {}, true);
        QVERIFY(picture);
        QCOMPARE(int(picture->hdr.transfer), expected);
        QCOMPARE(picture->image.format(), QImage::Format_RGBA64);
        QCOMPARE(picture->image.pixelColor(0, 0).rgba64(),
                 QRgba64::fromRgba64(40000, 20000, 1234, 65535));
        QVERIFY(std::abs(picture->hdr.red.x() - 0.708) < 0.001);
        QVERIFY(std::abs(picture->hdr.white.y() - 0.329) < 0.001);
        QCOMPARE(hdrSourceOf(picture->hdr).primaries, Primaries::Bt2020);
        QCOMPARE(hdrSourceOf({HdrSignal::Transfer::Pq, {}, {}, {}, {}, 10000}).peakNits, 0.0);
        QCOMPARE(hdrSourceOf({HdrSignal::Transfer::Pq, {}, {}, {}, {}, 4000}).peakNits, 4000.0);

        for (const bool srgb : {true, false}) {
            const std::optional<QImage> shown = decode(path, true, srgb);
            QVERIFY(shown);
            QCOMPARE(shown->format(), QImage::Format_RGBX8888);
            QCOMPARE(shown->colorSpace(), QColorSpace(QColorSpace::SRgb));
            const QRgb grey = shown->pixel(4, 4);
            QVERIFY2(std::abs(qRed(grey) - 229) <= 2 && qRed(grey) == qGreen(grey) &&
                         qGreen(grey) == qBlue(grey),
                     qPrintable(QColor(grey).name()));
        }
        JxlRecipe animated = recipe;
        animated.animated = true;
        JxlAnimation animation(
            write("hdr-animation.jxl", encodeJxl({{signal, 100}, {signal, 100}}, animated)));
        QVERIFY(animation.isAnimated());
        QCOMPARE(animation.nextFrame().pixel(4, 4), decode(path)->pixel(4, 4));
    }

    void calledOffDecodeGivesNothing()
    {
        const QString path = write("called-off.jxl", encodeJxl({{photo(64, 64), 0}}, {}));
        std::atomic<bool> cancelled{true};
        DecodeOptions options;
        options.cancelled = &cancelled;
        QVERIFY(!decodeJxl(path, ImageType::Jxl, options));
        cancelled = false;
        QVERIFY(decodeJxl(path, ImageType::Jxl, options));
    }

    // Cut anywhere, noise after either signature, or noise in place of the picture's data
    // after intact headers.
    void damagedFilesGiveNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        for (const int length :
             {0, 1, 2, 12, 40, 100, 1000, int(m_still.size() / 2), int(m_still.size() - 1)})
            QTest::addRow("cut at %d", length) << m_still.left(length);
        for (quint32 seed = 1; seed <= 4; ++seed) {
            QRandomGenerator random(seed);
            const QByteArray noise = fixtures::noise(random, 8192);
            QTest::addRow("codestream %u", seed) << QByteArray("\xFF\x0A", 2) + noise;
            QTest::addRow("container %u", seed)
                << QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87\x0A", 12) + noise;
            QTest::addRow("data %u", seed)
                << QByteArray(m_still).replace(200, noise.size(), noise.left(m_still.size() - 200));
        }
    }

    void damagedFilesGiveNothing()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!givesAPicture(write("damaged.jxl", bytes)));
    }

    // The frames before the cut play; the animation then ends on the last good one.
    void truncatedAnimationKeepsItsGoodFrames()
    {
        const QByteArray cut = m_animation.left(m_animation.size() - m_animation.size() / 6);
        JxlAnimation animation(write("cut-animation.jxl", cut));
        QCOMPARE(animation.frameCount(), 3);
        const QImage first = animation.nextFrame();
        QVERIFY(!first.isNull());
        QVERIFY(!animation.nextFrame().isNull());
        QCOMPARE(animation.nextFrame(), first);
        QCOMPARE(animation.frameCount(), 2);
    }

    // Sizes over the budget are refused, and remembered as such, from the header alone;
    // sizes within it that the file's length could not hold are refused as damage.
    void lyingHeadersAreRefusedBeforeAllocating_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("forSize");
        QTest::newRow("100000 x 100000") << "jxl-claims-100000x100000.jxl" << true;
        QTest::newRow("200 MP and a bit") << "jxl-claims-200mp-and-a-bit.jxl" << true;
        QTest::newRow("195 MP in 100 bytes") << "jxl-claims-195mp-in-100-bytes.jxl" << false;
        QTest::newRow("12 MP of nothing") << "jxl-claims-12mp-of-nothing.jxl" << false;
    }

    void lyingHeadersAreRefusedBeforeAllocating()
    {
        QFETCH(QString, name);
        QFETCH(bool, forSize);
        const QString path = dataFile(name);
        const qint64 memoryBefore = peakMemoryKb();
        QElapsedTimer timer;
        timer.start();
        resetSizeRefusal();
        QVERIFY(!decodeJxl(path, ImageType::Jxl, {}));
        QCOMPARE(wasRefusedForSize(), forSize);
        QVERIFY(!readJxlInfo(path) || !forSize);
        QCOMPARE(JxlAnimation(path).frameCount(), 0);
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(peakMemoryKb() - memoryBefore < 64 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestJxlDecoder)
#include "tst_jxldecoder.moc"
