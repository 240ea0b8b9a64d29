#include "../support/TestAccess.h"
#include "../support/TestSupport.h"
#include "DiskFaults.h"

#include "imaging/ImageService.h"
#include "state/AppState.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using testsupport::entries;
using testsupport::readFile;

namespace {

// Noise, so that files are large and lossy encoders cannot shrink them.
QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    }
    return image;
}

// A 1 × 1 GIF: a type that is read but never written.
const QByteArray kGif = QByteArray::fromHex("47494638396101000100800000000000ffffff2c000000000100"
                                            "01000002024401003b");

} // namespace

class TestRotation : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // A type that is read but never written: the view turns, both ways, and the file is left
    // byte for byte as it was, nothing written beside it.
    void unwritableTypeTurnsTheView()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("dot.gif");
        QVERIFY(testsupport::writeFile(path, kGif));
        AppState state;
        state.openFile(QUrl::fromLocalFile(path));
        QVERIFY(state.currentImage());
        QSignalSpy rewritten(&state, &AppState::fileRewritten);
        // The view turns at once, whatever the file's rewrite does meanwhile.
        for (const double angle : {90, 180, 270, 0}) {
            state.rotateClockwise();
            QCOMPARE(state.rotation(), angle);
        }
        for (const double angle : {270, 180, 90, 0}) {
            state.rotateCounterclockwise();
            QCOMPARE(state.rotation(), angle);
        }
        QTRY_VERIFY(!state.isRewriting());
        QCOMPARE(state.rotation(), 0.0);
        QCOMPARE(readFile(path), kGif);
        QCOMPARE(rewritten.count(), 0);
        QCOMPARE(entries(dir.path()), QStringList{"dot.gif"});
    }

    // The window's thread only turns the view: the file is written, read back and decoded
    // again in the background, and turns asked for meanwhile follow it there.
    void rewriteRunsOffTheWindowThread()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.jpg");
        QVERIFY(noise(256, 192).save(path));
        const QImage shown = imaging::decodeImage(path).value();
        AppState state;
        state.openFile(QUrl::fromLocalFile(path));
        QSignalSpy rewritten(&state, &AppState::fileRewritten);
        const quint64 decodesBefore = TestAccess::mainThreadDecodeCount();
        state.rotateClockwise();
        state.rotateClockwise();
        QCOMPARE(state.rotation(), 180.0);
        QVERIFY(state.isRewriting());
        QTRY_VERIFY(!state.isRewriting());
        QCOMPARE(rewritten.count(), 2);
        QCOMPARE(state.rotation(), 0.0);
        QCOMPARE(imaging::shownOrientation(path), 3);
        QCOMPARE(state.currentImage()->convertToFormat(QImage::Format_ARGB32),
                 imaging::turnedClockwise(shown, 2).convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(TestAccess::mainThreadDecodeCount(), decodesBefore);
    }

    // A write that cannot finish leaves the file byte for byte as it was and nothing beside it;
    // the view turns. Once the fault is gone, the next turn writes both turns to the file.
    void failedRewriteLeavesTheFileWhole_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("name");
        for (const char* fault : {"read-only folder", "full disk", "tiny filesystem"}) {
            for (const char* name : {"photo.jpg", "picture.png"})
                QTest::addRow("%s/%s", fault, name) << QString(fault) << QString(name);
        }
    }
    void failedRewriteLeavesTheFileWhole()
    {
        QFETCH(QString, fault);
        QFETCH(QString, name);
        // PELU_TINY_FS names an empty, small filesystem of its own (see tiny_filesystem.sh).
        const QString tinyFs = qEnvironmentVariable("PELU_TINY_FS");
        if (fault == "tiny filesystem" && tinyFs.isEmpty())
            QSKIP("needs a small filesystem of its own");
        QTemporaryDir dir(fault == "tiny filesystem" ? tinyFs + "/XXXXXX" : QString());
        const QString path = dir.filePath(name);
        QVERIFY(noise(256, 192).save(path));
        const QByteArray original = readFile(path);
        const QImage shown = imaging::decodeImage(path).value();
        AppState state;
        state.openFile(QUrl::fromLocalFile(path));
        QSignalSpy rewritten(&state, &AppState::fileRewritten);
        const QByteArray folder = QFile::encodeName(dir.path());
        if (fault == "read-only folder") {
            QVERIFY(::chmod(folder.constData(), 0555) == 0);
            ObeyPermissions obey({folder.constData(), QFile::encodeName(path).constData()});
            state.rotateClockwise();
            QTRY_VERIFY(!state.isRewriting());
        } else if (fault == "full disk") {
            FileSizeLimit limit(rlim_t(original.size() / 2));
            state.rotateClockwise();
            QTRY_VERIFY(!state.isRewriting());
        } else {
            QFile filler(tinyFs + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const qint64 room = QStorageInfo(tinyFs).bytesAvailable() - 4096;
            QVERIFY(room > 0 && filler.write(QByteArray(room, '\0')) == room && filler.flush());
            state.rotateClockwise();
            QTRY_VERIFY(!state.isRewriting());
            filler.remove();
        }
        QVERIFY(::chmod(folder.constData(), 0755) == 0);
        QCOMPARE(readFile(path), original);
        QCOMPARE(entries(dir.path()), QStringList{name});
        QCOMPARE(state.rotation(), 90.0);
        QCOMPARE(rewritten.count(), 0);

        state.rotateClockwise();
        QCOMPARE(state.rotation(), 180.0);
        QTRY_VERIFY(!state.isRewriting());
        QCOMPARE(state.rotation(), 0.0);
        QCOMPARE(rewritten.count(), 1);
        const QImage turned =
            imaging::turnedClockwise(shown, 2).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(imaging::decodeImage(path)->convertToFormat(QImage::Format_ARGB32), turned);
        QCOMPARE(state.currentImage()->convertToFormat(QImage::Format_ARGB32), turned);
    }
};

QTEST_MAIN(TestRotation)
#include "tst_rotation.moc"
