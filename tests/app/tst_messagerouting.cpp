#include "../support/TestSupport.h"
#include "app/MessageRouting.h"
#include "imaging/AnimatedImage.h"
#include "imaging/ImageService.h"

#include <QDir>
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
        // Broken entropy-coded data, which libjpeg tells of.
        QStringList files{
            QStringLiteral(PELU_SOURCE_DIR "/tests/app/data/jpeg-corrupt-data-prints.jpg")};
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
