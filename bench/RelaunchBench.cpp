#include "RelaunchBench.h"

#include "ScreenWatch.h"
#include "ViewerProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::ScreenWatch;
using bench::ViewerProcess;

constexpr int kFolderSize = 150;

// The photos linked over and over into one folder: 150 files to list and thumbnail, no disk.
QString fillFolder(const QString& folder, const QStringList& photos)
{
    for (int i = 0; i < kFolderSize && !photos.isEmpty(); ++i) {
        const QString to = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i, 3, 10, QLatin1Char('0'));
        const QByteArray from = QFile::encodeName(photos[i % photos.size()]);
        if (::link(from.constData(), QFile::encodeName(to).constData()) != 0)
            return {};
    }
    return QStringLiteral("%1/photo000.jpg").arg(folder);
}

void writePreferences(const QString& home, bool strip)
{
    QDir().mkpath(home + QStringLiteral("/config/Pelu"));
    QFile conf(home + QStringLiteral("/config/Pelu/Pelu.conf"));
    if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
        conf.write(strip ? "[General]\nshowThumbnailBar=true\n" : "[General]\nshowThumbnailBar=false\n");
}

int cachedThumbnails(const QString& home)
{
    int count = 0;
    QDirIterator it(home + QStringLiteral("/cache/thumbnails"), {QStringLiteral("*.png")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

// Start to the screen's last change, the screen read until it has not changed for quietMs.
double launch(const bench::Settings& settings, const QString& file, const QString& home,
              ScreenWatch& screen, int quietMs, int timeoutMs)
{
    const ScreenWatch::Reading before = screen.read();
    ViewerProcess viewer(settings, file, home);
    std::vector<ScreenWatch::Reading> readings;
    double lastChange = bench::monotonicMs();
    quint64 last = before.print;
    readings = screen.watch(
        timeoutMs, [] { QCoreApplication::processEvents(); },
        [&] {
            const ScreenWatch::Reading now = screen.read();
            if (now.print != last) {
                last = now.print;
                lastChange = now.mono;
            }
            return now.mono > lastChange + quietMs;
        });
    return ScreenWatch::judge(before, readings, viewer.startMono()).complete;
}

} // namespace

void runRelaunchBench(const bench::Settings& settings, const bench::DataSet& data,
                      bench::Results& results)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("\nNo X display: the second launch's strip is left out.\n");
        return;
    }
    ScreenWatch screen;
    QTemporaryDir folder;
    if (!screen.isReady() || !folder.isValid())
        return;
    const QString first = fillFolder(folder.path(), data.photos);
    if (first.isEmpty()) {
        std::printf("\nCould not link the photos into a folder: the relaunch is left out.\n");
        return;
    }
    const int quietMs = settings.quick ? 1000 : 2500;
    std::vector<double> cold, warm, hidden;
    int cached = 0;
    // Interleaved: each round a fresh cache, its first and second launch, then the strip hidden.
    for (int run = 0; run < settings.repeats; ++run) {
        QTemporaryDir home;
        writePreferences(home.path(), true);
        cold.push_back(launch(settings, first, home.path(), screen, quietMs, 60000));
        cached = cachedThumbnails(home.path());
        warm.push_back(launch(settings, first, home.path(), screen, quietMs, 20000));
        writePreferences(home.path(), false);
        hidden.push_back(launch(settings, first, home.path(), screen, quietMs, 20000));
    }
    std::printf("\nA %d-photo folder with the strip shown, start to the screen's last change "
                "(ms; medians of %d rounds; %d thumbnails cached by the first launch):\n",
                kFolderSize, settings.repeats, cached);
    const auto row = [](const char* what, const std::vector<double>& samples) {
        std::printf("  %-46s", what);
        for (const double s : samples)
            std::printf(" %7.1f", s);
        std::printf("   median %.1f\n", bench::median(samples));
    };
    row("first launch (thumbnails made):", cold);
    row("second launch (thumbnails from the cache):", warm);
    row("the same photo with the strip hidden:", hidden);
    results.set(QStringLiteral("px_strip_first_launch_ms"), bench::median(cold));
    results.set(QStringLiteral("px_strip_second_launch_ms"), bench::median(warm));
    std::fflush(stdout);
}
