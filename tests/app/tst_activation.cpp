#include "AppTestSupport.h"
#include "desktop/Applications.h"
#include "desktop/WindowSystem.h"
#include "desktop/X11Startup.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

using apptest::makeImage;

namespace {

// Stands in for the window manager on a bare X server: it receives what is sent to the root
// window for one (activation requests, startup notification messages).
class FakeWindowManager {
public:
    struct Activation {
        quint32 window, source, time;
    };

    FakeWindowManager() : m_connection(xcb_connect(nullptr, nullptr))
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const uint32_t events =
            XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_change_window_attributes_checked(m_connection, screen->root,
                                                               XCB_CW_EVENT_MASK, &events));
        m_ready = !error;
        std::free(error);
        m_activeWindow = atom("_NET_ACTIVE_WINDOW");
        m_startupBegin = atom("_NET_STARTUP_INFO_BEGIN");
        m_startupMore = atom("_NET_STARTUP_INFO");
    }
    ~FakeWindowManager() { xcb_disconnect(m_connection); }

    bool ready() const { return m_ready; }
    QList<Activation> activations;
    QList<QByteArray> startupMessages;

    void receive()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE)
                take(*reinterpret_cast<xcb_client_message_event_t*>(event));
            std::free(event);
        }
    }

private:
    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return found;
    }

    void take(const xcb_client_message_event_t& message)
    {
        if (message.type == m_activeWindow) {
            activations.append({message.window, message.data.data32[0], message.data.data32[1]});
        } else if (message.type == m_startupBegin || message.type == m_startupMore) {
            if (message.type == m_startupBegin)
                m_pending.clear();
            m_pending.append(reinterpret_cast<const char*>(message.data.data8), 20);
            if (const qsizetype end = m_pending.indexOf('\0'); end >= 0)
                startupMessages.append(m_pending.left(end));
        }
    }

    xcb_connection_t* m_connection;
    bool m_ready = false;
    xcb_atom_t m_activeWindow, m_startupBegin, m_startupMore;
    QByteArray m_pending;
};

QByteArray environmentOf(const QString& environFile, const QByteArray& name)
{
    for (const QByteArray& entry : testsupport::readFile(environFile).split('\0')) {
        if (entry.startsWith(name + '='))
            return entry.mid(name.size() + 1);
    }
    return "(unset)";
}

} // namespace

// Bringing the window forward for a second launch, and handing a launched program a token.
class TestActivation : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

    static bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

