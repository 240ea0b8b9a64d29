#include "desktop/X11Startup.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace desktop::x11 {

namespace {

// What the startup notification messages carry per X client message.
constexpr int kChunkBytes = 20;

struct Free {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Reply = std::unique_ptr<T, Free>;

xcb_connection_t* qtConnection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
    return native ? native->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window)
{
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    return tree ? tree->root : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_screen_t* screenNumber(xcb_connection_t* connection, int number)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; screens.rem; --number, xcb_screen_next(&screens)) {
        if (number == 0)
            return screens.data;
    }
    return nullptr;
}

// The value of a key=value pair, quoted when it holds a space, a quote or a backslash.
QByteArray quotedValue(const QByteArray& value)
{
    if (!value.contains(' ') && !value.contains('"') && !value.contains('\\'))
        return value;
    QByteArray quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

quint32 startupIdTime(const QString& startupId)
{
    static const QRegularExpression time(QStringLiteral("_TIME([0-9]{1,10})$"));
    const QRegularExpressionMatch match = time.match(startupId);
    if (!match.hasMatch())
        return 0;
    const qulonglong value = match.captured(1).toULongLong();
    return value <= 0xffffffffULL ? quint32(value) : 0;
}

QByteArray startupRemoveMessage(const QString& startupId)
{
    return "remove: ID=" + quotedValue(startupId.toUtf8());
}

QString makeStartupId(const QString& launchedName, quint32 time)
{
    static QAtomicInteger<int> sequence = 0;
    // The parts are separated by dashes and slashes would confuse the readers of the id.
    const auto part = [](QString text) {
        static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._]"));
        return text.replace(unsafe, QStringLiteral("_"));
    };
    return QStringLiteral("pelu-%1-%2-%3-%4_TIME%5")
        .arg(QCoreApplication::applicationPid())
        .arg(part(QSysInfo::machineHostName()), part(launchedName))
        .arg(sequence.fetchAndAddRelaxed(1))
        .arg(time);
}

bool available()
{
    return qtConnection() != nullptr;
}

void requestActiveWindow(quint32 window, quint32 time)
{
    xcb_connection_t* connection = qtConnection();
    if (!connection || !window)
        return;
    const xcb_window_t root = rootOf(connection, window);
    const xcb_atom_t type = atom(connection, "_NET_ACTIVE_WINDOW");
    if (root == XCB_WINDOW_NONE || type == XCB_ATOM_NONE)
        return;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = 1; // the request comes from an application, not a pager
    event.data.data32[1] = time;
    event.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

void sendStartupMessage(quint32 window, const QByteArray& message)
{
    xcb_connection_t* connection = qtConnection();
    if (!connection || !window)
        return;
    const xcb_window_t root = rootOf(connection, window);
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    if (root == XCB_WINDOW_NONE || begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;
    // The terminating nul travels too, so that the receiver knows where the message ends.
    const QByteArray text = message + '\0';
    for (qsizetype offset = 0; offset < text.size(); offset += kChunkBytes) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = offset == 0 ? begin : more;
        const auto length = size_t(std::min<qsizetype>(kChunkBytes, text.size() - offset));
        std::memcpy(event.data.data8, text.constData() + offset, length);
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection);
}

quint32 serverTime()
{
    if (!available())
        return 0;
    // A connection of its own: the event that carries the time must not go to Qt's reader.
    const QByteArray display = qgetenv("DISPLAY");
    int number = 0;
    xcb_connection_t* connection =
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), &number);
    const auto disconnect =
        std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)>(connection, xcb_disconnect);
    const xcb_screen_t* screen =
        xcb_connection_has_error(connection) ? nullptr : screenNumber(connection, number);
    if (!screen)
        return 0;
    // Touching a property of a window of ours: the server stamps the notice with its time.
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &events);
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, 0, nullptr);
    xcb_flush(connection);
    while (true) {
        const Reply<xcb_generic_event_t> event(xcb_wait_for_event(connection));
        if (!event)
            return 0;
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            return reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time;
    }
}

} // namespace desktop::x11
