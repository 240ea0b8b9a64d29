#include "ScreenWatch.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdlib>
#include <xcb/xcb.h>

namespace bench {

namespace {

// Rows read across the screen's height: enough to see any picture change, few enough that a
// reading costs well under a millisecond.
constexpr int kRows = 24;
// Above this the window at the top left corner shows its status text, which fades in and out
// on its own clock: the picture is what is judged.
constexpr int kTop = 60;

quint64 fnv(quint64 hash, const uint8_t* data, int length)
{
    for (int i = 0; i < length; ++i) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

ScreenWatch::ScreenWatch()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screen->root;
    m_width = screen->width_in_pixels;
    const int height = screen->height_in_pixels;
    for (int i = 0; i < kRows; ++i)
        m_rows.push_back(kTop + (height - kTop) * (2 * i + 1) / (2 * kRows));
}

ScreenWatch::~ScreenWatch()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

ScreenWatch::Reading ScreenWatch::read()
{
    Reading reading{monotonicMs(), 14695981039346656037ull};
    if (!m_connection)
        return reading;
    // All requests first, then the replies: one round trip for the whole reading.
    std::vector<xcb_get_image_cookie_t> cookies;
    for (const int y : m_rows)
        cookies.push_back(xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, 0,
                                        int16_t(y), uint16_t(m_width), 1, ~0u));
    for (const xcb_get_image_cookie_t cookie : cookies) {
        xcb_get_image_reply_t* reply = xcb_get_image_reply(m_connection, cookie, nullptr);
        if (!reply)
            continue;
        reading.print = fnv(reading.print, xcb_get_image_data(reply),
                            xcb_get_image_data_length(reply));
        std::free(reply);
    }
    return reading;
}

std::vector<ScreenWatch::Reading> ScreenWatch::watch(int durationMs,
                                                     const std::function<void()>& pump,
                                                     const std::function<bool()>& stop,
                                                     double intervalMs)
{
    std::vector<Reading> readings;
    const double end = monotonicMs() + durationMs;
    double next = monotonicMs();
    while (monotonicMs() < end) {
        readings.push_back(read());
        if (pump)
            pump();
        if (stop && stop())
            break;
        next += intervalMs;
        const double wait = next - monotonicMs();
        if (wait > 0)
            QThread::usleep(static_cast<unsigned long>(wait * 1000));
        else
            next = monotonicMs();
    }
    return readings;
}

ScreenWatch::Outcome ScreenWatch::judge(const Reading& before, const std::vector<Reading>& readings,
                                        double origin)
{
    Outcome outcome;
    if (readings.empty())
        return outcome;
    for (const Reading& r : readings) {
        if (r.print != before.print) {
            outcome.firstChange = r.mono - origin;
            break;
        }
    }
    const quint64 last = readings.back().print;
    if (last == before.print)
        return outcome;
    size_t settled = readings.size() - 1;
    while (settled > 0 && readings[settled - 1].print == last)
        --settled;
    outcome.complete = readings[settled].mono - origin;
    return outcome;
}

} // namespace bench