private Q_SLOTS:
    // The time ends the launcher's id, within 32 bits; ids and tokens are quoted where needed,
    // and dropped when they hold control characters or run long.
    void startupIdsAndTokens()
    {
        using namespace desktop::x11;
        const QList<std::pair<const char*, quint32>> times{
            {"nautilus-4711-host-pelu-3_TIME123456", 123456u},
            {"x_TIME4294967295", 4294967295u},
            {"x_TIME4294967296", 0u},
            {"kde-launcher-1234", 0u},
            {"x_TIME12-more", 0u},
            {"x_TIME", 0u},
            {"", 0u}};
        for (const auto& [id, time] : times)
            QCOMPARE(startupIdTime(QString::fromLatin1(id)), time);
        QCOMPARE(startupRemoveMessage(QStringLiteral("a-1_TIME5")), "remove: ID=a-1_TIME5");
        QCOMPARE(startupRemoveMessage(QStringLiteral("a b\"c\\d")), "remove: ID=\"a b\\\"c\\\\d\"");
        const QString id = makeStartupId(QStringLiteral("My App/2"), 99);
        QVERIFY2(QRegularExpression(QStringLiteral("^pelu-[0-9]+-[^ -/]+-My_App_2-[0-9]+_TIME99$"))
                     .match(id)
                     .hasMatch(),
                 qPrintable(id));
        QVERIFY(makeStartupId(QStringLiteral("a"), 1) != makeStartupId(QStringLiteral("a"), 1));
        QCOMPARE(desktop::sanitizedToken(QStringLiteral("abc_TIME1")), "abc_TIME1");
        QCOMPARE(desktop::sanitizedToken(QStringLiteral("abc\ndef")), QString());
        QCOMPARE(desktop::sanitizedToken(QString(2000, QLatin1Char('a'))), QString());
    }

    // The X server of the test has no window manager: this test plays one. The second launch
    // reads its startup id before Qt's X11 plugin takes it from the environment, and the running
    // instance asks for its own window's focus with the launcher's time, then tells the launcher
    // its start is complete.
    void realSecondLaunchForwardsItsStartupId()
    {
        if (!onX11())
            QSKIP("needs an X server (app_tst_activation_xvfb)");
        QTemporaryDir dir;
        makeImage(dir.path(), QStringLiteral("a.png"));
        makeImage(dir.path(), QStringLiteral("b.png"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        QProcess first, second;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(dir.path());
        first.start(QStringLiteral(PELU_BINARY), {QStringLiteral("a.png")});
        QTRY_VERIFY_WITH_TIMEOUT(
            !QDir(dir.path()).entryList({QStringLiteral("pelu-*.socket")}, QDir::System).isEmpty(),
            10000);
        QProcess search;
        search.start(QStringLiteral("xdotool"),
                     QStringLiteral("search --sync --onlyvisible --name a.png").split(' '));
        QVERIFY(search.waitForFinished(10000));
        const quint32 window = search.readAllStandardOutput().trimmed().toUInt();
        FakeWindowManager manager;
        QVERIFY(manager.ready());
        env.insert(QStringLiteral("DESKTOP_STARTUP_ID"),
                   QStringLiteral("menu-7-host-pelu-1_TIME9001"));
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(dir.path());
        second.start(QStringLiteral(PELU_BINARY), {QStringLiteral("b.png")});
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT((manager.receive(), !manager.activations.isEmpty()), 5000);
        QTRY_VERIFY((manager.receive(), !manager.startupMessages.isEmpty()));
        first.kill();
        first.waitForFinished();
        QCOMPARE(manager.activations[0].window, window);
        QCOMPARE(manager.activations[0].source, 1u);
        QCOMPARE(manager.activations[0].time, 9001u);
        QCOMPARE(manager.startupMessages.last(), "remove: ID=menu-7-host-pelu-1_TIME9001");
    }

    // A program Pelu starts gets a startup id of its own on X11 (with the server's time, so
    // that the window manager lets its window take the focus), and never the token Pelu was
    // started with.
    void launchedProgramGetsItsOwnToken()
    {
        QTemporaryDir dir;
        const QString photo = makeImage(dir.path(), QStringLiteral("photo.png"));
        const QString copies = dir.filePath(QStringLiteral("launched"));
        QVERIFY(QDir().mkpath(copies));
        // cp copies its own environment and the photo into the folder.
        const QString entry = dir.filePath(QStringLiteral("recorder.desktop"));
        QVERIFY(testsupport::writeFile(
            entry, QStringLiteral("[Desktop Entry]\nType=Application\nName=Recorder\n"
                                  "Exec=cp /proc/self/environ %f %1\n")
                       .arg(copies)
                       .toUtf8()));
        qputenv("XDG_ACTIVATION_TOKEN", "spent-token");
        qputenv("DESKTOP_STARTUP_ID", "spent-id_TIME1");
        const quint32 before = desktop::x11::serverTime();
        QVERIFY(desktop::launchApplication(QUrl::fromLocalFile(entry), QUrl::fromLocalFile(photo)));
        const QString environ = copies + QStringLiteral("/environ");
        QTRY_VERIFY(QFile::exists(copies + QStringLiteral("/photo.png")));
        QCOMPARE(environmentOf(environ, "XDG_ACTIVATION_TOKEN"), "(unset)");
        const QByteArray id = environmentOf(environ, "DESKTOP_STARTUP_ID");
        if (!onX11()) {
            QCOMPARE(id, "(unset)");
            return;
        }
        QVERIFY2(id.startsWith("pelu-") && id.contains("-recorder-"), id.constData());
        QVERIFY2(desktop::x11::startupIdTime(QString::fromUtf8(id)) >= before, id.constData());
        QVERIFY(before > 0);
    }
};

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
