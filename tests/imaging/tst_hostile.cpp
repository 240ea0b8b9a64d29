#include "Fixtures.h"

#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

using namespace fixtures;

// Every entry point must survive files that lie, end early or are not files at all.
class TestHostile : public QObject, private FixtureFolder {
    Q_OBJECT

private:
    static QByteArray noise(int size, quint32 seed)
    {
        QRandomGenerator random(seed);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    }

    static void survivesEveryEntryPoint(const QString& file)
    {
        QVERIFY(!imaging::decodeImage(file));
        QVERIFY(!imaging::makeThumbnail(file));
        imaging::readImageProperties(file);
        const MetadataRows rows = imaging::extractMetadata(file);
        QVERIFY(rows.size() <= 4);
        imaging::AnimatedImage animation(file);
        for (int i = 0; i < animation.frameCount() && i < 3; ++i)
            animation.nextFrame();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_files = writeEveryFormat(m_dir.path(), quadrants(64, 48));
    }

    void damagedFilesGiveNothing_data()
    {
        QTest::addColumn<QString>("file");
        quint32 seed = 1;
        for (const QString& ext : m_files.keys()) {
            const QByteArray whole = readFile(m_files[ext]);
            QVERIFY(!whole.isEmpty());
            const QList<std::pair<const char*, QByteArray>> variants{
                {"truncated", whole.left(whole.size() * 6 / 10)},
                {"header-only", whole.left(32)},
                {"empty", {}},
                {"garbage-after-signature", whole.left(16) + noise(4000, seed++)},
                {"random", noise(4096, seed++)},
            };
            for (const auto& [kind, bytes] : variants) {
                const QString file = path(QStringLiteral("%1.%2").arg(kind, ext));
                QVERIFY(writeFile(file, bytes));
                QTest::addRow("%s-%s", kind, qPrintable(ext)) << file;
            }
        }
    }

    void damagedFilesGiveNothing()
    {
        QFETCH(QString, file);
        survivesEveryEntryPoint(file);
    }

    void mislabelledFilesDecodeByContent_data()
    {
        QTest::addColumn<QString>("real");
        QTest::addColumn<QString>("claimed");
        QTest::newRow("png as jpg") << "png"
                                    << "jpg";
        QTest::newRow("jpg as png") << "jpg"
                                    << "png";
        QTest::newRow("gif as bmp") << "gif"
                                    << "bmp";
        QTest::newRow("heic as jpg") << "heic"
                                     << "jpg";
        QTest::newRow("psd as png") << "psd"
                                    << "png";
        QTest::newRow("tiff as nef") << "tif"
                                     << "nef";
        QTest::newRow("dng as tif") << "dng"
                                    << "tif";
    }

    void mislabelledFilesDecodeByContent()
    {
        QFETCH(QString, real);
        QFETCH(QString, claimed);
        const QString file = path(QStringLiteral("really-%1.%2").arg(real, claimed));
        QVERIFY(QFile::copy(m_files[real], file));
        const std::optional<QImage> image = imaging::decodeImage(file);
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(64, 48));
        QCOMPARE(quadrantColours(*image), QStringLiteral("RGBW"));
    }

    void oversizedImagesAreRefusedQuickly_data()
    {
        QTest::addColumn<QString>("file");
        const auto add = [this](const char* name, const QByteArray& bytes) {
            QVERIFY(writeFile(path(name), bytes));
            QTest::newRow(name) << path(name);
        };
        add("bomb.png", pngClaiming(100000, 100000));

        QByteArray jpeg = readFile(m_files["jpg"]);
        const qsizetype sof = jpeg.indexOf("\xFF\xC0");
        QVERIFY(sof > 0);
        qToBigEndian<quint16>(65000, jpeg.data() + sof + 5);
        qToBigEndian<quint16>(65000, jpeg.data() + sof + 7);
        add("bomb.jpg", jpeg);

        QByteArray gif = readFile(m_files["gif"]);
        for (const qsizetype at :
             {qsizetype(6), qsizetype(8), gif.indexOf('\x2C') + 5, gif.indexOf('\x2C') + 7})
            qToLittleEndian<quint16>(65535, gif.data() + at);
        add("bomb.gif", gif);

        QByteArray bmp = readFile(m_files["bmp"]);
        qToLittleEndian<qint32>(100000, bmp.data() + 18);
        qToLittleEndian<qint32>(100000, bmp.data() + 22);
        add("bomb.bmp", bmp);

        QByteArray tiff = readFile(m_files["tif"]);
        QVERIFY(patchTiffEntry(tiff, 256, 60000) && patchTiffEntry(tiff, 257, 60000));
        add("bomb.tif", tiff);

        QByteArray heic = readFile(m_files["heic"]);
        QVERIFY(heic.contains("ispe"));
        for (qsizetype ispe = heic.indexOf("ispe"); ispe > 0;
             ispe = heic.indexOf("ispe", ispe + 4)) {
            qToBigEndian<quint32>(60000, heic.data() + ispe + 8);
            qToBigEndian<quint32>(60000, heic.data() + ispe + 12);
        }
        add("bomb.heic", heic);

        QByteArray psd = psdBytes(quadrants(8, 8), {});
        qToBigEndian<quint32>(30000, psd.data() + 14);
        qToBigEndian<quint32>(30000, psd.data() + 18);
        add("bomb.psd", psd);

        // 196 megapixels, within the limit, but RLE rows far too short to fill it.
        QByteArray rle = psdBytes(quadrants(8, 8), {8, 3, true, false, {}, 1}).left(26 + 3 * 4 + 2);
        qToBigEndian<quint32>(14000, rle.data() + 14);
        qToBigEndian<quint32>(14000, rle.data() + 18);
        for (int row = 0; row < 3 * 14000; ++row)
            rle.append("\x00\x02", 2);
        add("lying-rle.psd", rle + QByteArray(3 * 14000 * 2, '\x80'));

        QVERIFY(writeDng(path("bomb.dng"), quadrants(64, 2), 1, QSize(30000, 30000)));
        QTest::newRow("bomb.dng") << path("bomb.dng");
    }

    void oversizedImagesAreRefusedQuickly()
    {
        QFETCH(QString, file);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!imaging::decodeImage(file));
        QVERIFY(!imaging::makeThumbnail(file));
        QVERIFY(!imaging::writeRotatedPixels(file, file + ".turned", 1));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }

    void specialFilesAreNeverOpened()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("album.jpg"));
        QCOMPARE(::mkfifo(QFile::encodeName(path("pipe.png")).constData(), 0600), 0);
        for (const QString& file : {path("album.jpg"), path("pipe.png"), path("missing.png")}) {
            QVERIFY(!imaging::decodeImage(file));
            QVERIFY(!imaging::readImageProperties(file));
            QVERIFY(!imaging::writeRotatedFile(file, file + ".turned", 1));
            QVERIFY(imaging::extractMetadata(file).size() <= 1);
            QCOMPARE(imaging::AnimatedImage(file).frameCount(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
