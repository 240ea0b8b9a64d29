#include "imaging/decoders/JxlLibrary.h"

#include "base/RuntimeLibrary.h"

#include <jxl/version.h>

namespace imaging::detail {

// The decoder's behaviour (which events come, what Rewind keeps) is that of 0.7; a later
// soname is a different library as far as this code knows.
static_assert(JPEGXL_MAJOR_VERSION == 0 && JPEGXL_MINOR_VERSION == 7,
              "libjxl is opened as libjxl.so.0.7");

const JxlLibrary* jxlLibrary()
{
    static const JxlLibrary* const library =
        base::openRuntimeLibrary<JxlLibrary>("libjxl.so.0.7", [](JxlLibrary& api, auto lookup) {
            bool complete = true;
            PELU_JXL_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

const JxlThreadsLibrary* jxlThreadsLibrary()
{
    static const JxlThreadsLibrary* const library = base::openRuntimeLibrary<JxlThreadsLibrary>(
        "libjxl_threads.so.0.7", [](JxlThreadsLibrary& api, auto lookup) {
            bool complete = true;
            PELU_JXL_THREAD_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

} // namespace imaging::detail
