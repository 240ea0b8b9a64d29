#include "app/MessageRouting.h"

#include "imaging/support/DecodeScope.h"

#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

QtMessageHandler g_previous = nullptr;

void route(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
#ifdef QT_NO_DEBUG
    const bool show = type == QtFatalMsg;
#else
    const bool show = type == QtFatalMsg || !imaging::DecodeScope::active();
#endif
    if (show && g_previous)
        g_previous(type, context, message);
}

// stderr's writes, unbuffered, to the terminal, except those made inside a decode.
ssize_t writeUnlessDecoding(void*, const char* data, size_t size)
{
    if (imaging::DecodeScope::active())
        return ssize_t(size);
    for (size_t written = 0; written < size;) {
        const ssize_t n = ::write(STDERR_FILENO, data + written, size - written);
        if (n > 0)
            written += size_t(n);
        else if (n == 0 || errno != EINTR)
            return written > 0 ? ssize_t(written) : -1;
    }
    return ssize_t(size);
}

// The stream every library reads as `stderr`, replaced once for the life of the process.
void routeStandardError()
{
    static FILE* const routed = [] {
        FILE* stream = fopencookie(nullptr, "w", {nullptr, writeUnlessDecoding, nullptr, nullptr});
        if (stream)
            std::setvbuf(stream, nullptr, _IONBF, 0);
        return stream;
    }();
    if (routed) {
        std::fflush(stderr);
        stderr = routed;
    }
}

} // namespace

void installMessageRouting()
{
    routeStandardError();
    const QtMessageHandler previous = qInstallMessageHandler(route);
    if (previous != route)
        g_previous = previous;
}
