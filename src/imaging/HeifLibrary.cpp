#include "imaging/HeifLibrary.h"

#include <dlfcn.h>

namespace imaging::detail {

namespace {

static_assert(LIBHEIF_NUMERIC_VERSION >> 24 == 1, "libheif is opened as libheif.so.1");

const HeifLibrary* open()
{
    // Never closed: its codecs register themselves for the life of the process.
    void* handle = dlopen("libheif.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    static HeifLibrary library;
    bool complete = true;
#define PELU_HEIF_RESOLVE(name)                                                                    \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                      \
    complete = complete && library.name;
    PELU_HEIF_FUNCTIONS(PELU_HEIF_RESOLVE)
#undef PELU_HEIF_RESOLVE
    if (!complete)
        return nullptr;
    library.heif_init(nullptr);
    return &library;
}

} // namespace

const HeifLibrary* heifLibrary()
{
    static const HeifLibrary* const library = open();
    return library;
}

} // namespace imaging::detail
