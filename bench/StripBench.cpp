#include "StripBench.h"

#include "state/AppState.h"
#include "thumbnails/ThumbnailBar.h"
#include "thumbnailcache/ThumbnailCache.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <cstdio>
#include <functional>

namespace {

int g_files = 10000;
constexpr int kStripWidth = 1280;
// A touchpad flick: this many points every frame of 16 ms.
constexpr int kFlickPoints = 1500;
constexpr int kQuietMs = 300;

QByteArray jpegBytes(int seed)
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x + seed * 37) & 255, (y * 255) / image.height(), (x * y >> 7) & 255);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

void runEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Outcome {
    qint64 cellsCreated = 0;
    qsizetype mostAlive = 0;
    qsizetype widgets = 0;
    qint64 thumbnailsMade = 0;
    double settledMs = 0;
};

// Opens the folder with a fresh strip and cache, lets the first screen load, runs goToEnd and
// waits until the strip has stopped and no thumbnail is pending.
Outcome measure(const QList<QUrl>& files,
                const std::function<void(AppState&, ThumbnailBar&)>& goToEnd)
{
    AppState state;
    state.setShowThumbnailBar(true);
    ThumbnailCache cache;
    ThumbnailBar bar(state, cache);
    bar.resize(kStripWidth, bar.sizeHint().height());
    state.openFile(files.first());
    bar.show();
    QElapsedTimer timer;
    timer.start();
    Outcome outcome; // counts include the first screen
    // Settled: nothing moved or was pending for longer than the strip waits before loading.
    const auto settle = [&] {
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < kQuietMs) {
            runEventsFor(5);
            outcome.mostAlive = std::max(outcome.mostAlive, bar.liveCellCount());
            if (bar.isScrolling() || cache.pendingCount() > 0)
                quiet.restart();
        }
        outcome.settledMs = double(timer.nsecsElapsed()) / 1e6 - kQuietMs;
    };
    settle();
    timer.start();
    goToEnd(state, bar);
    outcome.mostAlive = std::max(outcome.mostAlive, bar.liveCellCount());
    settle();
    outcome.cellsCreated = bar.cellsCreated();
    outcome.widgets = 1 + bar.findChildren<QWidget*>().size();
    outcome.thumbnailsMade = cache.thumbnailsMade();
    return outcome;
}

void print(const char* what, const Outcome& o)
{
    std::printf("%-36s %8lld %8lld %8lld %10lld %10.0f\n", what, qint64(o.widgets), o.cellsCreated,
                qint64(o.mostAlive), o.thumbnailsMade, o.settledMs);
}

} // namespace

void runStripBench(bool quick)
{
    g_files = quick ? 300 : 10000;
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QList<QByteArray> kinds;
    for (int seed = 0; seed < 8; ++seed)
        kinds.append(jpegBytes(seed));
    QList<QUrl> files;
    for (int i = 0; i < g_files; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("photo%1.jpg").arg(i + 1, 5, 10, QChar('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(kinds[i % kinds.size()]) < 0)
            return;
        files.append(QUrl::fromLocalFile(path));
    }

    const Outcome stepBack = measure(files, [](AppState& state, ThumbnailBar&) {
        state.previousImage(); // from the first image to the last
    });
    const Outcome flick = measure(files, [](AppState&, ThumbnailBar& bar) {
        while (bar.scrollOffset() < bar.maximumScrollOffset()) {
            const QPointF at(kStripWidth / 2.0, 30);
            QWheelEvent event(at, bar.mapToGlobal(at), QPoint(-kFlickPoints, 0),
                              QPoint(-kFlickPoints, 0), Qt::NoButton, Qt::NoModifier,
                              Qt::ScrollUpdate, false);
            QCoreApplication::sendEvent(&bar, &event);
            runEventsFor(16);
        }
    });

    std::printf("\nThumbnail strip, %d JPEGs of 640x480 in a %d-point strip, %d thread(s)\n",
                g_files, kStripWidth, ThumbnailCache().threadCount());
    std::printf("%-36s %8s %8s %8s %10s %10s\n", "open, then to the last image by", "widgets",
                "cells", "alive", "thumbnails", "done in ms");
    print("stepping back from the first", stepBack);
    print("flicking (1500 points / 16 ms)", flick);
}
