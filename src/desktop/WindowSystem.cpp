#include "desktop/WindowSystem.h"

#include <QGuiApplication>

namespace desktop {

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

bool windowPositionsKnown()
{
    return !onWayland();
}

} // namespace desktop
