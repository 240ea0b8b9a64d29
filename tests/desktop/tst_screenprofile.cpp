// Where the screen's colour profile comes from: the X server's root window properties, watched
// while Pelu runs, and colord on the system bus (here a bus and a colord of the test's own).
#include "../support/DisplayProfiles.h"
#include "../support/TestSupport.h"
#include "../support/X11Root.h"

#include "desktop/ColordProfile.h"
#include "desktop/ScreenProfile.h"
#include "desktop/X11Profile.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>
#include <QtTest>

namespace {

QByteArray colordProfileOff(const QString& output)
{
    // Blocking calls, as on the thread the viewer asks from.
    QFuture<QByteArray> asked =
        QtConcurrent::run([output] { return desktop::colord::displayProfile(output); });
    return asked.result();
}

int openSockets()
{
    int sockets = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        sockets += fd.symLinkTarget().contains(QLatin1String("socket:")) ? 1 : 0;
    return sockets;
}

} // namespace

class TestScreenProfile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_busAddress;

    static bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

private Q_SLOTS:
    void initTestCase()
    {
        // A bus of the test's own stands in for the system bus, before anything connects to it.
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
        if (m_bus.waitForStarted() && m_bus.waitForReadyRead(10000))
            m_busAddress = QString::fromUtf8(m_bus.readLine().trimmed());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_busAddress.toUtf8());
    }

    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
        if (onX11()) {
            x11root::remove("_ICC_PROFILE");
            x11root::remove("_ICC_PROFILE_1");
        }
    }

    // colord's default profile of the display on the window's output, else of the primary
    // display, else of the first; nothing while colord does not run or its file is gone.
    void colordProfiles()
    {
        if (m_busAddress.isEmpty())
            QSKIP("dbus-daemon did not start");
        QCOMPARE(colordProfileOff(QStringLiteral("DP-1")), QByteArray());

        const QByteArray adobe = displayprofiles::adobeRgb();
        const QByteArray tables = displayprofiles::adobeRgbInTables();
        const QString adobeFile = m_dir.filePath(QStringLiteral("adobe.icc"));
        const QString tablesFile = m_dir.filePath(QStringLiteral("tables.icc"));
        QVERIFY(testsupport::writeFile(adobeFile, adobe));
        QVERIFY(testsupport::writeFile(tablesFile, tables));
        const auto start = [](QProcess& colord, const QStringList& displays) {
            colord.start(QStringLiteral(FAKE_COLORD), displays);
            return colord.waitForReadyRead(10000) && colord.readLine().trimmed() == "ready";
        };
        {
            QProcess colord;
            QVERIFY(start(colord, {"eDP-1=" + tablesFile, "DP-1=" + adobeFile + ",primary"}));
            QCOMPARE(colordProfileOff(QStringLiteral("eDP-1")), tables);
            QCOMPARE(colordProfileOff(QStringLiteral("DP-1")), adobe);
            QCOMPARE(colordProfileOff(QStringLiteral("HDMI-3")), adobe); // the primary

            desktop::colord::Watch watch;
            QSignalSpy changed(&watch, &desktop::colord::Watch::changed);
            QTest::qWait(300); // the watch's match rule reaches the bus
            colord.write("changed\n");
            QVERIFY(changed.wait(5000));
            colord.closeWriteChannel();
            QVERIFY(colord.waitForFinished(5000));
        }
        QProcess colord;
        QVERIFY(start(colord, {"eDP-1=" + tablesFile, "DP-1=" + m_dir.filePath("gone.icc")}));
        QCOMPARE(colordProfileOff(QString()), tables); // no primary: the first listed
        QCOMPARE(colordProfileOff(QStringLiteral("DP-1")), QByteArray());
        colord.closeWriteChannel();
        QVERIFY(colord.waitForFinished(5000));
        QCOMPARE(colordProfileOff(QStringLiteral("eDP-1")), QByteArray());
    }

    // The root window's properties, screen by screen; anything but 8-bit items is no profile.
    void x11Properties()
    {
        if (!onX11())
            QSKIP("needs an X server (the _xvfb run)");
        const QByteArray adobe = displayprofiles::adobeRgb();
        const QByteArray tables = displayprofiles::adobeRgbInTables();
        QVERIFY(x11root::set("_ICC_PROFILE", adobe));
        QVERIFY(x11root::set("_ICC_PROFILE_1", tables));
        // The start's connection stays open until the screen's watch takes it over: a server
        // whose last client leaves resets, and refuses Qt's connection meanwhile.
        const int sockets = openSockets();
        QCOMPARE(desktop::startupScreenProfile(), adobe);
        QCOMPARE(openSockets(), sockets + 1);
        {
            const desktop::x11::ProfileWatch watch;
            QCOMPARE(openSockets(), sockets + 1);
            QCOMPARE(watch.profile(0), adobe);
            QCOMPARE(watch.profile(1), tables);
            QCOMPARE(watch.profile(2), QByteArray());
            QVERIFY(x11root::set("_ICC_PROFILE", adobe.left(adobe.size() / 4 * 4), 32));
            QCOMPARE(watch.profile(0), QByteArray());
            QVERIFY(x11root::remove("_ICC_PROFILE"));
            QCOMPARE(watch.profile(0), QByteArray());
        }
        QCOMPARE(openSockets(), sockets);
    }

    // A profile published, changed or taken away while Pelu runs reaches it at once.
    void x11ChangesAreFollowed()
    {
        if (!onX11())
            QSKIP("needs an X server (the _xvfb run)");
        const QByteArray adobe = displayprofiles::adobeRgb();
        const QByteArray tables = displayprofiles::adobeRgbInTables();
        QVERIFY(x11root::set("_ICC_PROFILE", adobe));
        desktop::ScreenProfile profile;
        QWindow window;
        window.resize(100, 100);
        window.show();
        profile.follow(&window);
        QCOMPARE(profile.profile(), adobe);
        QSignalSpy changed(&profile, &desktop::ScreenProfile::profileChanged);

        QVERIFY(x11root::set("_ICC_PROFILE", tables));
        QVERIFY(changed.wait(5000));
        QCOMPARE(changed.takeFirst().at(0).toByteArray(), tables);
        QVERIFY(x11root::remove("_ICC_PROFILE"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(profile.profile(), QByteArray());
        // Another screen's profile is not this one's.
        QVERIFY(x11root::set("_ICC_PROFILE_1", adobe));
        QVERIFY(!changed.wait(500));
        QVERIFY(x11root::set("_ICC_PROFILE", adobe));
        QVERIFY(changed.wait(5000));
        QCOMPARE(profile.profile(), adobe);
    }
};

QTEST_MAIN(TestScreenProfile)
#include "tst_screenprofile.moc"
