#pragma once

#include <thread>

namespace app {

// Reads the font configuration on a thread of its own from the top of main, while Qt connects
// to the display. The window's first text would otherwise read it on the user-interface
// thread: several milliseconds before the first frame, parsing configuration files that a
// picture on its own never needs. Under X11 Qt reads none before its first widget, so the
// thread is waited for before the window is made and the two never read it at once; where Qt
// reads fonts while it starts (Wayland), nothing is started. Nor when not wanted: beside a big
// photo's early decode, the thread took the processor from that decode and from a running
// window that was handed a file.
class FontWarmup {
public:
    explicit FontWarmup(bool wanted);
    ~FontWarmup() { wait(); }
    FontWarmup(const FontWarmup&) = delete;
    FontWarmup& operator=(const FontWarmup&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace app
