// Measures how long the zoom surface takes to repaint a fitted 24-megapixel image and to pan
// it at 100 %, drawing into the offscreen platform's backing store, and prints a table.
#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"
#include "zoom/ZoomableImageView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr QSize kImageSize(6000, 4000);
constexpr QSize kWindowSize(1280, 800);
constexpr int kFrames = 200;

struct Row {
    const char* what;
    std::vector<double> ms;
    double targetMs; // 0: no target
};

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

template <typename Frame> std::vector<double> timeFrames(Frame frame)
{
    std::vector<double> ms;
    ms.reserve(kFrames);
    QElapsedTimer timer;
    for (int i = 0; i < kFrames; ++i) {
        timer.start();
        frame(i);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return ms;
}

void printTable(const std::vector<Row>& rows)
{
    std::printf("\n%-44s %9s %9s %9s %9s  %s\n", "measurement (ms per frame)", "median", "p95",
                "max", "target", "result");
    std::printf("%s\n", std::string(96, '-').c_str());
    for (const Row& row : rows) {
        const double p95 = percentile(row.ms, 0.95);
        char target[16] = "-";
        if (row.targetMs > 0)
            std::snprintf(target, sizeof target, "%.1f", row.targetMs);
        const char* result = row.targetMs <= 0 ? "" : (p95 <= row.targetMs ? "ok" : "SLOW");
        std::printf("%-44s %9.2f %9.2f %9.2f %9s  %s\n", row.what, percentile(row.ms, 0.5), p95,
                    *std::max_element(row.ms.begin(), row.ms.end()), target, result);
    }
    std::printf("\n%d frames each; the result compares the 95th percentile with the target.\n",
                kFrames);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

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
                kImageSize.width(), kImageSize.height(), kWindowSize.width(),
                kWindowSize.height(), qPrintable(QGuiApplication::platformName()));
    std::printf("first paint after opening: %.1f ms; smooth fitted copy ready after %.1f ms\n",
                firstPaintMs, smoothCopyMs);
    printTable(rows);
    return 0;
}
