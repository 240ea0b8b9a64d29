#include "base/FrameTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace base {

namespace {

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double g_startMs = 0;

} // namespace

bool FrameTrace::s_on = false;

void FrameTrace::start()
{
    g_startMs = monotonicMs();
    const char* value = std::getenv("PELU_TRACE_FRAMES");
    s_on = value && std::strcmp(value, "1") == 0;
    note("start");
}

void FrameTrace::note(const char* event, const QString& detail)
{
    if (!s_on)
        return;
    const double now = monotonicMs();
    std::fprintf(stderr, "pelu-trace %s %.3f %.3f %s\n", event, now - g_startMs, now,
                 detail.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace base
