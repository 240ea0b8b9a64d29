#include "ApngWriter.h"

#include "imaging/decoders/ApngDecoder.h"

#include <QImageReader>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>

using imaging::detail::ApngDecoder;
using namespace apngtest;
using Damage = std::function<void(QList<Chunk>&)>;
Q_DECLARE_METATYPE(Damage)

namespace {

std::unique_ptr<ApngDecoder> openBytes(const QByteArray& bytes)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return ApngDecoder::open(std::move(buffer));
}

int frameCountOf(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return imaging::detail::pngFrameCount(buffer);
}

// Plays the file through once more than its length; every frame is the canvas or null.
int framesPlayed(const QByteArray& bytes)
{
    const std::unique_ptr<ApngDecoder> decoder = openBytes(bytes);
    if (!decoder)
        return 0;
    for (int i = 0; i <= decoder->frameCount(); ++i) {
        const QImage frame = decoder->nextFrame();
        if (!frame.isNull() && frame.size() != decoder->canvasSize())
            return -1;
    }
    return decoder->frameCount();
}

} // namespace

class TestApng : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void playsFramesWithTheirDelaysAndLoops()
    {
        Animation animation = threeFrames();
        animation.plays = 3;
        animation.frames[0].delayNum = 1, animation.frames[0].delayDen = 2;
        animation.frames[1].delayNum = 30, animation.frames[1].delayDen = 0; // hundredths
        animation.frames[2].delayNum = 3, animation.frames[2].delayDen = 100;
        const std::unique_ptr<ApngDecoder> decoder = openBytes(apng(animation));
        QVERIFY(decoder);
        QCOMPARE(decoder->frameCount(), 3);
        QCOMPARE(decoder->loopCount(), 3);
        QCOMPARE(decoder->canvasSize(), QSize(8, 8));
        QVERIFY(decoder->defaultImageIsFrame());
        // The fourth frame is the first again, on a cleared canvas.
        const QColor middles[] = {Qt::red, Qt::green, Qt::green, Qt::red};
        const int delays[] = {500, 300, 30, 500};
        for (int i = 0; i < 4; ++i) {
            const QImage frame = decoder->nextFrame();
            QCOMPARE(frame.format(), QImage::Format_ARGB32);
            QCOMPARE(frame.pixelColor(3, 3), middles[i]);
            QCOMPARE(frame.pixelColor(7, 7), i == 2 ? QColor(Qt::blue) : QColor(Qt::red));
            QCOMPARE(decoder->currentDelayMs(), delays[i]);
        }
        // Very short delays play as the viewer plays them in GIFs.
        const int shortDelays[][3] = {{1, 100, 100}, {0, 0, 100}, {15, 1000, 20}, {21, 1000, 21}};
        for (const auto& [numerator, denominator, shown] : shortDelays) {
            animation.frames[0].delayNum = quint16(numerator);
            animation.frames[0].delayDen = quint16(denominator);
            const std::unique_ptr<ApngDecoder> quick = openBytes(apng(animation));
            quick->nextFrame();
            QCOMPARE(quick->currentDelayMs(), shown);
        }
    }

    void defaultImageOutsideTheAnimationIsNotPlayed()
    {
        Animation animation{QSize(8, 8), {}, 0, solid(8, 8, Qt::yellow), 7}; // many data chunks
        animation.frames = {{solid(4, 4, Qt::red), {0, 0}}, {solid(4, 4, Qt::green), {4, 4}}};
        const QByteArray bytes = apng(animation);
        QCOMPARE(QImage::fromData(bytes, "png").pixelColor(0, 0), QColor(Qt::yellow));
        QCOMPARE(frameCountOf(bytes), 2);
        QTemporaryDir folder;
        QFile file(folder.filePath("two.png"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const std::unique_ptr<ApngDecoder> decoder = ApngDecoder::open(file.fileName());
        QVERIFY(!decoder->defaultImageIsFrame());
        // Each time round starts from a cleared canvas.
        for (int round = 0; round < 2; ++round) {
            const QImage first = decoder->nextFrame();
            QCOMPARE(first.pixelColor(0, 0), QColor(Qt::red));
            QCOMPARE(first.pixelColor(5, 5), QColor(0, 0, 0, 0));
            QCOMPARE(decoder->nextFrame().pixelColor(5, 5), QColor(Qt::green));
        }
    }

    void framesOfEveryStorageDecode()
    {
        // A palette with transparency (PLTE and tRNS repeated for every frame), 16 bits, grey.
        QImage indexed(4, 4, QImage::Format_Indexed8);
        indexed.setColorTable({qRgba(0, 0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0)});
        indexed.fill(1);
        QImage indexedNext = indexed.copy(0, 0, 2, 2);
        indexedNext.setPixel(1, 1, 0);
        const QList<QImage> firsts = {
            indexed, solid(4, 4, QColor(0, 0, 255, 128)).convertToFormat(QImage::Format_RGBA64),
            solid(4, 4, Qt::gray).convertToFormat(QImage::Format_Grayscale8)};
        for (const QImage& first : firsts) {
            const QImage next =
                first.format() == QImage::Format_Indexed8 ? indexedNext : first.copy(0, 0, 2, 2);
            Animation animation{QSize(4, 4), {{first, {0, 0}}, {next, {0, 0}}}, 0, {}, 0};
            const std::unique_ptr<ApngDecoder> decoder = openBytes(apng(animation));
            QCOMPARE(decoder->nextFrame(), first.convertToFormat(QImage::Format_ARGB32));
            QCOMPARE(decoder->nextFrame().pixel(1, 1),
                     next.convertToFormat(QImage::Format_ARGB32).pixel(1, 1));
        }
    }

    void disposalClearsOrRestoresTheRegion_data()
    {
        QTest::addColumn<int>("first");     // the first frame's disposal
        QTest::addColumn<int>("second");    // the second frame's
        QTest::addColumn<QColor>("middle"); // under the second frame, once the third is drawn
        QTest::addColumn<QColor>("corner"); // outside it
        const QColor clear(0, 0, 0, 0);
        QTest::newRow("none keeps") << 0 << 0 << QColor(Qt::green) << QColor(Qt::red);
        QTest::newRow("background clears") << 0 << 1 << clear << QColor(Qt::red);
        QTest::newRow("previous restores") << 0 << 2 << QColor(Qt::red) << QColor(Qt::red);
        QTest::newRow("previous on the first frame clears") << 2 << 0 << QColor(Qt::green) << clear;
    }

    void disposalClearsOrRestoresTheRegion()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QColor, middle);
        QFETCH(QColor, corner);
        Animation animation = threeFrames(quint8(second));
        animation.frames[0].dispose = quint8(first);
        const std::unique_ptr<ApngDecoder> decoder = openBytes(apng(animation));
        decoder->nextFrame();
        QCOMPARE(decoder->nextFrame().pixelColor(3, 3), QColor(Qt::green));
        const QImage third = decoder->nextFrame();
        QCOMPARE(third.pixelColor(3, 3), middle);
        QCOMPARE(third.pixelColor(0, 0), corner);
        QCOMPARE(third.pixelColor(7, 7), QColor(Qt::blue));
    }

    void blendingOverMixesStraightAlpha()
    {
        // Straight alpha over, worked in floating point.
        const auto over = [](QColor top, QColor below) {
            const double a = top.alphaF(), b = below.alphaF() * (1 - a), total = a + b;
            const auto mix = [&](double x, double y) {
                return int(std::lround((x * a + y * b) / total));
            };
            return QColor(mix(top.red(), below.red()), mix(top.green(), below.green()),
                          mix(top.blue(), below.blue()), int(std::lround(total * 255)));
        };
        const QColor halfBlue(0, 0, 255, 128), halfRed(255, 0, 0, 128), clear(0, 255, 0, 0);
        const QList<std::tuple<QColor, QColor, quint8, QColor>> cases = {
            {Qt::red, halfBlue, 0, halfBlue},
            {Qt::red, halfBlue, 1, over(halfBlue, Qt::red)},
            {halfRed, halfBlue, 1, over(halfBlue, halfRed)},
            {halfRed, clear, 1, halfRed},
            {QColor(0, 0, 0, 0), halfBlue, 1, halfBlue}};
        for (const auto& [below, top, blend, expected] : cases) {
            Animation animation{QSize(4, 4), {{solid(4, 4, below), {0, 0}}}, 0, {}, 0};
            animation.frames.append({solid(2, 2, top), {1, 1}, 1, 10, 0, blend});
            const std::unique_ptr<ApngDecoder> decoder = openBytes(apng(animation));
            decoder->nextFrame();
            const QImage frame = decoder->nextFrame();
            const QColor got = frame.pixelColor(1, 1);
            const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
            QVERIFY2(near(got.red(), expected.red()) && near(got.green(), expected.green()) &&
                         near(got.blue(), expected.blue()) && near(got.alpha(), expected.alpha()),
                     qPrintable(got.name(QColor::HexArgb) + " " + expected.name(QColor::HexArgb)));
            QCOMPARE(frame.pixelColor(0, 0), below); // outside the frame
        }
    }

    void damagedAnimationControlShowsTheStill_data()
    {
        QTest::addColumn<Damage>("damage");
        const auto actl = [](QList<Chunk>& c) -> QByteArray& { return c[find(c, "acTL")].data; };
        QTest::newRow("acTL CRC") << Damage(
            [](QList<Chunk>& c) { c[find(c, "acTL")].wrongCrc = true; });
        QTest::newRow("short acTL") << Damage([=](QList<Chunk>& c) { actl(c).chop(1); });
        QTest::newRow("no frames") << Damage([=](QList<Chunk>& c) { put32(actl(c), 0, 0); });
        QTest::newRow("counts more") << Damage([=](QList<Chunk>& c) { put32(actl(c), 0, 4); });
        QTest::newRow("counts fewer") << Damage([=](QList<Chunk>& c) { put32(actl(c), 0, 2); });
        QTest::newRow("counts fewer, later damage") << Damage([=](QList<Chunk>& c) {
            put32(actl(c), 0, 2);
            c[find(c, "fcTL", 2)].data[24] = 3;
        });
        QTest::newRow("twice") << Damage([](QList<Chunk>& c) { c.insert(1, c[1]); });
        QTest::newRow("after the image")
            << Damage([](QList<Chunk>& c) { c.move(1, find(c, "IDAT")); });
        QTest::newRow("first frame smaller than the canvas")
            << Damage([](QList<Chunk>& c) { put32(c[find(c, "fcTL")].data, 4, 4); });
        QTest::newRow("first frame sequence")
            << Damage([](QList<Chunk>& c) { put32(c[find(c, "fcTL")].data, 0, 1); });
    }

    void damagedAnimationControlShowsTheStill()
    {
        QFETCH(Damage, damage);
        QList<Chunk> chunks = apngChunks(threeFrames());
        damage(chunks);
        const QByteArray bytes = serialised(chunks);
        QVERIFY(!openBytes(bytes));
        QCOMPARE(frameCountOf(bytes), 1);
        QCOMPARE(QImage::fromData(bytes, "png").pixelColor(3, 3), QColor(Qt::red));
    }

    void laterDamageEndsTheAnimationOnTheLastGoodFrame_data()
    {
        QTest::addColumn<Damage>("damage");
        // The third frame's control (sequence 3) and its data (sequence 4).
        const auto third = [](QList<Chunk>& c) -> QByteArray& {
            return c[find(c, "fcTL", 2)].data;
        };
        const auto set = [=](qsizetype at, quint32 value) {
            return Damage([=](QList<Chunk>& c) { put32(third(c), at, value); });
        };
        QTest::newRow("out of the canvas") << set(12, 7);
        QTest::newRow("huge width") << set(4, 0xFFFFFFFF);
        QTest::newRow("huge offset") << set(16, 0xFFFFFFFE);
        QTest::newRow("zero height") << set(8, 0);
        QTest::newRow("control out of sequence") << set(0, 2);
        QTest::newRow("unknown dispose") << Damage([=](QList<Chunk>& c) { third(c)[24] = 3; });
        QTest::newRow("unknown blend") << Damage([=](QList<Chunk>& c) { third(c)[25] = 2; });
        QTest::newRow("short control") << Damage([=](QList<Chunk>& c) { third(c).chop(2); });
        QTest::newRow("data out of sequence")
            << Damage([](QList<Chunk>& c) { put32(c[find(c, "fdAT", 1)].data, 0, 5); });
        QTest::newRow("data before its control") << Damage(
            [](QList<Chunk>& c) { c.swapItemsAt(find(c, "fcTL", 2), find(c, "fdAT", 1)); });
        QTest::newRow("image data again") << Damage([](QList<Chunk>& c) {
            c.insert(find(c, "fcTL", 2), Chunk{"IDAT", "x"});
        });
        QTest::newRow("no data") << Damage([](QList<Chunk>& c) { c.removeAt(find(c, "fdAT", 1)); });
        QTest::newRow("cut in its data") << Damage(
            [](QList<Chunk>& c) { c.erase(c.begin() + find(c, "fdAT", 1) + 1, c.end()); });
    }

    void laterDamageEndsTheAnimationOnTheLastGoodFrame()
    {
        QFETCH(Damage, damage);
        QList<Chunk> chunks = apngChunks(threeFrames());
        damage(chunks);
        QByteArray bytes = serialised(chunks);
        if (QByteArray(QTest::currentDataTag()) == "cut in its data")
            bytes.chop(6);
        QCOMPARE(frameCountOf(bytes), 2);
        QCOMPARE(framesPlayed(bytes), 2);
    }

    void dataDamageFoundWhilePlayingEndsTheAnimation()
    {
        QList<Chunk> corrupt = apngChunks(threeFrames());
        corrupt[find(corrupt, "fdAT", 1)].data.replace(4, 8, QByteArray(8, '\xFF'));
        QList<Chunk> badCrc = apngChunks(threeFrames());
        badCrc[find(badCrc, "fdAT", 1)].wrongCrc = true;
        QList<Chunk> cut = apngChunks(threeFrames());
        cut[find(cut, "fdAT", 1)].data.chop(6);
        for (const QByteArray& bytes : {serialised(corrupt), serialised(badCrc), serialised(cut)}) {
            const std::unique_ptr<ApngDecoder> decoder = openBytes(bytes);
            QCOMPARE(decoder->frameCount(), 3);
            decoder->nextFrame();
            decoder->nextFrame();
            QCOMPARE(decoder->nextFrame().pixelColor(3, 3), QColor(Qt::red)); // first again
            QCOMPARE(decoder->frameCount(), 2);
        }
    }

    void hostileSizesAreRefusedBeforeAllocating()
    {
        Animation huge = threeFrames();
        huge.canvas = QSize(20000, 20000); // 400 megapixels
        QCOMPARE(frameCountOf(apng(huge)), 0);
        QVERIFY(!openBytes(apng(huge)));
        // Within the budget, but painted only in a corner: a lie.
        Animation sparse = threeFrames();
        sparse.canvas = QSize(2000, 2000);
        sparse.defaultImage = solid(2000, 2000, Qt::white);
        QCOMPARE(frameCountOf(apng(sparse)), 1);
        // A frame claiming the whole canvas with a few bytes of data cannot hold it.
        QList<Chunk> chunks = apngChunks(sparse);
        for (const auto& [at, value] : {std::pair(4, 2000), {8, 2000}, {12, 0}, {16, 0}})
            put32(chunks[find(chunks, "fcTL", 2)].data, at, value);
        chunks[find(chunks, "fcTL", 0)].data.replace(4, 8, bigEndian32(2000) + bigEndian32(2000));
        chunks[find(chunks, "fdAT", 0)].data =
            bigEndian32(1) + imageData(encoded(sparse.defaultImage));
        QCOMPARE(frameCountOf(serialised(chunks)), 2);
        for (const QByteArray& junk : {QByteArray(), QByteArray("\x89PNG\r\n\x1A\n", 8),
                                       QByteArray("GIF89a"), apng(threeFrames()).left(30)})
            QCOMPARE(frameCountOf(junk), 0);
    }

    void everyTruncationIsSafe()
    {
        Animation animation = threeFrames(2);
        animation.split = 9;
        const QByteArray bytes = apng(animation);
        int previous = 0;
        for (qsizetype length = 0; length <= bytes.size(); ++length) {
            const int played = framesPlayed(bytes.left(length));
            // A cut file promises only frames that play.
            QCOMPARE(std::max(frameCountOf(bytes.left(length)), 2), std::max(played, 2));
            QVERIFY(played >= previous || played == 0); // cutting more never shows more
            previous = std::max(previous, played);
        }
        QCOMPARE(previous, 3);
    }

    void randomDamageIsSafe()
    {
        QRandomGenerator random(1234);
        Animation animation = threeFrames(1);
        animation.frames[1].blend = 1;
        const QByteArray whole = apng(animation);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes = whole;
            for (int flips = random.bounded(1, 5); flips > 0; --flips)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            QVERIFY(framesPlayed(bytes) >= 0);
        }
    }

    void cheapCheckTellsAnimationsFromStills()
    {
        const QByteArray still = encoded(solid(4, 4, Qt::red));
        const auto announces = [](const QByteArray& bytes) {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            return imaging::detail::isAnimatedPng(buffer);
        };
        QVERIFY(announces(apng(threeFrames())));
        QVERIFY(!announces(still));
        QCOMPARE(frameCountOf(still), 1);
        QVERIFY(!openBytes(still));
        QVERIFY(!announces(apng(threeFrames()).left(40)));
    }
};

QTEST_GUILESS_MAIN(TestApng)
#include "tst_apng.moc"
