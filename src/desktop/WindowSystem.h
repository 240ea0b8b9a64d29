#pragma once

#include <QString>

class QWindow;

// What differs between the window systems Pelu runs on: who places windows, and how a window
// comes to the front when the user asked for it in another program.
namespace desktop {

// False where the window system neither reports nor obeys a window's position (Wayland): the
// compositor places windows there, and a position read back is made up.
bool windowPositionsKnown();

// What a launcher hands the program it starts so that its window may take the focus: an
// xdg-activation token on Wayland (XDG_ACTIVATION_TOKEN), a startup notification id on X11
// (DESKTOP_STARTUP_ID). Launchers may set both; either may be empty.
struct ActivationToken {
    QString wayland;
    QString x11;

    bool isEmpty() const { return wayland.isEmpty() && x11.isEmpty(); }
    bool operator==(const ActivationToken&) const = default;
};

// The token this process was started with. Read it before the application object exists: Qt's
// X11 plugin takes DESKTOP_STARTUP_ID from the environment for its own first window.
ActivationToken launchActivationToken();

// The token as it may travel: without control characters and of a sane length, else empty.
QString sanitizedToken(const QString& token);

// Brings the window to the front with the keyboard focus, vouched for by the token the user's
// launcher gave: on Wayland through xdg-activation, on X11 by _NET_ACTIVE_WINDOW with the
// launcher's time (and the launcher's startup notification is completed). Without a token the
// window system decides, as for any request to activate.
void activateWindow(QWindow* window, const ActivationToken& token);

// The same for the first window of this launch, once shown. On X11 Qt does it itself with
// DESKTOP_STARTUP_ID; Qt 6.4's Wayland plugin does not.
void activateFirstWindow(QWindow* window, const ActivationToken& launchToken);

// A token for a program Pelu starts now for the user (Open With, Reveal), so that its window
// may come to the front: on X11 a startup id with the X server's time. Empty where none can be
// had (Qt 6.4 offers no public way to ask a Wayland compositor for one).
ActivationToken activationTokenForLaunch(const QString& launchedName);

} // namespace desktop
