#include "imaging/decoders/RawLibrary.h"

#include "base/RuntimeLibrary.h"

namespace imaging::detail {

static_assert(LIBRAW_MAJOR_VERSION == 0 && LIBRAW_MINOR_VERSION == 20,
              "LibRaw is opened as libraw_r.so.20");

const RawLibrary* rawLibrary()
{
    // The thread-safe build: raw files are decoded on several threads at once.
    static const RawLibrary* const library =
        base::openRuntimeLibrary<RawLibrary>("libraw_r.so.20", [](RawLibrary& api, auto lookup) {
            bool complete = true;
            PELU_RAW_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

} // namespace imaging::detail
