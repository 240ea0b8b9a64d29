#include "app/FontWarmup.h"

#include <dlfcn.h>
#include <thread>

namespace app {

void warmFontsInBackground()
{
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
    // The library builds its configuration once, whichever thread asks first; a second
    // asker meanwhile builds its own and the first one stored wins, so a race costs time only.
    std::thread([library, init] {
        init();
        dlclose(library);
    }).detach();
}

} // namespace app
