#pragma once

#include "base/RuntimeLibrary.h"

#include <jxl/decode.h>
#include <jxl/resizable_parallel_runner.h>

namespace imaging::detail {

#define PELU_JXL_FUNCTIONS(X)                                                                      \
    X(JxlDecoderCloseInput)                                                                        \
    X(JxlDecoderCreate)                                                                            \
    X(JxlDecoderDestroy)                                                                           \
    X(JxlDecoderGetBasicInfo)                                                                      \
    X(JxlDecoderGetBoxSizeRaw)                                                                     \
    X(JxlDecoderGetBoxType)                                                                        \
    X(JxlDecoderGetColorAsEncodedProfile)                                                          \
    X(JxlDecoderGetColorAsICCProfile)                                                              \
    X(JxlDecoderGetFrameHeader)                                                                    \
    X(JxlDecoderGetICCProfileSize)                                                                 \
    X(JxlDecoderImageOutBufferSize)                                                                \
    X(JxlDecoderProcessInput)                                                                      \
    X(JxlDecoderReleaseBoxBuffer)                                                                  \
    X(JxlDecoderReleaseInput)                                                                      \
    X(JxlDecoderRewind)                                                                            \
    X(JxlDecoderSetBoxBuffer)                                                                      \
    X(JxlDecoderSetCoalescing)                                                                     \
    X(JxlDecoderSetDecompressBoxes)                                                                \
    X(JxlDecoderSetImageOutBuffer)                                                                 \
    X(JxlDecoderSetInput)                                                                          \
    X(JxlDecoderSetKeepOrientation)                                                                \
    X(JxlDecoderSetParallelRunner)                                                                 \
    X(JxlDecoderSetPreferredColorProfile)                                                          \
    X(JxlDecoderSetUnpremultiplyAlpha)                                                             \
    X(JxlDecoderSubscribeEvents)

#define PELU_JXL_THREAD_FUNCTIONS(X)                                                               \
    X(JxlResizableParallelRunner)                                                                  \
    X(JxlResizableParallelRunnerCreate)                                                            \
    X(JxlResizableParallelRunnerDestroy)                                                           \
    X(JxlResizableParallelRunnerSetThreads)                                                        \
    X(JxlResizableParallelRunnerSuggestThreads)

// The functions of libjxl that the viewer calls, opened on first use like libheif: with brotli,
// highway and lcms2 it took about 10 ms to open here, and only JPEG XL files need it.
struct JxlLibrary {
    PELU_JXL_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// libjxl's thread pool, a library of its own. Without it pictures decode on one thread.
struct JxlThreadsLibrary {
    PELU_JXL_THREAD_FUNCTIONS(PELU_FUNCTION_POINTER)
};

// Opened once, from any thread; null when the library is missing or lacks a function.
const JxlLibrary* jxlLibrary();
const JxlThreadsLibrary* jxlThreadsLibrary();

} // namespace imaging::detail
