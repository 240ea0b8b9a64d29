#include "desktop/ScreenProfile.h"

#include "base/BackgroundTask.h"
#include "desktop/ColordProfile.h"
#include "desktop/X11Profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace desktop {

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

ScreenProfile::ScreenProfile(QObject* parent) : QObject(parent)
{
    if (onX11()) {
        m_x11 = new x11::ProfileWatch(this);
        connect(m_x11, &x11::ProfileWatch::changed, this, &ScreenProfile::reread);
    } else if (onWayland()) {
        m_colord = new colord::Watch(this);
        connect(m_colord, &colord::Watch::changed, this, &ScreenProfile::reread);
    }
    reread();
}

ScreenProfile::~ScreenProfile() = default;

void ScreenProfile::follow(QWindow* window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (window)
        connect(window, &QWindow::screenChanged, this, &ScreenProfile::reread);
    reread();
}

void ScreenProfile::reread()
{
    QScreen* screen = m_window ? m_window->screen() : QGuiApplication::primaryScreen();
    if (m_x11) {
        // Screen n of the desktop, in the order the window system lists them.
        const int number = std::max<int>(0, int(QGuiApplication::screens().indexOf(screen)));
        take(m_x11->profile(number));
    } else if (m_colord) {
        const quint64 asked = ++m_asked;
        const QString output = screen ? screen->name() : QString();
        // colord answers over the system bus, within a second at worst: never on this thread.
        base::runInBackground(
            this, [output] { return colord::displayProfile(output); },
            [this, asked](const QByteArray& icc) {
                if (m_asked == asked)
                    take(icc);
            });
    }
}

void ScreenProfile::take(const QByteArray& icc)
{
    if (icc == m_profile)
        return;
    m_profile = icc;
    Q_EMIT profileChanged(icc);
}

QByteArray startupScreenProfile()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = platform.isEmpty() ? qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                        : platform.startsWith("xcb");
    return x11 ? x11::readStartupProfile() : QByteArray();
}

} // namespace desktop
