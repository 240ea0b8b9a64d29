#include "desktop/GioLibrary.h"

#include "base/RuntimeLibrary.h"

namespace desktop {

const GioLibrary* gioLibrary()
{
    // GLib's and GObject's functions are found through GIO, which depends on both.
    static const GioLibrary* const library = base::openRuntimeLibrary<GioLibrary>(
        "libgio-2.0.so.0", [](GioLibrary& api, auto lookup) {
            bool complete = true;
            PELU_GIO_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

} // namespace desktop
