#include "PixelBench.h"

#include "ScreenWatch.h"
#include "ViewerProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

namespace {

using bench::ScreenWatch;
using bench::TraceLine;
using bench::ViewerProcess;

constexpr int kWidth = 1280, kHeight = 800;

// One figure's samples: the screen's first change, the screen complete, and the trace's frame.
struct Figure {
    std::vector<double> first, complete, trace;
    void add(const ScreenWatch::Outcome& o, double traced)
    {
        if (o.firstChange >= 0)
            first.push_back(o.firstChange);
        if (o.complete >= 0)
            complete.push_back(o.complete);
        if (traced >= 0)
            trace.push_back(traced);
    }
};

bool isFrame(const TraceLine& line)
{
    return line.event == QLatin1String("frame");
}

void pump()
{
    QCoreApplication::processEvents();
}

void report(bench::Results& results, const char* what, const char* key, const Figure& f)
{
    std::printf("  %-46s screen first %7.1f  complete %7.1f  trace %7.1f   (n=%zu)\n", what,
                bench::median(f.first), bench::median(f.complete), bench::median(f.trace),
                f.first.size());
    results.set(QStringLiteral("px_%1_first_ms").arg(QLatin1String(key)), bench::median(f.first));
    results.set(QStringLiteral("px_%1_complete_ms").arg(QLatin1String(key)),
                bench::median(f.complete));
}

int settleMs(const bench::Settings& s)
{
    return s.quick ? 600 : 2500;
}

// Start to the file on screen: the screen read from just before the process starts.
void coldStart(const bench::Settings& settings, const QString& file, ScreenWatch& screen,
               Figure& figure)
{
    const ScreenWatch::Reading before = screen.read();
    ViewerProcess viewer(settings, file);
    std::optional<TraceLine> frame;
    const auto readings = screen.watch(settings.quick ? 4000 : 6000, pump, [&] {
        // A second after the first traced frame the start is over.
        if (!frame)
            frame = viewer.waitFor(isFrame, 0);
        return frame && bench::monotonicMs() > frame->mono + 1000;
    });
    figure.add(ScreenWatch::judge(before, readings, viewer.startMono()),
               frame ? frame->mono - viewer.startMono() : -1);
}

// A viewer from outside the project, started on a file of its folder: it writes no trace, so
// only the screen counts, watched for a fixed while.
void peerStart(const QString& program, const QStringList& arguments, ScreenWatch& screen,
               Figure& figure)
{
    const ScreenWatch::Reading before = screen.read();
    QProcess peer;
    peer.setStandardOutputFile(QProcess::nullDevice());
    peer.setStandardErrorFile(QProcess::nullDevice());
    const double start = bench::monotonicMs();
    peer.start(program, arguments);
    const auto readings = screen.watch(2500, pump);
    figure.add(ScreenWatch::judge(before, readings, start), -1);
    peer.kill();
    peer.waitForFinished(2000);
}

// Right, twice, in the placed window; from the key as the viewer got it.
void steps(const bench::Settings& settings, const bench::DataSet& data, ScreenWatch& screen,
           bench::Keyboard& keyboard, Figure& figure)
{
    ViewerProcess viewer(settings, data.photos.first());
    if (!viewer.waitFor(isFrame, 60000) || !viewer.placeWindow(kWidth, kHeight))
        return;
    viewer.runFor(settleMs(settings));
    for (int step = 1; step <= 2; ++step) {
        const size_t from = viewer.lines().size();
        const ScreenWatch::Reading before = screen.read();
        keyboard.send(QStringLiteral("key Right"));
        const auto readings = screen.watch(1000, pump);
        const auto key = viewer.waitForEvent(QStringLiteral("key"), 5000, from);
        const QString name = QFileInfo(data.photos[step]).fileName();
        const auto frame = viewer.waitFor(
            [&](const TraceLine& l) { return isFrame(l) && l.detail.startsWith(name); }, 5000,
            from);
        if (key)
            figure.add(ScreenWatch::judge(before, readings, key->mono),
                       frame ? frame->mono - key->mono : -1);
        viewer.runFor(settleMs(settings));
    }
}

// A file handed over to the window showing the first photo: from the second launch's end.
// answered: how long a key pressed just after waits to be taken.
void handOver(const bench::Settings& settings, const bench::DataSet& data, const QString& file,
              ScreenWatch& screen, bench::Keyboard& keyboard, Figure& figure,
              std::vector<double>& answered)
{
    ViewerProcess viewer(settings, data.photos.first());
    if (!viewer.waitFor(isFrame, 60000) || !viewer.placeWindow(kWidth, kHeight))
        return;
    viewer.runFor(settleMs(settings));
    const size_t from = viewer.lines().size();
    const ScreenWatch::Reading before = screen.read();
    const double delivered = viewer.handOver(file);
    if (delivered < 0)
        return;
    const double sent = keyboard.send(QStringLiteral("key shift"));
    const auto readings = screen.watch(settings.quick ? 2000 : 5000, pump);
    const auto key = viewer.waitFor(
        [](const TraceLine& l) {
            return l.event == QLatin1String("key") && l.detail == QLatin1String("Shift");
        },
        10000, from);
    if (key)
        answered.push_back(key->mono - sent);
    const QString name = QFileInfo(file).fileName();
    const auto frame = viewer.waitFor(
        [&](const TraceLine& l) { return isFrame(l) && l.detail.startsWith(name); }, 10000, from);
    figure.add(ScreenWatch::judge(before, readings, delivered),
               frame ? frame->mono - delivered : -1);
}

} // namespace

