#pragma once

namespace imaging {

// Why a file gave no image, in the terms a person can act on.
enum class DecodeFailure {
    none,
    // The file is not there (any more).
    missing,
    // The file says it is an image this service reads, but its data is broken or incomplete.
    damaged,
    // The image is larger than the pixel budget.
    tooLarge,
    // Not a kind of image this service reads, or not a regular file at all.
    unsupported,
};

} // namespace imaging
