#include "StepBench.h"

#include "state/AppState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QImage photograph(int seed)
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] =
                qRgb((x / 24 + seed * 40) & 255, (y * 255) / image.height(), ((x * y) >> 9) & 255);
    }
    return image;
}

// djpeg's full decode of the same file, the reference for "how fast can a JPEG be read".
double djpegMs(const QString& path)
{
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty())
        return -1;
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(djpeg, {path});
        process.waitForFinished(60000);
        times.push_back(msSince(timer));
    }
    return median(times);
}

} // namespace

void runStepBench()
{
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QList<QUrl> files;
    for (int i = 0; i < 3; ++i) {
        const QString path = dir.filePath(QStringLiteral("photo%1.jpg").arg(i + 1));
        photograph(i).save(path, "JPEG", 90);
        files.append(QUrl::fromLocalFile(path));
    }

    AppState state;
    std::vector<double> cold, warm;
    for (int run = 0; run < kRuns; ++run) {
        state.openFile(files[0]);
        while (state.preloadedImages().size() < 2)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);

        QElapsedTimer timer;
        timer.start();
        state.nextImage(); // neighbour ready
        warm.push_back(msSince(timer));

        while (state.preloadedImages().size() < 2)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        state.setPreloadedImages({});
        timer.start();
        state.nextImage(); // nothing ready: decodes here
        cold.push_back(msSince(timer));
    }
    const double reference = djpegMs(files[1].toLocalFile());

    std::printf("\nStep to the next 6000x4000 JPEG (median of %d)\n", kRuns);
    std::printf("%-44s %9.1f ms\n", "neighbour decoded ahead", median(warm));
    std::printf("%-44s %9.1f ms\n", "nothing ready (decode on this thread)", median(cold));
    if (reference > 0) {
        std::printf("%-44s %9.1f ms\n", "djpeg, same file (process included)", reference);
        std::printf("%-44s %9.2f\n", "ratio: cold step / djpeg", median(cold) / reference);
    }
}
