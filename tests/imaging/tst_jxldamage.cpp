#include "Fixtures.h"

#include "imaging/decoders/JxlAnimation.h"
#include "imaging/decoders/JxlDecoder.h"

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

// Damaged and lying files give nothing, quickly and without allocating for what they claim.
class TestJxlDamage : public QObject {
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

    void truncatedFilesGiveNothing_data()
    {
        QTest::addColumn<int>("length");
        for (const int length : {0, 1, 2, 12, 40, 100, 1000})
            QTest::newRow(qPrintable(QString::number(length))) << length;
        QTest::newRow("half") << int(m_still.size() / 2);
        QTest::newRow("all but one") << int(m_still.size() - 1);
    }

    void truncatedFilesGiveNothing()
    {
        QFETCH(int, length);
        QVERIFY(!givesAPicture(write("truncated.jxl", m_still.left(length))));
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

    void noiseAfterTheSignatureGivesNothing_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 4; ++seed) {
            QTest::newRow(qPrintable(QString("codestream %1").arg(seed)))
                << QByteArray("\xFF\x0A", 2) << seed;
            QTest::newRow(qPrintable(QString("container %1").arg(seed)))
                << QByteArray("\0\0\0\x0CJXL \x0D\x0A\x87\x0A", 12) << seed;
        }
    }

    void noiseAfterTheSignatureGivesNothing()
    {
        QFETCH(QByteArray, signature);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        QByteArray noise(8192, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QVERIFY(!givesAPicture(write("noise.jxl", signature + noise)));
        // Noise in place of the picture's data, after intact headers.
        QByteArray damaged = m_still;
        damaged.replace(200, noise.size(), noise.left(damaged.size() - 200));
        QVERIFY(!givesAPicture(write("damaged.jxl", damaged)));
    }

    // Sizes over the budget are refused, and remembered as such, from the header alone;
    // sizes within it that the file's length could not hold are refused as damage.
    void lyingHeadersAreRefusedBeforeAllocating_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("forSize");
        QTest::newRow("100000 x 100000") << claimingSize(100000, 100000, 64) << true;
        QTest::newRow("200 MP and a bit") << claimingSize(20000, 10001, 64) << true;
        QTest::newRow("195 MP in 100 bytes") << claimingSize(15000, 13000, 84) << false;
        QTest::newRow("12 MP of nothing") << claimingSize(4000, 3000, 4096) << false;
    }

    void lyingHeadersAreRefusedBeforeAllocating()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, forSize);
        const QString path = write("lying.jxl", bytes);
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

QTEST_GUILESS_MAIN(TestJxlDamage)
#include "tst_jxldamage.moc"
