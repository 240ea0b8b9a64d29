#pragma once

#include <thread>

namespace app {

// Reads ahead, on a thread of its own from the top of main while Qt connects to the display,
// what the window's first texts need: Xlib's tables for the locale's character set, which Qt
// loads on the user-interface thread when it first names a window, and the font configuration,
// which the window's first text would otherwise read there (several milliseconds of files a
// picture on its own never needs). Under X11 Qt reads no font configuration before its first
// widget, so the thread is waited for before the window is made and the two never read it at
// once; where Qt reads fonts while it starts (Wayland), nothing is started. Nor when not wanted:
// beside a big photo's early decode, the thread took the processor from that decode and from a
// running window handed a file.
class TextWarmup {
public:
    explicit TextWarmup(bool wanted);
    ~TextWarmup() { wait(); }
    TextWarmup(const TextWarmup&) = delete;
    TextWarmup& operator=(const TextWarmup&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace app
