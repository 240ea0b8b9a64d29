#include "imaging/colour/LcmsLibrary.h"

namespace imaging::detail {

static_assert(LCMS_VERSION >= 2080, "Little CMS 2.8 or later (cmsFLAGS_COPY_ALPHA)");

const LcmsLibrary* lcmsLibrary()
{
    static const LcmsLibrary* const library =
        base::openRuntimeLibrary<LcmsLibrary>("liblcms2.so.2", [](LcmsLibrary& api, auto lookup) {
            bool complete = true;
            PELU_LCMS_FUNCTIONS(PELU_RESOLVE)
            return complete;
        });
    return library;
}

} // namespace imaging::detail
