#include "desktop/WindowSystem.h"

#include "desktop/X11Startup.h"

#include <QGuiApplication>
#include <QWindow>

namespace desktop {

namespace {

constexpr qsizetype kMaxTokenLength = 1024;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

bool windowPositionsKnown()
{
    return !onWayland();
}

QString sanitizedToken(const QString& token)
{
    if (token.size() > kMaxTokenLength)
        return {};
    for (const QChar c : token) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return {};
    }
    return token;
}

ActivationToken launchActivationToken()
{
    return {sanitizedToken(qEnvironmentVariable("XDG_ACTIVATION_TOKEN")),
            sanitizedToken(qEnvironmentVariable("DESKTOP_STARTUP_ID"))};
}

void activateWindow(QWindow* window, const ActivationToken& token)
{
    if (!window)
        return;
    if (onWayland()) {
        // Qt's Wayland plugin hands the compositor the token it finds here when asked to
        // activate, and takes it out; where the compositor cannot take one, it is taken out
        // here, so that no program started later inherits a spent token.
        if (!token.wayland.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.wayland.toUtf8());
        if (!token.wayland.isEmpty() || !window->isActive())
            window->requestActivate();
        qunsetenv("XDG_ACTIVATION_TOKEN");
        return;
    }
    if (x11::available()) {
        // Qt would stamp the request with the last event it saw here, which is older than the
        // user's click in the launcher, and the window manager would refuse the focus.
        if (const quint32 time = x11::startupIdTime(token.x11))
            x11::requestActiveWindow(quint32(window->winId()), time);
        else if (!window->isActive())
            window->requestActivate();
        if (!token.x11.isEmpty())
            x11::sendStartupMessage(quint32(window->winId()), x11::startupRemoveMessage(token.x11));
        return;
    }
    if (!window->isActive())
        window->requestActivate();
}

void activateFirstWindow(QWindow* window, const ActivationToken& launchToken)
{
    if (onWayland() && !launchToken.wayland.isEmpty())
        activateWindow(window, {launchToken.wayland, QString()});
    // A spent token is no use to the programs Pelu starts.
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

ActivationToken activationTokenForLaunch(const QString& launchedName)
{
    if (const quint32 time = x11::serverTime())
        return {QString(), x11::makeStartupId(launchedName, time)};
    return {};
}

} // namespace desktop
