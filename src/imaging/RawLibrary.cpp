#include "imaging/RawLibrary.h"

#include <dlfcn.h>

namespace imaging::detail {

namespace {

static_assert(LIBRAW_MAJOR_VERSION == 0 && LIBRAW_MINOR_VERSION == 20,
              "LibRaw is opened as libraw_r.so.20");

const RawLibrary* open()
{
    // The thread-safe build: raw files are decoded on several threads at once.
    void* handle = dlopen("libraw_r.so.20", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    static RawLibrary library;
    bool complete = true;
#define PELU_RAW_RESOLVE(name)                                                                     \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                      \
    complete = complete && library.name;
    PELU_RAW_FUNCTIONS(PELU_RAW_RESOLVE)
#undef PELU_RAW_RESOLVE
    return complete ? &library : nullptr;
}

} // namespace

const RawLibrary* rawLibrary()
{
    static const RawLibrary* const library = open();
    return library;
}

} // namespace imaging::detail
