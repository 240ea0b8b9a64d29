#include "../imaging/Fixtures.h"
#include "../support/AllocationWatch.h"

#include "imaging/ImageService.h"
#include "state/AppState.h"

#include <QRandomGenerator>
#include <QThreadPool>
#include <QtTest>

using namespace fixtures;

namespace {

constexpr std::size_t kAllocationCeiling = std::size_t(1) << 30;

QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray& with)
{
    return at < 0 ? QByteArray() : bytes.replace(at, with.size(), with);
}

QByteArray bigEndian16(int a, int b)
{
    QByteArray out;
    appendBigEndian(out, quint64(a), 2);
    appendBigEndian(out, quint64(b), 2);
    return out;
}

// A lossy WebP whose frame header declares this size, followed by noise.
QByteArray lossyWebp(int width, int height, const QByteArray& noise)
{
    QByteArray frame("\x10\x02\x00\x9D\x01\x2A", 6);
    for (const int side : {width, height})
        frame.append(char(side & 0xFF)).append(char(side >> 8));
    frame.append(noise);
    QByteArray out("RIFF\0\0\0\0WEBPVP8 \0\0\0\0", 20);
    qToLittleEndian(quint32(frame.size()), out.data() + 16);
    out.append(frame);
    qToLittleEndian(quint32(out.size() - 8), out.data() + 4);
    return out;
}

} // namespace

// Whatever a file holds, opening it ends in the empty state with its name in the title, and
// nothing on the way reserves a gigabyte.
class TestHostileFiles : public QObject, private FixtureFolder {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid() && writeEveryFamily()); }

    void openingEndsInTheEmptyState_data()
    {
        QTest::addColumn<QString>("file");
        QRandomGenerator random(7);
        const auto noise = [&random](int size) { return fixtures::noise(random, size); };
        const auto add = [this](const QString& name, const QByteArray& bytes) {
            QVERIFY2(writeFile(path(name), bytes), qPrintable(name));
            QTest::newRow(qPrintable(name)) << path(name);
        };
        for (const QString& ext : kFamilies) {
            const QByteArray whole = readFile(m_files[ext]);
            add("zero-byte." + ext, {});
            add("half." + ext, whole.left(whole.size() / 2));
            add("random." + ext, noise(4096));
            add("document-named." + ext, "%PDF-1.4\n" + noise(2000));
        }

        // Decompression bombs: headers claiming sizes far over the budget, or within it but far
        // beyond what their few bytes could encode.
        const QByteArray png = readFile(m_files["png"]), jpg = readFile(m_files["jpg"]);
        const auto pngClaiming = [&png](quint32 side) {
            QByteArray header = png.mid(16, 13);
            qToBigEndian(side, header.data());
            qToBigEndian(side, header.data() + 4);
            return QByteArray(png).replace(8, 25, pngChunk("IHDR", header));
        };
        add("bomb-over-budget.png", pngClaiming(100000));
        add("bomb-within-budget.png", pngClaiming(14000));
        const qsizetype sof = jpg.indexOf("\xFF\xC0") + 5;
        add("bomb-over-budget.jpg", patched(jpg, sof, bigEndian16(65000, 65000)));
        add("bomb-within-budget.jpg", patched(jpg, sof, bigEndian16(14000, 14000)));
        add("bomb-screen.gif", patched(readFile(m_files["gif"]), 6, "\xFF\xFF\xFF\xFF"));
        add("bomb-over-budget.webp", lossyWebp(16383, 16383, noise(700)));
        add("bomb-within-budget.webp", lossyWebp(8288, 16383, noise(700)));
        const QByteArray webp = readFile(m_files["webp"]);
        add("bomb-lossless.webp", patched(webp, webp.indexOf("VP8L") + 9, "\xFF\xFF\xFF\x0F"));
        QVERIFY(writeTiff(path("bomb.tif"),
                          {{TIFFTAG_IMAGEWIDTH, 100000},
                           {TIFFTAG_IMAGELENGTH, 100000},
                           {TIFFTAG_BITSPERSAMPLE, 8},
                           {TIFFTAG_SAMPLESPERPIXEL, 1},
                           {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
                           {TIFFTAG_ROWSPERSTRIP, 1}},
                          1, [](int) { return QByteArray(100000, char(128)); }));
        QTest::newRow("bomb.tif") << path("bomb.tif");
        QByteArray heic = readFile(m_files["heic"]);
        for (qsizetype at = heic.indexOf("ispe"); at > 0; at = heic.indexOf("ispe", at + 4)) {
            qToBigEndian(quint32(60000), heic.data() + at + 8);
            qToBigEndian(quint32(60000), heic.data() + at + 12);
        }
        add("bomb.heic", heic);
    }

    void openingEndsInTheEmptyState()
    {
        QFETCH(QString, file);
        allocationwatch::reset();
        AppState state;
        state.openFile(QUrl::fromLocalFile(file));
        // A JPEG cut off part way shows the rows it holds, marked incomplete.
        if (QFileInfo(file).fileName() == "half.jpg")
            QVERIFY(state.currentImage() && imaging::isIncomplete(*state.currentImage()));
        else
            QVERIFY(!state.currentImage());
        QVERIFY2(state.windowTitle().startsWith(QFileInfo(file).fileName()),
                 qPrintable(state.windowTitle()));
        // The neighbours decoded ahead are part of opening too.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE_LT(allocationwatch::largest(), kAllocationCeiling);
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
