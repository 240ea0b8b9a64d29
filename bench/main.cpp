// Measures how long the zoom surface takes to repaint a fitted 24-megapixel image and to pan
// it at 100 %, drawing into the offscreen platform's backing store, and prints a table; then
// times stepping to the next photograph (StepBench), counting its histogram (HistogramBench),
// what the thumbnail strip makes for a folder of 10,000 files (StripBench) and a camera import
// into the shown folder (FolderBench).
#include "FolderBench.h"
#include "HistogramBench.h"
#include "StepBench.h"
#include "StripBench.h"
#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"
#include "zoom/ZoomableImageView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr QSize kImageSize(6000, 4000);
constexpr QSize kWindowSize(1280, 800);
constexpr int kFrames = 200;

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

QImage photographLikeImage()
{
    // Smooth gradients with fine detail, so scaling has real work to do.
    QImage image(kImageSize, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 255) / image.width(), (y * 255) / image.height(),
                           ((x ^ y) & 8) ? 220 : 30);
    }
    return image;
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

template <typename Frame> Timings timeFrames(Frame frame)
{
    Timings t;
    t.wallMs.reserve(kFrames);
    t.cpuMs.reserve(kFrames);
    QElapsedTimer timer;
    for (int i = 0; i < kFrames; ++i) {
        const double cpuStart = processCpuMs();
        timer.start();
        frame(i);
        t.wallMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        t.cpuMs.push_back(processCpuMs() - cpuStart);
    }
    return t;
}

void printTable(const std::vector<Row>& rows)
{
    std::printf("\n%-42s %11s %11s %11s %8s  %s\n", "ms per frame", "wall median", "wall p95",
                "cpu p95", "target", "result");
    std::printf("%s\n", std::string(96, '-').c_str());
    for (const Row& row : rows) {
        const double cpu95 = percentile(row.timings.cpuMs, 0.95);
        const double wallMedian = percentile(row.timings.wallMs, 0.5);
        char target[16] = "-";
        if (row.targetMs > 0)
            std::snprintf(target, sizeof target, "%.1f", row.targetMs);
        const bool met = wallMedian <= row.targetMs;
        const char* result = row.targetMs <= 0 ? "" : (met ? "ok" : "SLOW");
        std::printf("%-42s %11.2f %11.2f %11.2f %8s  %s\n", row.what, wallMedian,
                    percentile(row.timings.wallMs, 0.95), cpu95, target, result);
    }
    std::printf("\n%d frames each. A target is met by the wall-clock median; the 95th percentile\n"
                "of processor time shows the cost without the outliers that other programs on\n"
                "the machine cause in the wall-clock figures.\n",
                kFrames);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "pelu-bench histogram" runs that part alone.
    if (app.arguments().contains(QStringLiteral("histogram"))) {
        runHistogramBench();
        return 0;
    }

    const QImage image = photographLikeImage();
    ZoomableImageView view;
    view.resize(kWindowSize);
    view.show();
    settle();
    PannableImageView* canvas = view.imageView();
    ZoomScrollArea* area = view.scrollArea();

    QElapsedTimer sinceOpen;
    sinceOpen.start();
    view.setImage(image);
    view.setZoomAction(ZoomAction::fit);
    view.applyPendingChanges();
    view.setZoomAction(std::nullopt);
    canvas->repaint();
    const double firstPaintMs = double(sinceOpen.nsecsElapsed()) / 1e6;
    while (!canvas->isScaledCopyReady())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double smoothCopyMs = double(sinceOpen.nsecsElapsed()) / 1e6;
    settle();

    std::vector<Row> rows;
    rows.push_back({"repaint, fitted 6000x4000", timeFrames([&](int) { canvas->repaint(); }), 8});

    QImage offscreen(canvas->size(), QImage::Format_RGB32);
    rows.push_back({"render into an image, fitted 6000x4000",
                    timeFrames([&](int) { canvas->render(&offscreen); }), 8});

    view.setZoomAction(ZoomAction::actualSize);
    view.applyPendingChanges();
    view.setZoomAction(std::nullopt);
    settle();
    area->scrollToPoint({0, 0});
    const QPointF step(11, 7);
    rows.push_back({"pan one step and repaint, 100 %", timeFrames([&](int) {
                        area->scrollToPoint(area->bounds().topLeft() + step);
                        canvas->repaint();
                    }),
                    4});

    area->setMagnification(3.0);
    settle();
    rows.push_back({"pan one step and repaint, 300 % (smooth)", timeFrames([&](int i) {
                        area->scrollToPoint(area->bounds().topLeft() +
                                            (i % 100 < 50 ? step : -step));
                        canvas->repaint();
                    }),
                    0});

    std::printf("Pelu zoom surface benchmark: %dx%d image in a %dx%d view (%s platform)\n",
                kImageSize.width(), kImageSize.height(), kWindowSize.width(), kWindowSize.height(),
                qPrintable(QGuiApplication::platformName()));
    std::printf("first paint after opening: %.1f ms; smooth fitted copy ready after %.1f ms\n",
                firstPaintMs, smoothCopyMs);
    printTable(rows);
    std::fflush(stdout);

    runStepBench();
    runHistogramBench();
    runStripBench();
    runFolderBench();
    return 0;
}
