#pragma once

#include "base/RuntimeLibrary.h"

#include <libraw/libraw.h>

namespace imaging::detail {

#define PELU_RAW_FUNCTIONS(X)                                                                      \
    X(libraw_init)                                                                                 \
    X(libraw_open_file)                                                                            \
    X(libraw_set_dataerror_handler)                                                                \
    X(libraw_set_memerror_handler)                                                                 \
    X(libraw_unpack)                                                                               \
    X(libraw_dcraw_process)                                                                        \
    X(libraw_dcraw_make_mem_image)                                                                 \
    X(libraw_dcraw_clear_mem)                                                                      \
    X(libraw_close)

// The functions of LibRaw (its C interface) that the viewer calls. Opened on first use rather
// than linked, like libheif: only raw files need it, and every start paid for loading it.
struct RawLibrary {
    PELU_RAW_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// Opened once, from any thread; null when LibRaw is missing or lacks one of the functions, and
// raw files then fail to decode like unreadable ones.
const RawLibrary* rawLibrary();

} // namespace imaging::detail
