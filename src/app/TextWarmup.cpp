#include "app/TextWarmup.h"

#include "base/ThreadPriority.h"

#include <QByteArray>
#include <QtGlobal>

#include <clocale>
#include <dlfcn.h>
#include <langinfo.h>
#include <strings.h>

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

using Call = int (*)();

// One of a library's functions, from the copy Qt has already mapped: never a library of our own.
Call mappedFunction(const char* library, const char* name, void** handle)
{
    *handle = dlopen(library, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (!*handle)
        return nullptr;
    const auto function = reinterpret_cast<Call>(dlsym(*handle, name));
    if (!function) {
        dlclose(*handle);
        *handle = nullptr;
    }
    return function;
}

// Xlib keeps its tables per locale name, so they are read ahead only for the one Qt will run
// in: Qt sets the character type from the environment as its application object is made, the
// same as here, and switches any other character set to UTF-8, for which nothing is read ahead.
bool localeIsUtf8()
{
    if (!std::setlocale(LC_CTYPE, ""))
        return false;
    const char* codeset = nl_langinfo(CODESET);
    return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0;
}

} // namespace

TextWarmup::TextWarmup(bool wanted)
{
    if (!wanted || !startsOnX11())
        return;
    void* fontconfig = nullptr;
    const Call initFonts = mappedFunction("libfontconfig.so.1", "FcInit", &fontconfig);
    if (!initFonts)
        return;
    void* x11 = nullptr;
    Call loadLocale = nullptr;
    // Before any other Xlib call, so that the tables' lock is real when Qt reads them too.
    if (const Call initThreads = mappedFunction("libX11.so.6", "XInitThreads", &x11)) {
        loadLocale = initThreads() && localeIsUtf8()
                         ? reinterpret_cast<Call>(dlsym(x11, "XSupportsLocale"))
                         : nullptr;
    }
    m_thread = std::thread([fontconfig, initFonts, x11, loadLocale] {
        // Qt's start and the X server that draws its window come first: this only takes what
        // processor they leave.
        base::lowerThreadPriority(base::Yield::toEverything);
        // First what Qt needs first: it names a window while it connects.
        if (loadLocale)
            loadLocale();
        initFonts();
        if (x11)
            dlclose(x11);
        dlclose(fontconfig);
    });
}

void TextWarmup::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace app
