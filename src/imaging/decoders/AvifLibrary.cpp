#include "imaging/decoders/AvifLibrary.h"

#include "base/RuntimeLibrary.h"

namespace imaging::detail {

// The decoder struct is filled in by the library: its layout is that of the headers built
// against, which libavif keeps for one soname.
static_assert(AVIF_VERSION_MAJOR == 0 && AVIF_VERSION_MINOR == 11,
              "libavif 0.11 is opened as libavif.so.15");

const AvifLibrary* avifLibrary()
{
    static const AvifLibrary* const library =
        base::openRuntimeLibrary<AvifLibrary>("libavif.so.15", [](AvifLibrary& api, auto lookup) {
            bool complete = true;
            PELU_AVIF_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

} // namespace imaging::detail
