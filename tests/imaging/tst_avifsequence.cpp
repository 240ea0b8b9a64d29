#include "AvifFiles.h"
#include "Fixtures.h"

#include "imaging/decoders/AvifSequence.h"
#include "imaging/decoders/AvifTracks.h"
#include "imaging/support/DecodeSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

using namespace imaging;
using namespace imaging::detail;
using namespace aviffiles;
using namespace fixtures;

namespace {

QString colourLetter(const QImage& frame)
{
    return quadrantColours(frame).left(1);
}

} // namespace

class TestAvifSequence : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_sequence;
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Red, green, blue and white, 64 x 48, as libavif writes them.
        m_sequence = readFile(dataFile("avif-sequence-rgbw.avif"));
        QCOMPARE(samplesOf(m_sequence).size(), 4);
    }

    // The track's rotation (counter-clockwise) and then its mirroring are applied.
    void framesAreTurnedAndMirrored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("mirror");
        QTest::newRow("quarter turn") << "irot1" << 1 << -1;
        QTest::newRow("half turn") << "irot2" << 2 << -1;
        QTest::newRow("three quarters, mirrored left to right") << "irot3-imir1" << 3 << 1;
        QTest::newRow("mirrored top to bottom") << "imir0" << -1 << 0;
    }

    void framesAreTurnedAndMirrored()
    {
        QFETCH(QString, name);
        QFETCH(int, rotation);
        QFETCH(int, mirror);
        const QImage stored = quadrants(64, 48);
        QImage shown = stored.transformed(QTransform().rotate(-90 * std::max(rotation, 0)));
        if (mirror >= 0)
            shown = shown.mirrored(mirror == 1, mirror == 0);
        AvifSequence sequence(dataFile("avif-sequence-" + name + ".avif"));
        const QImage frame = sequence.nextFrame();
        QCOMPARE(frame.size(), shown.size());
        QCOMPARE(quadrantColours(frame), quadrantColours(shown));
    }

    void stillPicturesAreLeftToLibheif()
    {
        QVERIFY(!isAvifSequence(readFile(dataFile("avif-still.avif")).left(64)));
        QVERIFY(isAvifSequence(m_sequence.left(64)));
        AvifSequence sequence(dataFile("avif-still.avif"));
        QCOMPARE(sequence.frameCount(), 0);
        QVERIFY(sequence.nextFrame().isNull());
    }

    // A sequence cut short, or with a frame damaged, plays the frames before and then wraps.
    void damageEndsTheAnimationOnTheLastGoodFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("good");
        const auto samples = samplesOf(m_sequence);
        QTest::newRow("cut in the last frame") << m_sequence.left(samples[3].first + 2) << 3;
        QByteArray damaged = m_sequence;
        damaged.replace(samples[2].first, samples[2].second, QByteArray(samples[2].second, '\xFF'));
        QTest::newRow("third frame damaged") << damaged << 2;
    }

    void damageEndsTheAnimationOnTheLastGoodFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, good);
        AvifSequence sequence(write("damaged.avif", bytes));
        QCOMPARE(sequence.frameCount(), 4);
        for (int i = 0; i < good; ++i)
            QCOMPARE(colourLetter(sequence.nextFrame()), QString("RGBW").mid(i, 1));
        QCOMPARE(colourLetter(sequence.nextFrame()), QString("R"));
        QCOMPARE(sequence.frameCount(), good);
        QCOMPARE(colourLetter(sequence.nextFrame()), QString(good > 1 ? "G" : "R"));
    }

    void damagedFilesGiveNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("forSize");
        const qsizetype firstSample = samplesOf(m_sequence).first().first;
        for (const qsizetype length : {qsizetype(0), qsizetype(12), qsizetype(40),
                                       m_sequence.indexOf("moov") + 100, firstSample})
            QTest::newRow(qPrintable(QString("cut at %1").arg(length)))
                << m_sequence.left(length) << false;
        QByteArray noise = m_sequence;
        for (qsizetype i = 40; i < firstSample; i += 7)
            noise[i] = char(noise[i] ^ 0x5A);
        QTest::newRow("noise after ftyp") << noise << false;
        // The track header claims 20000 × 20000.
        QByteArray huge = m_sequence;
        const qsizetype tkhd = huge.indexOf("tkhd") + 4;
        const qsizetype size = tkhd + (readByte(huge, tkhd) == 1 ? 88 : 76);
        huge.replace(size, 8, bigEndian32(20000u << 16) + bigEndian32(20000u << 16));
        QTest::newRow("huge track") << huge << true;
    }

    void damagedFilesGiveNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, forSize);
        resetSizeRefusal();
        AvifSequence sequence(write("broken.avif", bytes));
        QVERIFY(sequence.nextFrame().isNull());
        QCOMPARE(sequence.frameCount(), 0);
        QCOMPARE(wasRefusedForSize(), forSize);
    }

    // A frame larger than its track, claimed inside the AV1 data, is refused by the decoder
    // before it allocates (libaom took 3.8 GB and 12 s for this file).
    void lyingFramesAreRefusedBeforeAllocating()
    {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        QElapsedTimer timer;
        timer.start();
        AvifSequence sequence(dataFile("avif-sequence-frame-claims-16384-took-3gb.avif"));
        QVERIFY(sequence.nextFrame().isNull());
        getrusage(RUSAGE_SELF, &after);
        QVERIFY(timer.elapsed() < 2000);
        QVERIFY(after.ru_maxrss - before.ru_maxrss < 256 * 1024);
    }

    void playCountComesFromTheEditList_data()
    {
        QTest::addColumn<QByteArray>("moov");
        QTest::addColumn<int>("plays");
        QTest::newRow("no edit list") << track(300, {}) << 0;
        QTest::newRow("once") << track(300, editList(false, 100)) << 1;
        QTest::newRow("three times") << track(300, editList(true, 100)) << 3;
        QTest::newRow("rounded up") << track(301, editList(true, 100)) << 4;
        QTest::newRow("for ever") << track(0xFFFFFFFF, editList(true, 100)) << 0;
        QTest::newRow("after an alpha track")
            << track(100, box("tref", box("auxl", bigEndian32(2))) + editList(false, 100)) +
                   track(200, editList(true, 100))
            << 2;
    }

    void playCountComesFromTheEditList()
    {
        QFETCH(QByteArray, moov);
        QFETCH(int, plays);
        QByteArray bytes = box("ftyp", QByteArray("avis\0\0\0\0avifavis", 16)) + box("moov", moov);
        QBuffer file(&bytes);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const AvifTrack read = readAvifTrack(file);
        QCOMPARE(read.playCount, plays);
        QCOMPARE(read.size, QSize(64, 48));
    }

    // A PQ sequence (10-bit BT.2020, two frames of 203 nits) is shown through the tone mapper:
    // reference white at the grey of every other HDR picture.
    void hdrIsToneMapped()
    {
        AvifSequence sequence(dataFile("avif-sequence-pq-white.avif"));
        QCOMPARE(sequence.frameCount(), 2);
        QCOMPARE(sequence.hdr().transfer, HdrSignal::Transfer::Pq);
        QVERIFY(std::abs(sequence.hdr().red.x() - 0.708) < 0.001);
        const QImage frame = sequence.nextFrame();
        QCOMPARE(frame.format(), QImage::Format_RGBX8888);
        QCOMPARE(frame.colorSpace(), QColorSpace(QColorSpace::SRgb));
        const QRgb grey = frame.pixel(20, 20);
        QVERIFY2(std::abs(qRed(grey) - 229) <= 3 && std::abs(qGreen(grey) - 229) <= 3 &&
                     std::abs(qBlue(grey) - 229) <= 3,
                 qPrintable(QColor(grey).name()));
    }
};

QTEST_GUILESS_MAIN(TestAvifSequence)
#include "tst_avifsequence.moc"
