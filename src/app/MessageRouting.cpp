#include "app/MessageRouting.h"

#include "imaging/support/DecodeScope.h"

#include <QtGlobal>

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

} // namespace

void installMessageRouting()
{
    const QtMessageHandler previous = qInstallMessageHandler(route);
    if (previous != route)
        g_previous = previous;
}
