#include "desktop/GioLibrary.h"

#include <dlfcn.h>

namespace desktop {

namespace {

const GioLibrary* open()
{
    // Never closed: GObject types, once registered, stay for the life of the process.
    void* handle = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    static GioLibrary library;
    bool complete = true;
    // GLib's and GObject's functions are found through GIO, which depends on both.
#define PELU_GIO_RESOLVE(name)                                                                     \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                      \
    complete = complete && library.name;
    PELU_GIO_FUNCTIONS(PELU_GIO_RESOLVE)
#undef PELU_GIO_RESOLVE
    return complete ? &library : nullptr;
}

} // namespace

const GioLibrary* gioLibrary()
{
    static const GioLibrary* const library = open();
    return library;
}

} // namespace desktop
