#pragma once

#include <QByteArray>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace bench {

// The screen as a person sees it: rows of the X server's root window read with xcb_get_image
// every few milliseconds, each reading reduced to a fingerprint. From a run of readings it says
// when the picture first changed and when it settled on what it shows at the end.
class ScreenWatch {
public:
    struct Reading {
        double mono = 0; // CLOCK_MONOTONIC, ms, when the reading was asked for
        quint64 print = 0;
    };
    struct Outcome {
        double firstChange = -1; // ms after the origin; negative when nothing changed
        double complete = -1;    // when it last changed, to what it shows at the end
    };

    ScreenWatch();
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    bool isReady() const { return m_connection != nullptr; }
    // A fingerprint of the rows now.
    Reading read();
    // Reads every intervalMs for durationMs, calling between readings pump(), which must return
    // quickly; stops early once stop() says so (checked after each pump).
    std::vector<Reading> watch(int durationMs, const std::function<void()>& pump,
                               const std::function<bool()>& stop = {}, double intervalMs = 2.5);

    // The change from before: the first reading that differs, and the first from which on all
    // equal the last; both relative to origin.
    static Outcome judge(const Reading& before, const std::vector<Reading>& readings,
                         double origin);

private:
    xcb_connection_t* m_connection = nullptr;
    quint32 m_root = 0;
    int m_width = 0;
    std::vector<int> m_rows;
};

} // namespace bench
