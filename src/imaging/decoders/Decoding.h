#pragma once

#include "imaging/DecodeFailure.h"
#include "imaging/support/DecodeSupport.h"
#include "imaging/ImageTypes.h"

#include <atomic>
#include <optional>

namespace imaging::detail {

// The first image of a file through the decoder its type calls for, or nothing. Not counted:
// only imaging::decodeImage counts decodes.
std::optional<QImage> decodeFile(const QString& path, ImageType type, const DecodeOptions& options);
std::optional<QImage> decodeFile(const QString& path, const DecodeOptions& options);

// How many times imaging::decodeImage has been called in this process, and how many of those
// calls ran on the application's main thread: tests prove where decoding happens with these.
struct DecodeCounts {
    std::atomic<quint64> all{0};
    std::atomic<quint64> onMainThread{0};
};
DecodeCounts& decodeCounts();

// What imaging::decodeImage does, without counting, with these options.
std::optional<QImage> decodeForDisplay(const QString& path, DecodeFailure* failure,
                                       const DecodeOptions& options);

} // namespace imaging::detail
