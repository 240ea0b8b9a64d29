#pragma once

namespace imaging {

// Marks the calling thread as reading an image file for as long as it lives, so that what the
// image libraries say about a damaged file can be told apart from what the program says.
class DecodeScope {
public:
    DecodeScope();
    ~DecodeScope();
    DecodeScope(const DecodeScope&) = delete;
    DecodeScope& operator=(const DecodeScope&) = delete;

    // Whether this thread is inside a scope.
    static bool active();
};

} // namespace imaging
