#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "state/AppState.h"

#include <QElapsedTimer>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString makeImage(const QTemporaryDir& dir, const QString& name)
{
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    image.save(path, "PNG");
    return path;
}

// Leaves a socket file behind with nobody listening, as a crashed instance would.
void makeStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    QVERIFY(size_t(encoded.size()) < sizeof(address.sun_path));
    memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    QVERIFY(QFile::exists(path));
}

} // namespace

class TestAppDelegate : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void opensFirstFileRelativeToWorkingDirectory()
    {
        QTemporaryDir dir;
        makeImage(dir, QStringLiteral("b.png"));
        makeImage(dir, QStringLiteral("a.png"));
        AppDelegate delegate;
        delegate.openFiles({QStringLiteral("b.png"), QStringLiteral("a.png")}, dir.path());
        QCOMPARE(delegate.appState().currentURL(),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png"))));
        QCOMPARE(delegate.appState().windowTitle(), QStringLiteral("b.png [2/2]"));
        delegate.openFiles({}, dir.path());
        QCOMPARE(delegate.appState().currentURL(),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png"))));
    }

    void secondLaunchHandsItsFileOver()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("pelu.socket"));
        const QString photo = makeImage(dir, QStringLiteral("photo.png"));

        AppDelegate running;
        QWidget window;
        running.setWindow(&window);
        QVERIFY(!running.handOverOrListen({}, dir.path(), socket));

        AppDelegate second;
        QVERIFY(second.handOverOrListen({QStringLiteral("photo.png")}, dir.path(), socket));
        QTRY_COMPARE(running.appState().currentURL(), QUrl::fromLocalFile(photo));
        QVERIFY(running.appState().currentImage());
        QVERIFY(window.isVisible());

        // No file: only raise the window.
        window.hide();
        AppDelegate third;
        QVERIFY(third.handOverOrListen({}, dir.path(), socket));
        QTRY_VERIFY(window.isVisible());
        QCOMPARE(running.appState().currentURL(), QUrl::fromLocalFile(photo));
    }

    void closingTheWindowStopsTakingFiles()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("closing.socket"));
        AppDelegate running;
        QWidget window;
        running.setWindow(&window);
        window.show();
        QVERIFY(!running.handOverOrListen({}, dir.path(), socket));
        window.close();
        // Nobody takes the file any more: the new launch becomes the instance itself.
        AppDelegate next;
        QVERIFY(
            !next.handOverOrListen({makeImage(dir, QStringLiteral("n.png"))}, dir.path(), socket));
        QTest::qWait(50);
        QVERIFY(!running.appState().currentURL());
    }

    void staleSocketIsRecovered()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("stale.socket"));
        makeStaleSocket(socket);
        AppDelegate recovered;
        QVERIFY(!recovered.handOverOrListen({}, dir.path(), socket));
        AppDelegate later;
        QVERIFY(
            later.handOverOrListen({makeImage(dir, QStringLiteral("x.png"))}, dir.path(), socket));
        QTRY_VERIFY(recovered.appState().currentURL());
    }

    void garbageOnTheSocketIsIgnored()
    {
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("g.socket"));
        AppDelegate running;
        QVERIFY(!running.handOverOrListen({}, dir.path(), socket));
        QLocalSocket client;
        client.connectToServer(socket);
        QVERIFY(client.waitForConnected(1000));
        client.write(QByteArray(200000, '\xff'));
        client.waitForBytesWritten(1000);
        QTest::qWait(100);
        QVERIFY(!running.appState().currentURL());
    }

    void emptyStartGetsSmallCentredWindow()
    {
        AppDelegate delegate;
        QWidget window;
        window.resize(900, 700);
        window.show();
        delegate.setWindow(&window);
        delegate.finishLaunching();
        QTRY_COMPARE(window.size(), QSize(400, 300));
        const QRect area = window.screen()->availableGeometry();
        QVERIFY(qAbs(window.frameGeometry().center().x() - area.center().x()) <= 2);
        QVERIFY(qAbs(window.frameGeometry().center().y() - area.center().y()) <= 2);

        // With a decoded image shown the window keeps its size.
        QTemporaryDir dir;
        AppDelegate withImage;
        withImage.openFiles({makeImage(dir, QStringLiteral("p.png"))}, dir.path());
        QWidget other;
        other.resize(900, 700);
        withImage.setWindow(&other);
        withImage.finishLaunching();
        QTest::qWait(50);
        QCOMPARE(other.size(), QSize(900, 700));
    }

    void realSecondLaunchExitsQuickly()
    {
        QTemporaryDir dir;
        const QString photo = makeImage(dir, QStringLiteral("shown.png"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(PELU_BINARY), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(dir.path()).entryList({QStringLiteral("pelu-*.socket")}, QDir::System).isEmpty(),
            10000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(dir.path());
        QElapsedTimer clock;
        clock.start();
        second.start(QStringLiteral(PELU_BINARY), {QStringLiteral("shown.png")});
        QVERIFY(second.waitForFinished(5000));
        const qint64 elapsed = clock.elapsed();
        first.kill();
        first.waitForFinished();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // Generous for a sanitizer build; the plain build takes a small fraction of this.
        QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
        Q_UNUSED(photo);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
