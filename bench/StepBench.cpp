#include "StepBench.h"

#include "app/AppDelegate.h"
#include "app/PeluApp.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

namespace bench {

namespace {

// Until both neighbours are decoded ahead and the window has drawn what follows.
void waitForNeighbours(const AppState& state)
{
    const double deadline = monotonicMs() + 60000;
    while (state.preloadedImages().size() < 2 && monotonicMs() < deadline)
        runEventsFor(5);
    runEventsFor(300);
}

} // namespace

void runStepBench(const Settings& settings, const DataSet& data, Results& results)
{
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    const QUrl first = QUrl::fromLocalFile(data.photos.first());

    std::vector<double> hits, misses;
    {
        AppDelegate delegate;
        PeluApp pelu(delegate);
        pelu.window()->resize(1280, 800);
        pelu.window()->show();
        AppState& state = delegate.appState();
        state.openFile(first);
        for (int run = 0; run < settings.repeats; ++run) {
            waitForNeighbours(state);
            double start = monotonicMs();
            state.nextImage();
            hits.push_back(monotonicMs() - start);
            waitForNeighbours(state);
            state.setPreloadedImages({});
            start = monotonicMs();
            state.nextImage(); // nothing ready: decoded here
            misses.push_back(monotonicMs() - start);
        }
    }
    results.set(QStringLiteral("step_hit_ms"), median(hits));

    // Opening at actual size: the full image is decoded into currentImage at once.
    std::vector<double> opens;
    {
        AppState state;
        state.setDisplayMode(DisplayMode::actualSize);
        for (int run = 0; run < settings.repeats; ++run) {
            const double start = monotonicMs();
            state.openFile(first);
            opens.push_back(monotonicMs() - start);
            waitForNeighbours(state);
        }
    }
    const double djpeg = results.value(QStringLiteral("djpeg_ms"));
    if (djpeg > 0)
        results.set(QStringLiteral("open_ratio"), median(opens) / djpeg);

    std::printf("\nStepping and opening in the process, 1280x800 window (medians of %d)\n",
                settings.repeats);
    std::printf("  %-52s %9.2f ms\n", "nextImage, neighbour decoded ahead", median(hits));
    std::printf("  %-52s %9.1f ms\n", "nextImage, nothing ready (decoded here)", median(misses));
    std::printf("  %-52s %9.1f ms\n", "openFile at actual size, to currentImage", median(opens));
    std::fflush(stdout);
}

} // namespace bench
