#include "../support/TestSupport.h"
#include "app/MessageRouting.h"
#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

QStringList g_shown;

void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_shown.append(message);
}

// Everything the service does with a file.
void readEveryWay(const QString& file)
{
    imaging::decodeImage(file);
    imaging::decodeAsStored(file);
    imaging::makeThumbnail(file);
    imaging::extractMetadata(file);
    imaging::AnimatedImage animation(file);
    for (int i = 0; i < std::min(animation.frameCount(), 3); ++i)
        animation.nextFrame();
}

} // namespace

class TestMessageRouting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qInstallMessageHandler(collect);
        installMessageRouting();
    }

    // Neither Qt's image plugins nor the libraries below them reach the terminal.
    void damagedFilesPrintNothing()
    {
        QTemporaryDir dir;
        QBuffer jpeg;
        jpeg.open(QIODevice::WriteOnly);
        QImage noise(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x)
                noise.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) % 256));
        }
        QVERIFY(noise.save(&jpeg, "jpeg"));
        QByteArray corrupt = jpeg.data();
        for (qsizetype at = corrupt.size() / 2; at < corrupt.size() - 40; at += 7)
            corrupt[at] = char(0x00); // breaks the entropy-coded data, keeps the end marker
        QStringList files{dir.filePath("corrupt-data.jpg")};
        QVERIFY(testsupport::writeFile(files.first(), corrupt));
        const QDir data(QStringLiteral(PELU_SOURCE_DIR "/tests/imaging/data"));
        for (const QString& name : data.entryList(QDir::Files))
            files.append(data.filePath(name));

        g_shown.clear();
        const QByteArray written = testsupport::standardErrorOf([&files] {
            for (const QString& path : files)
                readEveryWay(path);
        });
        QCOMPARE(g_shown, QStringList());
        QCOMPARE(written, QByteArray());
    }

    void programmingFaultsShowInDebugBuilds()
    {
        g_shown.clear();
        qWarning("QObject::connect: no such signal");
#ifdef QT_NO_DEBUG
        QCOMPARE(g_shown, QStringList());
#else
        QCOMPARE(g_shown, QStringList{"QObject::connect: no such signal"});
#endif
    }
};

QTEST_GUILESS_MAIN(TestMessageRouting)
#include "tst_messagerouting.moc"
