#pragma once

#include "zoom/ZoomableImageView.h"

#include <QList>
#include <QRectF>
#include <QStringList>

namespace zoomtest {

// A shown zoom surface of 1000 × 800 wired like the viewer window wires it: requests are
// cleared when consumed, and every callback is recorded.
struct SurfaceHarness {
    SurfaceHarness();

    struct State {
        double magnification;
        QRectF visible;
    };

    ZoomableImageView view;
    int zoomConsumed = 0;
    int scrollConsumed = 0;
    QList<State> states;
    QStringList clicks;

    // Shows the image fitted and lets every follow-up run.
    void open(const QImage& image);
    ZoomScrollArea* area() const { return view.scrollArea(); }
};

} // namespace zoomtest
