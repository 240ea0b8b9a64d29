#include "AppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "imaging/EarlyDecode.h"
#include "state/AppState.h"

#include <QDataStream>
#include <QScreen>
#include <QWidget>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using apptest::makeImage;

namespace {

sockaddr_un addressOf(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    if (size_t(encoded.size()) < sizeof(address.sun_path))
        memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    return address;
}

// Leaves a socket file behind with nobody listening, as a crashed instance would.
void makeStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

// A connection any local program could make; it never blocks on a write.
int connectRaw(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const sockaddr_un address = addressOf(path);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A message as earlier builds wrote it: the path alone.
QByteArray messageFor(const QString& path)
{
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << path;
    return message;
}

} // namespace

class TestAppDelegate : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void opensFirstFileRelativeToWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString b = makeImage(dir.path(), QStringLiteral("b.png"));
        makeImage(dir.path(), QStringLiteral("a.png"));
        AppDelegate delegate;
        delegate.openFiles({QStringLiteral("b.png"), QStringLiteral("a.png")}, dir.path());
        QCOMPARE(delegate.appState().currentURL(), QUrl::fromLocalFile(b));
        QCOMPARE(delegate.appState().windowTitle(), QStringLiteral("b.png [2/2]"));
        delegate.openFiles({}, dir.path());
        QCOMPARE(delegate.appState().currentURL(), QUrl::fromLocalFile(b));
    }

    // A second launch hands its file over and raises the window, ignoring garbage on the socket;
    // after the window closed, or a crash left the socket, the new launch becomes the instance.
    void secondLaunch_data()
    {
        QTest::addColumn<QString>("before");
        QTest::newRow("running") << "";
        QTest::newRow("garbage sent first") << "garbage";
        QTest::newRow("sent in pieces first") << "pieces";
        QTest::newRow("stale socket") << "stale";
        QTest::newRow("window closed") << "closed";
    }
    void secondLaunch()
    {
        QFETCH(QString, before);
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("pelu.socket"));
        const QString photo = makeImage(dir.path(), QStringLiteral("photo.png"));
        if (before == "stale")
            makeStaleSocket(socket);
        AppDelegate running;
        QWidget window;
        running.setWindow(&window);
        window.show();
        QVERIFY(!running.handOverOrListen({}, dir.path(), socket));
        if (before == "garbage") {
            const int client = connectRaw(socket);
            QVERIFY(client >= 0);
            const QByteArray garbage(200000, '\xff');
            QVERIFY(::send(client, garbage.constData(), size_t(garbage.size()), MSG_NOSIGNAL) > 0);
            QTest::qWait(100);
            ::close(client);
        }
        if (before == "pieces") {
            // Half a message, a pause, the rest and the close: the running instance waits for
            // it whole, while a second sender that never finishes holds nobody up.
            const int stuck = connectRaw(socket);
            const int client = connectRaw(socket);
            QVERIFY(stuck >= 0 && client >= 0);
            const QString other = makeImage(dir.path(), QStringLiteral("other.png"));
            const QByteArray message = messageFor(other);
            QCOMPARE(::send(stuck, message.constData(), 5, MSG_NOSIGNAL), 5);
            QCOMPARE(::send(client, message.constData(), 5, MSG_NOSIGNAL), 5);
            QTest::qWait(50);
            QVERIFY(!running.appState().currentURL());
            const auto rest = size_t(message.size() - 5);
            QCOMPARE(::send(client, message.constData() + 5, rest, MSG_NOSIGNAL), ssize_t(rest));
            QTest::qWait(50);
            QVERIFY(!running.appState().currentURL());
            ::close(client);
            QTRY_COMPARE(running.appState().currentURL(), QUrl::fromLocalFile(other));
            ::close(stuck);
        }
        if (before == "closed")
            window.close();
        AppDelegate second;
        const bool handed =
            second.handOverOrListen({QStringLiteral("photo.png")}, dir.path(), socket);
        QCOMPARE(handed, before != "closed");
        if (!handed) {
            QTest::qWait(50);
            QVERIFY(!running.appState().currentURL());
            return;
        }
        QTRY_COMPARE(running.appState().currentURL(), QUrl::fromLocalFile(photo));
        QVERIFY(running.appState().currentImage());
        window.hide();
        AppDelegate third;
        QVERIFY(third.handOverOrListen({}, dir.path(), socket));
        QTRY_VERIFY(window.isVisible());
        QCOMPARE(running.appState().currentURL(), QUrl::fromLocalFile(photo));
    }

    // The launch's activation token travels with the file or the request to raise the window;
    // a message of an earlier build (the path alone), or one cut inside the token, still opens
    // its file, with no token.
    void handOverMessage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("x11");
        QTest::addColumn<QByteArray>("raw"); // sent instead of a hand-over when not empty
        QTest::addColumn<QString>("receivedWayland");
        QTest::addColumn<QString>("receivedX11");
        const QString file = QStringLiteral("/pictures/a b.png");
        const QString none, wayland = QStringLiteral("wl-7f3a");
        const QString x11 = QStringLiteral("launcher-1-h-pelu-0_TIME77");
        const QByteArray handOver;
        QTest::newRow("both tokens") << file << wayland << x11 << handOver << wayland << x11;
        QTest::newRow("no token") << file << none << none << handOver << none << none;
        QTest::newRow("raise with a token")
            << none << wayland << none << handOver << wayland << none;
        QTest::newRow("earlier build") << file << none << none << messageFor(file) << none << none;
        QTest::newRow("cut inside the token")
            << file << none << none << messageFor(file) + messageFor(wayland).left(7) << none
            << none;
        QTest::newRow("token with a line break")
            << file << none << none << messageFor(file) + messageFor("a\nb") + messageFor(x11)
            << none << x11;
    }
    void handOverMessage()
    {
        QFETCH(QString, path);
        QFETCH(QString, wayland);
        QFETCH(QString, x11);
        QFETCH(QByteArray, raw);
        QFETCH(QString, receivedWayland);
        QFETCH(QString, receivedX11);
        QTemporaryDir dir;
        const QString socket = dir.filePath(QStringLiteral("pelu.socket"));
        SingleInstance running(socket);
        QVERIFY(running.listen());
        QStringList paths;
        QList<desktop::ActivationToken> tokens;
        connect(&running, &SingleInstance::fileReceived, this,
                [&](const QString& received, const desktop::ActivationToken& token) {
                    paths.append(received);
                    tokens.append(token);
                });
        connect(&running, &SingleInstance::raiseRequested, this,
                [&](const desktop::ActivationToken& token) {
                    paths.append(QStringLiteral("(raise)"));
                    tokens.append(token);
                });
        if (raw.isEmpty()) {
            SingleInstance second(socket);
            QVERIFY(second.handOver(path, {wayland, x11}));
        } else {
            const int client = connectRaw(socket);
            QVERIFY(client >= 0);
            QCOMPARE(::send(client, raw.constData(), size_t(raw.size()), MSG_NOSIGNAL),
                     ssize_t(raw.size()));
            ::close(client);
        }
        QTRY_COMPARE(paths.size(), 1);
        QCOMPARE(paths[0], path.isEmpty() ? QStringLiteral("(raise)") : path);
        QCOMPARE(tokens[0], (desktop::ActivationToken{receivedWayland, receivedX11}));
        QTest::qWait(50);
        QCOMPARE(paths.size(), 1);
    }

    // Empty, the window gets the small default size, centred; with an image it keeps its size.
    void emptyStartGetsSmallCentredWindow()
    {
        AppDelegate delegate;
        QWidget window;
        window.resize(900, 700);
        window.show();
        delegate.setWindow(&window);
        delegate.finishLaunching();
        QTRY_COMPARE(window.size(), QSize(400, 300));
        const QPoint offset =
            window.frameGeometry().center() - window.screen()->availableGeometry().center();
        QVERIFY(qAbs(offset.x()) <= 2 && qAbs(offset.y()) <= 2);

        QTemporaryDir dir;
        const auto keepsItsSize = [&dir](const QString& file, bool preview,
                                         imaging::EarlyDecode* early = nullptr) {
            AppDelegate withImage(early);
            withImage.openFiles({file}, dir.path());
            if (withImage.appState().currentPreview().has_value() != preview)
                return false;
            QWidget other;
            other.resize(900, 700);
            withImage.setWindow(&other);
            withImage.finishLaunching();
            QTest::qWait(50);
            return other.size() == QSize(900, 700);
        };
        QVERIFY(keepsItsSize(makeImage(dir.path(), QStringLiteral("p.png")), false));
        // So does a photo whose preview is all there is yet.
        const QString photo = makeImage(dir.path(), QStringLiteral("p.jpg"), {640, 480});
        imaging::EarlyDecode early(photo, [] { return QSize(160, 120); });
        QVERIFY(keepsItsSize(photo, true, &early));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
