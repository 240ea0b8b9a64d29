#pragma once

#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <vector>

// Shared by the sections of pelu-bench.
namespace bench {

// How the run was asked for: --quick uses tiny data and short waits, and checks only that
// every part still runs.
struct Settings {
    bool quick = false;
    int repeats = 5;
    QString dataDir;
    QString viewer; // the pelu binary
};

inline double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median of `repeats` timings of run(), in milliseconds.
template <typename F> double medianMs(int repeats, F&& run)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const double start = monotonicMs();
        run();
        times.push_back(monotonicMs() - start);
    }
    return median(times);
}

// Handles events for up to ms milliseconds, asleep while there are none. processEvents with a
// time limit returns at once instead, so a loop around it would take a core from what is measured.
inline void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Wall time of a program run to its end, in milliseconds; negative when it cannot run.
double programMs(const QString& program, const QStringList& arguments);

} // namespace bench