void runPixelBench(const bench::Settings& settings, const bench::DataSet& data,
                   bench::Results& results)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("\nNo X display: the screen's figures are left out.\n");
        return;
    }
    ScreenWatch screen;
    bench::Keyboard keyboard;
    if (!screen.isReady() || !keyboard.isReady()) {
        std::printf("\nNo X connection or xdotool: the screen's figures are left out.\n");
        return;
    }
    bench::Settings plain = settings;
    plain.viewer = QStringLiteral(PLAIN_VIEWER);
    Figure cold, fehCold, folder, plainFolder, fehFolder, step, heic, jpeg;
    // The peer the starts are compared with, when installed: the photo in the steps' window,
    // the PNG in a window as big as the plain program's.
    const QString feh = QStandardPaths::findExecutable(QStringLiteral("feh"));
    const auto fehArguments = [](const QString& file, const QString& geometry) {
        return QStringList{QStringLiteral("--geometry"), geometry, QStringLiteral("--scale-down"),
                           QStringLiteral("--start-at"), file,     QFileInfo(file).path()};
    };
    std::vector<double> heicAnswered, jpegAnswered;
    // Interleaved: each round runs every case once, so load that comes and goes hits all alike.
    for (int run = 0; run < settings.repeats; ++run) {
        coldStart(settings, data.photos.first(), screen, cold);
        coldStart(settings, data.pngs.first(), screen, folder);
        coldStart(plain, data.pngs.first(), screen, plainFolder);
        if (!feh.isEmpty()) {
            peerStart(feh, fehArguments(data.photos.first(), QStringLiteral("1280x800+0+0")),
                      screen, fehCold);
            peerStart(feh, fehArguments(data.pngs.first(), QStringLiteral("400x300+0+0")), screen,
                      fehFolder);
        }
        steps(settings, data, screen, keyboard, step);
        if (!data.heic.isEmpty())
            handOver(settings, data, data.heic, screen, keyboard, heic, heicAnswered);
        handOver(settings, data, data.photos.last(), screen, keyboard, jpeg, jpegAnswered);
    }
    std::printf("\nThe screen, read every 2.5 ms (ms; medians of %d interleaved runs):\n",
                settings.repeats);
    report(results, "start to the 24 MP photo:", "cold", cold);
    if (!feh.isEmpty())
        report(results, "feh, the same photo:", "feh_cold", fehCold);
    report(results, "start in the 10,000-file folder:", "folder", folder);
    report(results, "plain Qt program, the same PNG:", "plain_folder", plainFolder);
    if (!feh.isEmpty())
        report(results, "feh, the same PNG in its folder:", "feh_folder", fehFolder);
    report(results, "key to the next photo (preloaded):", "step", step);
    report(results, "hand-over of a HEIC, to its picture:", "heic_jump", heic);
    report(results, "hand-over of a 24 MP JPEG, to its picture:", "jpeg_jump", jpeg);
    std::printf("  %-46s HEIC %7.1f  JPEG %7.1f\n",
                "a key pressed after the hand-over waits:", bench::median(heicAnswered),
                bench::median(jpegAnswered));
    results.set(QStringLiteral("px_heic_key_wait_ms"), bench::median(heicAnswered));
    results.set(QStringLiteral("px_jpeg_key_wait_ms"), bench::median(jpegAnswered));
    const double folderRatio = bench::median(folder.complete) / bench::median(plainFolder.complete);
    std::printf("  10,000-file folder against the plain Qt program: %.2f x\n", folderRatio);
    if (!feh.isEmpty()) {
        std::printf("  10,000-file folder against feh: %.2f x\n",
                    bench::median(folder.complete) / bench::median(fehFolder.complete));
        std::printf("  24 MP photo against feh's: first change %.2f x, complete %.2f x\n",
                    bench::median(cold.first) / bench::median(fehCold.complete),
                    bench::median(cold.complete) / bench::median(fehCold.complete));
    }
    std::fflush(stdout);
}
