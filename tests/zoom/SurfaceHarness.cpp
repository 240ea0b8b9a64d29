#include "SurfaceHarness.h"

#include "ZoomTestSupport.h"

#include <QTest>

namespace zoomtest {

SurfaceHarness::SurfaceHarness()
{
    view.setOnZoomActionConsumed([this] {
        ++zoomConsumed;
        view.setZoomAction(std::nullopt);
    });
    view.setOnScrollTargetConsumed([this] {
        ++scrollConsumed;
        view.setScrollTarget(std::nullopt);
    });
    view.setOnStateChange([this](double magnification, const QRectF& visible) {
        states << State{magnification, visible};
    });
    view.setOnDoubleClick([this] { clicks << "double"; });
    view.setOnNavigateClick([this](bool next) { clicks << (next ? "next" : "previous"); });
    view.resize(1000, 800);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

void SurfaceHarness::open(const QImage& image)
{
    view.setImage(image);
    view.setZoomAction(ZoomAction::fit);
    settle();
}

} // namespace zoomtest
