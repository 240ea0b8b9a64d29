#include "Fixtures.h"

#include "imaging/colour/HdrCurves.h"
#include "imaging/decoders/JxlAnimation.h"
#include "imaging/decoders/JxlDecoder.h"

#include <QColorSpace>
#include <QTemporaryDir>
#include <QtTest>

using namespace imaging::detail;
using namespace fixtures;
using imaging::ImageType;

class TestJxlDecoder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
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

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void recognisesBothSignatures()
    {
        QVERIFY(isJxl(QByteArray("\xFF\x0A\xFA", 3)));
        QVERIFY(isJxl(QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87\x0A\0\0", 14)));
        QVERIFY(!isJxl(QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87", 11)));
        QVERIFY(!isJxl(QByteArray("\xFF\xD8\xFF", 3)));
        QVERIFY(!isJxl(QByteArray("\xFF", 1)));
        // Both kinds of file made by the encoder.
        const QList<JxlFrame> frame{{quadrants(16, 16), 0}};
        QVERIFY(isJxl(encodeJxl(frame, {})));
        JxlRecipe boxed;
        boxed.container = true;
        QVERIFY(isJxl(encodeJxl(frame, boxed)));
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

    // The codestream's orientation, written by the encoder, is applied when upright and left
    // alone otherwise, and reported either way.
    void orientationIsAppliedOrKept()
    {
        JxlRecipe recipe;
        recipe.orientation = 6;
        // Stored turned a quarter counter-clockwise, to be shown turned clockwise.
        const QImage stored = quadrants(64, 48).transformed(QTransform().rotate(-90));
        const QString path = write("orientation6.jxl", encodeJxl({{stored, 0}}, recipe));
        const std::optional<QImage> upright = decode(path);
        QVERIFY(upright);
        QCOMPARE(upright->size(), QSize(64, 48));
        QCOMPARE(quadrantColours(*upright), QString("RGBW"));
        const std::optional<QImage> asStored = decode(path, false);
        QVERIFY(asStored);
        QCOMPARE(asStored->size(), QSize(48, 64));
        QCOMPARE(quadrantColours(*asStored), quadrantColours(stored));
        const std::optional<JxlInfo> info = readJxlInfo(path);
        QVERIFY(info);
        QCOMPARE(info->orientation, 6);
        QCOMPARE(QSize(info->width, info->height), QSize(48, 64)); // as stored, like Exif's
        JxlAnimation animation(path);
        QCOMPARE(quadrantColours(animation.nextFrame()), QString("RGBW"));
    }

    // Frames as shown, one at a time: a zero-length frame is merged into the next, delays come
    // from the ticks, a 5 ms delay is taken as the usual 100, and the last frame wraps.
    void animationPlaysFrameByFrame()
    {
        JxlRecipe recipe;
        recipe.animated = true;
        recipe.loops = 2;
        const QList<JxlFrame> frames{{filled(32, 24, Qt::red), 100},
                                     {filled(32, 24, Qt::green), 0},
                                     {filled(32, 24, Qt::blue), 250},
                                     {filled(32, 24, Qt::white), 5}};
        const QString path = write("animation.jxl", encodeJxl(frames, recipe));
        JxlAnimation animation(path);
        QVERIFY(animation.isAnimated());
        QCOMPARE(animation.frameCount(), 3);
        QCOMPARE(animation.loopCount(), 2);
        const QList<QPair<QRgb, int>> expected{{qRgb(255, 0, 0), 100},
                                               {qRgb(0, 0, 255), 250},
                                               {qRgb(255, 255, 255), 100},
                                               {qRgb(255, 0, 0), 100}};
        for (const auto& [colour, delay] : expected) {
            const QImage frame = animation.nextFrame();
            QCOMPARE(frame.size(), QSize(32, 24));
            QCOMPARE(frame.pixel(5, 5), colour);
            QCOMPARE(animation.currentDelayMs(), delay);
        }
        QVERIFY(readJxlInfo(path)->animated);

        const QString still = write("still.jxl", encodeJxl({{quadrants(16, 16), 0}}, {}));
        JxlAnimation single(still);
        QCOMPARE(single.frameCount(), 1);
        QVERIFY(!single.isAnimated());
        QCOMPARE(quadrantColours(single.nextFrame()), QString("RGBW"));
        QCOMPARE(quadrantColours(single.nextFrame()), QString("RGBW"));
        QVERIFY(!readJxlInfo(still)->animated);
    }

    void exifComesFromItsBox_data()
    {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<int>("offset");
        QTest::newRow("plain") << false << 0;
        QTest::newRow("brotli") << true << 0;
        QTest::newRow("after padding") << false << 6;
    }

    void exifComesFromItsBox()
    {
        QFETCH(bool, compressed);
        QFETCH(int, offset);
        const QByteArray tiff = QByteArray("MM\0*\0\0\0\x08\0\0", 10) + QByteArray(200, 'x');
        QByteArray box(4, '\0');
        box[3] = char(offset);
        box += QByteArray(offset, 'p') + tiff;
        JxlRecipe recipe;
        recipe.boxes = {{"Exif", box}};
        recipe.compressBoxes = compressed;
        const QString path = write("exif.jxl", encodeJxl({{quadrants(16, 16), 0}}, recipe));
        const std::optional<JxlInfo> info = readJxlInfo(path);
        QVERIFY(info);
        QCOMPARE(info->exif, tiff);
        QCOMPARE(readJxlExif(write("none.jxl", encodeJxl({{quadrants(16, 16), 0}}, {}))),
                 QByteArray());
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
};

QTEST_GUILESS_MAIN(TestJxlDecoder)
#include "tst_jxldecoder.moc"
