#include "app/FontWarmup.h"

#include "base/ThreadPriority.h"

#include <QByteArray>
#include <QtGlobal>

#include <dlfcn.h>

namespace app {

namespace {

// Whether Qt will start on X11: its platform named, or left to Qt outside a Wayland session.
bool startsOnX11()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform.startsWith("xcb");
    return qgetenv("XDG_SESSION_TYPE") != "wayland" &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

FontWarmup::FontWarmup(bool wanted)
{
    if (!wanted || !startsOnX11())
        return;
    // Qt's own copy of the library, already mapped with it; nothing to open when it is absent.
    void* library = dlopen("libfontconfig.so.1", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!library)
        return;
    using Init = int (*)();
    const auto init = reinterpret_cast<Init>(dlsym(library, "FcInit"));
    if (!init) {
        dlclose(library);
        return;
    }
    m_thread = std::thread([library, init] {
        // Qt's start waits on the X server over and over: both come first, this fills the gaps.
        base::lowerThreadPriority(base::Yield::toEverything);
        init();
        dlclose(library);
    });
}

void FontWarmup::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace app
