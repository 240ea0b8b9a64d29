#include "imaging/decoders/HeifLibrary.h"

#include "base/RuntimeLibrary.h"

namespace imaging::detail {

static_assert(LIBHEIF_NUMERIC_VERSION >> 24 == 1, "libheif is opened as libheif.so.1");

const HeifLibrary* heifLibrary()
{
    // Never closed: its codecs register themselves for the life of the process.
    static const HeifLibrary* const library =
        base::openRuntimeLibrary<HeifLibrary>("libheif.so.1", [](HeifLibrary& api, auto lookup) {
            bool complete = true;
            PELU_HEIF_FUNCTIONS(PELU_RESOLVE)
            if (complete)
                api.heif_init(nullptr);
            return complete;
        });
    return library;
}

} // namespace imaging::detail
