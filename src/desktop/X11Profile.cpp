#include "desktop/X11Profile.h"

#include <QSocketNotifier>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include <xcb/xcb.h>

namespace desktop::x11 {

namespace {

// Real profiles are a few kilobytes, those of tables up to a few hundred; anything larger is
// not read at all.
constexpr uint32_t kMaxProfileBytes = 16 * 1024 * 1024;

struct Free {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Reply = std::unique_ptr<T, Free>;

xcb_connection_t* openConnection(xcb_window_t* root)
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return nullptr;
    int number = 0;
    xcb_connection_t* connection = xcb_connect(display.constData(), &number);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; screens.rem && number > 0; --number)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    *root = screens.data->root;
    return connection;
}

// The connection the start read its profile over, until a watch takes it.
struct StartupConnection {
    std::mutex mutex;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection{nullptr,
                                                                               xcb_disconnect};
    xcb_window_t root = 0;
    bool taken = false;
};

StartupConnection& startupConnection()
{
    static StartupConnection kept;
    return kept;
}

QByteArray readProfile(xcb_connection_t* connection, xcb_window_t root, int number)
{
    const QByteArray name = iccProfileAtom(number);
    // Only if it exists: an atom nobody made names no profile, and a server keeps every atom
    // made for ever.
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()),
        nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return {};
    const Reply<xcb_get_property_reply_t> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, root, atom->atom,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxProfileBytes / 4),
                               nullptr));
    if (!property || property->format != 8 || property->bytes_after != 0)
        return {};
    const int length = xcb_get_property_value_length(property.get());
    if (length <= 0 || uint32_t(length) > kMaxProfileBytes)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(property.get())), length);
}

} // namespace

QByteArray iccProfileAtom(int number)
{
    return number <= 0 ? QByteArrayLiteral("_ICC_PROFILE")
                       : QByteArrayLiteral("_ICC_PROFILE_") + QByteArray::number(number);
}

QByteArray readStartupProfile()
{
    StartupConnection& kept = startupConnection();
    const std::lock_guard lock(kept.mutex);
    xcb_window_t root = 0;
    xcb_connection_t* connection = openConnection(&root);
    if (!connection)
        return {};
    const QByteArray profile = readProfile(connection, root, 0);
    if (kept.taken || kept.connection) {
        // A watch has its own already; Qt's connection keeps the server from resetting.
        xcb_disconnect(connection);
    } else {
        kept.connection.reset(connection);
        kept.root = root;
    }
    return profile;
}

ProfileWatch::ProfileWatch(QObject* parent) : QObject(parent)
{
    xcb_window_t root = 0;
    {
        StartupConnection& kept = startupConnection();
        const std::lock_guard lock(kept.mutex);
        kept.taken = true;
        m_connection = kept.connection.release();
        root = kept.root;
    }
    if (!m_connection)
        m_connection = openConnection(&root);
    if (!m_connection)
        return;
    m_root = root;
    // This connection's own interest in the root window: other clients' masks are their own.
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(m_connection);
    m_notifier =
        new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ProfileWatch::readEvents);
}

ProfileWatch::~ProfileWatch()
{
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

QByteArray ProfileWatch::profile(int number) const
{
    return m_connection ? readProfile(m_connection, m_root, number) : QByteArray();
}

bool ProfileWatch::isProfileAtom(quint32 atom)
{
    if (const auto known = m_atoms.constFind(atom); known != m_atoms.cend())
        return *known;
    const Reply<xcb_get_atom_name_reply_t> name(
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    const bool profile = name && QByteArray(xcb_get_atom_name_name(name.get()),
                                            xcb_get_atom_name_name_length(name.get()))
                                     .startsWith("_ICC_PROFILE");
    m_atoms.insert(atom, profile);
    return profile;
}

void ProfileWatch::readEvents()
{
    bool profileChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const Reply<xcb_generic_event_t> owned(event);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            continue;
        const auto* notice = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notice->window == m_root && isProfileAtom(notice->atom))
            profileChanged = true;
    }
    if (xcb_connection_has_error(m_connection)) {
        // The server went away: nothing more will come.
        m_notifier->setEnabled(false);
        return;
    }
    if (profileChanged)
        Q_EMIT changed();
}

} // namespace desktop::x11
