#pragma once

#include "base/TestAccess.h"
#include "imaging/decoders/Decoding.h"
#include "state/AppState.h"

#include <QTimer>

// What tests and the benchmark observe inside the program's classes, and nothing else: each
// class names this struct its friend.
struct TestAccess {
    // The image service: how many decodes ran, and how many on the main thread.
    static quint64 decodeCount() { return imaging::detail::decodeCounts().all.load(); }
    static quint64 mainThreadDecodeCount()
    {
        return imaging::detail::decodeCounts().onMainThread.load();
    }

    // AppState: the status bar's hide countdown.
    static bool isHideCountdownActive(const AppState& state)
    {
        return state.m_hideStatusBarTask->isActive();
    }
    static void setStatusBarHideDelay(AppState& state, int milliseconds)
    {
        state.m_hideStatusBarTask->setInterval(milliseconds);
    }
};
