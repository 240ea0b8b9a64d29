#pragma once

#include <QByteArray>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

// Sets and removes properties of the X server's root window, as a colour manager would publish
// a screen's profile there.
namespace x11root {

inline bool change(const QByteArray& name, const QByteArray* value, uint8_t format = 8)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()),
        nullptr);
    const bool ok = atom != nullptr;
    if (atom && value)
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL,
                            format, uint32_t(value->size() / (format / 8)), value->constData());
    else if (atom)
        xcb_delete_property(connection, root, atom->atom);
    std::free(atom);
    // Round trip: the server has done it before this returns.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return ok;
}

inline bool set(const QByteArray& name, const QByteArray& value, uint8_t format = 8)
{
    return change(name, &value, format);
}

inline bool remove(const QByteArray& name)
{
    return change(name, nullptr);
}

} // namespace x11root
