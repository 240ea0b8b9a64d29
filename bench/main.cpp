// pelu-bench: the figures that say whether Pelu is fast, each with its target. It makes its own
// pictures, runs the reference programs (djpeg, vipsthumbnail) in the same invocation, times
// the image service, the model and the zoom surface in this process, then starts the real
// viewer under the current X display and reads its frame trace and its memory.
//
//   pelu-bench [--quick] [--json] [--data DIR] [--viewer PELU] [--only SECTIONS] [--repeats N]
//
// SECTIONS: a comma-separated choice of service, step, surface, strip, folder, window, pixels
// (the window's pixels read from the X server, beside the frame trace), relaunch (a folder's
// strip at the first and the second launch).
// --quick runs every section on tiny data with short waits: it shows that the bench still
// works, its figures mean nothing. --json ends the output with one JSON object of the figures.
// --repeats sets how many times each timing is taken (5): ratios of figures that move by
// milliseconds between runs, as the start's, want more.
#include "BenchData.h"
#include "FolderBench.h"
#include "PixelBench.h"
#include "RelaunchBench.h"
#include "Results.h"
#include "ServiceBench.h"
#include "StepBench.h"
#include "StripBench.h"
#include "SurfaceBench.h"
#include "ViewerProcess.h"
#include "WindowBench.h"
#include "imaging/support/Allocator.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

} // namespace

int main(int argc, char* argv[])
{
    // The bench's own widgets draw offscreen; the viewer it starts gets the display.
    bench::rememberViewerPlatform(qgetenv("QT_QPA_PLATFORM"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    imaging::keepFreedMemory(); // as the viewer does
    QApplication app(argc, argv);

    bench::Settings settings;
    bool json = false;
    QStringList only;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (a == QLatin1String("--quick")) {
            settings.quick = true;
        } else if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--data") && hasValue) {
            settings.dataDir = arguments[++i];
        } else if (a == QLatin1String("--viewer") && hasValue) {
            settings.viewer = arguments[++i];
        } else if (a == QLatin1String("--only") && hasValue) {
            only = arguments[++i].split(QLatin1Char(','));
        } else if (a == QLatin1String("--repeats") && hasValue && arguments[i + 1].toInt() > 0) {
            settings.repeats = arguments[++i].toInt();
        } else {
            std::fprintf(stderr, "usage: pelu-bench [--quick] [--json] [--data DIR] "
                                 "[--viewer PELU] [--only SECTIONS] [--repeats N]\n");
            return 2;
        }
    }
    if (settings.viewer.isEmpty())
        settings.viewer = QStringLiteral(PELU_BINARY);
    QTemporaryDir quickData;
    if (settings.dataDir.isEmpty())
        settings.dataDir =
            settings.quick ? quickData.path()
                           : QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data");
    if (settings.quick)
        settings.repeats = 2;
    const auto wanted = [&only](const char* section) {
        return only.isEmpty() || only.contains(QString::fromLatin1(section));
    };

    const QString loadBefore = loadAverage();
    const bench::DataSet data = bench::prepareData(settings);
    bench::Results results;
    if (wanted("service"))
        runServiceBench(settings, data, results);
    if (wanted("step"))
        runStepBench(settings, data, results);
    if (wanted("surface"))
        runSurfaceBench(settings, data, results);
    if (wanted("strip"))
        runStripBench(settings.quick);
    if (wanted("folder"))
        runFolderBench(settings.quick);
    if (wanted("window"))
        runWindowBench(settings, data, results);
    if (wanted("pixels"))
        runPixelBench(settings, data, results);
    if (wanted("relaunch"))
        runRelaunchBench(settings, data, results);

    results.printTable();
    std::printf("\nLoad average (1, 5, 15 min): %s at the start, %s at the end\n",
                qPrintable(loadBefore), qPrintable(loadAverage()));
    if (json)
        std::printf("%s\n", qPrintable(results.json()));
    std::fflush(stdout);
    // Thumbnail and decoding pools are not waited for.
    std::_Exit(0);
}
