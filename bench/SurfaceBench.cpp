#include "SurfaceBench.h"

#include "../tests/support/TestAccess.h"
#include "imaging/ImageService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <cstdio>
#include <string>

namespace bench {

namespace {

constexpr QSize kWindowSize(1280, 800);

struct Timings {
    std::vector<double> wallMs;
    // Processor time of all our threads (Qt paints large areas on several): what the frame
    // costs, whatever else the machine runs.
    std::vector<double> cpuMs;
};

struct Row {
    const char* what;
    Timings timings;
    double targetMs; // 0: no target
};

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(p * double(values.size() - 1) + 0.5);
    return values[index];
}

template <typename Frame> Timings timeFrames(int frames, Frame frame)
{
    Timings t;
    for (int i = 0; i < frames; ++i) {
        const double cpuStart = processCpuMs();
        const double start = monotonicMs();
        frame(i);
        t.wallMs.push_back(monotonicMs() - start);
        t.cpuMs.push_back(processCpuMs() - cpuStart);
    }
    return t;
}

void printTable(const std::vector<Row>& rows, int frames)
{
    std::printf("  %-42s %11s %11s %11s %8s  %s\n", "ms per frame", "wall median", "wall p95",
                "cpu p95", "target", "result");
    std::printf("  %s\n", std::string(96, '-').c_str());
    for (const Row& row : rows) {
        const double wallMedian = percentile(row.timings.wallMs, 0.5);
        char target[16] = "-";
        if (row.targetMs > 0)
            std::snprintf(target, sizeof target, "%.1f", row.targetMs);
        const char* result = row.targetMs <= 0 ? "" : (wallMedian <= row.targetMs ? "ok" : "SLOW");
        std::printf("  %-42s %11.2f %11.2f %11.2f %8s  %s\n", row.what, wallMedian,
                    percentile(row.timings.wallMs, 0.95), percentile(row.timings.cpuMs, 0.95),
                    target, result);
    }
    std::printf("  %d frames each. The 95th percentile of processor time shows the cost without\n"
                "  the outliers that other programs on the machine cause in wall-clock figures.\n",
                frames);
}

} // namespace

void runSurfaceBench(const Settings& settings, const DataSet& data, Results& results)
{
    const int frames = settings.quick ? 20 : 200;
    const QImage image = imaging::decodeImage(data.photos.first()).value_or(QImage());
    ZoomableImageView view;
    view.resize(kWindowSize);
    view.show();
    settle();
    PannableImageView* canvas = TestAccess::imageView(view);
    ZoomScrollArea* area = TestAccess::scrollArea(view);

    const double opened = monotonicMs();
    view.setImage(image);
    view.setZoomAction(ZoomAction::fit);
    view.applyPendingChanges();
    view.setZoomAction(std::nullopt);
    canvas->repaint();
    const double firstPaintMs = monotonicMs() - opened;
    while (!TestAccess::isScaledCopyReady(*canvas))
        runEventsFor(5);
    const double smoothCopyMs = monotonicMs() - opened;
    settle();

    std::vector<Row> rows;
    rows.push_back({"repaint, fitted", timeFrames(frames, [&](int) { canvas->repaint(); }), 4});
    results.set(QStringLiteral("fit_paint_ms"), percentile(rows.back().timings.wallMs, 0.5));

    QImage offscreen(canvas->size(), QImage::Format_RGB32);
    rows.push_back({"render into an image, fitted",
                    timeFrames(frames, [&](int) { canvas->render(&offscreen); }), 0});

    view.setZoomAction(ZoomAction::actualSize);
    view.applyPendingChanges();
    view.setZoomAction(std::nullopt);
    settle();
    area->scrollToPoint({0, 0});
    const QPointF step(11, 7);
    rows.push_back({"pan one step and repaint, 100 %",
                    timeFrames(frames,
                               [&](int) {
                                   area->scrollToPoint(area->bounds().topLeft() + step);
                                   canvas->repaint();
                               }),
                    4});

    area->setMagnification(3.0);
    settle();
    rows.push_back({"pan one step and repaint, 300 % (smooth)",
                    timeFrames(frames,
                               [&](int i) {
                                   area->scrollToPoint(area->bounds().topLeft() +
                                                       (i % 100 < 50 ? step : -step));
                                   canvas->repaint();
                               }),
                    0});

    std::printf("\nZoom surface: %dx%d photo in a %dx%d view (%s platform)\n", image.width(),
                image.height(), kWindowSize.width(), kWindowSize.height(),
                qPrintable(QGuiApplication::platformName()));
    std::printf("  first paint after opening: %.1f ms; smooth fitted copy ready after %.1f ms\n",
                firstPaintMs, smoothCopyMs);
    printTable(rows, frames);
    std::fflush(stdout);
}

} // namespace bench
