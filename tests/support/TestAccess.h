#pragma once

// What the tests and the benchmark read or set inside the classes that name TestAccess their
// friend (src/base/TestAccess.h), and what no production code needs. Grouped by class.

#include "imaging/decoders/Decoding.h"
#include "state/AppState.h"
#include "state/PreloadCache.h"
#include "viewer/EmptyStateView.h"
#include "viewer/ImageViewer.h"
#include "viewer/StatusBarLabel.h"
#include "zoom/FramePlayer.h"
#include "zoom/OverlayScrollBar.h"
#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"
#include "zoom/ZoomableImageView.h"

#include <QTimer>

#include <functional>

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

    // AppState: the neighbours held scaled down.
    static QList<QUrl> heldScaledDown(const AppState& state)
    {
        return state.m_preloads->previews().keys();
    }

    // ZoomableImageView: its parts.
    static ZoomScrollArea* scrollArea(const ZoomableImageView& surface)
    {
        return surface.m_scrollArea;
    }
    static PannableImageView* imageView(const ZoomableImageView& surface)
    {
        return surface.m_scrollArea->documentView();
    }

    // PannableImageView
    static const QImage& shownImage(const PannableImageView& view) { return view.m_image; }
    static bool isFading(const PannableImageView& view) { return !view.m_fadeSnapshot.isNull(); }
    static double fadeProgress(const PannableImageView& view) { return view.fadeProgress(); }
    static bool isScaledCopyReady(const PannableImageView& view)
    {
        return view.isScaledCopyReady();
    }

    // ZoomScrollArea
    static bool isAutoSizing(const ZoomScrollArea& area) { return area.m_isAutoSizing; }
    static OverlayScrollBar* horizontalBar(const ZoomScrollArea& area)
    {
        return area.m_horizontalBar;
    }
    static OverlayScrollBar* verticalBar(const ZoomScrollArea& area) { return area.m_verticalBar; }

    // OverlayScrollBar
    static double spanLength(const OverlayScrollBar& bar) { return bar.m_length; }
    static void setHideDelay(OverlayScrollBar& bar, int milliseconds)
    {
        bar.m_hideTimer.setInterval(milliseconds);
    }

    // FramePlayer: holds an animation to play.
    static bool isPlaying(const FramePlayer& player) { return player.m_animation != nullptr; }

    // ImageViewer
    static void setQuitHandler(ImageViewer& viewer, std::function<void()> quit)
    {
        viewer.m_quit = std::move(quit);
    }
    // How often the viewer laid itself out again.
    static int refreshCount(const ImageViewer& viewer) { return viewer.m_refreshCount; }
    // None while no image is shown.
    static ZoomableImageView* zoomView(const ImageViewer& viewer) { return viewer.m_zoom; }

    // EmptyStateView
    static QString title(const EmptyStateView& view) { return view.m_title; }
    static QString hint(const EmptyStateView& view) { return view.m_hint; }

    // StatusBarLabel: both texts as they read, left to right.
    static QString text(const StatusBarLabel& label)
    {
        return label.m_position.isEmpty() ? label.m_zoom
                                          : label.m_position + QLatin1Char(' ') + label.m_zoom;
    }
};
