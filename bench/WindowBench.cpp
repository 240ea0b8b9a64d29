#include "WindowBench.h"

#include "ViewerProcess.h"

#include <QFileInfo>
#include <cstdio>

namespace bench {

namespace {

constexpr int kStepWidth = 1280, kStepHeight = 800;

bool isFrame(const TraceLine& line)
{
    return line.event == QLatin1String("frame");
}

QString shownFile(const TraceLine& frame)
{
    return frame.detail.section(QLatin1Char(' '), 0, 0);
}

struct Waits {
    int settleMs;  // after a step, for the neighbours to be decoded ahead
    int holdMs;    // how long Right is held
    int timeoutMs; // for a frame that should come
};

Waits waitsFor(const Settings& settings)
{
    return settings.quick ? Waits{600, 800, 20000} : Waits{3000, 3000, 60000};
}

void report(const char* what, const std::vector<double>& samples)
{
    std::printf("  %-52s", what);
    for (const double s : samples)
        std::printf(" %7.1f", s);
    std::printf("   median %.1f\n", median(samples));
}

// Opens the first photo, then steps twice, each step some seconds after the previous one, in a
// 1280 x 800 window: the first frame after exec, each step's first frame, and the peak memory
// once three photos have been shown.
void coldFrameAndSteps(const Settings& settings, const DataSet& data, Keyboard& keyboard,
                       Results& results)
{
    const Waits waits = waitsFor(settings);
    std::vector<double> cold, steps, rss;
    for (int run = 0; run < settings.repeats; ++run) {
        ViewerProcess viewer(settings, data.photos.first());
        const auto first = viewer.waitFor(isFrame, waits.timeoutMs);
        if (!first)
            continue;
        cold.push_back(first->mono - viewer.startMono());
        if (!viewer.placeWindow(kStepWidth, kStepHeight))
            continue;
        viewer.runFor(waits.settleMs);
        for (int step = 1; step <= 2; ++step) {
            const size_t from = viewer.lines().size();
            keyboard.send(QStringLiteral("key Right"));
            const auto key = viewer.waitForEvent(QStringLiteral("key"), waits.timeoutMs, from);
            const QString expected = QFileInfo(data.photos[step]).fileName();
            const auto frame = viewer.waitFor(
                [&](const TraceLine& l) { return isFrame(l) && shownFile(l) == expected; },
                waits.timeoutMs, from);
            if (key && frame)
                steps.push_back(frame->mono - key->mono);
            viewer.runFor(waits.settleMs);
        }
        rss.push_back(viewer.peakRssMb());
    }
    report("exec to first frame, 24 MP JPEG (ms):", cold);
    report("key to first frame of the next photo (ms):", steps);
    report("peak RSS after three photos (MiB):", rss);
    if (!cold.empty())
        results.set(QStringLiteral("cold_frame_ms"), median(cold));
    if (!steps.empty())
        results.set(QStringLiteral("step_frame_ms"), median(steps));
    if (!rss.empty())
        results.set(QStringLiteral("rss_3x24mp_mb"), median(rss));
}

// Exec to the first frame of this file, once per repeat, each run a fresh process.
std::vector<double> firstFrames(const Settings& settings, const QString& file)
{
    std::vector<double> samples;
    for (int run = 0; run < settings.repeats; ++run) {
        ViewerProcess viewer(settings, file);
        if (const auto first = viewer.waitFor(isFrame, waitsFor(settings).timeoutMs))
            samples.push_back(first->mono - viewer.startMono());
    }
    return samples;
}

// The plain Qt program on the same files: what the platform itself costs to a first frame.
void plainReference(const Settings& settings, const DataSet& data, Results& results)
{
    Settings plain = settings;
    plain.viewer = QStringLiteral(PLAIN_VIEWER);
    const std::vector<double> cold = firstFrames(plain, data.photos.first());
    const std::vector<double> small = firstFrames(plain, data.pngs.first());
    report("plain Qt program, exec to first frame, 24 MP JPEG:", cold);
    report("plain Qt program, exec to first frame, 64x64 PNG:", small);
    if (!cold.empty())
        results.set(QStringLiteral("plain_cold_frame_ms"), median(cold));
    if (!small.empty())
        results.set(QStringLiteral("plain_small_frame_ms"), median(small));
}

void smallFirstFrame(const Settings& settings, const DataSet& data, Results& results)
{
    const std::vector<double> samples = firstFrames(settings, data.pngs.first());
    report("exec to first frame, 64x64 PNG among the folder (ms):", samples);
    if (!samples.empty())
        results.set(QStringLiteral("small_first_frame_ms"), median(samples));
}

// A file opened at start whose first frame is a reduced copy it carries (a HEIF thumbnail, a
// camera's preview): exec to that frame, and to the frame of the whole picture.
void previewedFrames(const Settings& settings, const QString& file, const char* name,
                     Results& results)
{
    const int timeoutMs = waitsFor(settings).timeoutMs;
    std::vector<double> first, whole;
    for (int run = 0; run < settings.repeats; ++run) {
        ViewerProcess viewer(settings, file);
        const auto frame = viewer.waitFor(isFrame, timeoutMs);
        const auto sharp = viewer.waitFor(
            [](const TraceLine& l) {
                return isFrame(l) && !l.detail.contains(QLatin1String("preview")) &&
                       !l.detail.contains(QLatin1String("stand-in"));
            },
            timeoutMs);
        if (!frame || !sharp)
            continue;
        first.push_back(frame->mono - viewer.startMono());
        whole.push_back(sharp->mono - viewer.startMono());
    }
    const QString upper = QString::fromLatin1(name).toUpper();
    report(qPrintable(QStringLiteral("exec to first frame, 24 MP %1 (ms):").arg(upper)), first);
    report(qPrintable(QStringLiteral("exec to the whole %1 on screen (ms):").arg(upper)), whole);
    if (!first.empty())
        results.set(QStringLiteral("%1_first_frame_ms").arg(QLatin1String(name)), median(first));
    if (!whole.empty())
        results.set(QStringLiteral("%1_whole_frame_ms").arg(QLatin1String(name)), median(whole));
}

// What showing the HDR HEIC costs against the same photo as SDR, first frame and whole.
void hdrRatios(const Results& results)
{
    for (const char* figure : {"first_frame_ms", "whole_frame_ms"}) {
        const QString hdr = QStringLiteral("hdr_heic_%1").arg(QLatin1String(figure));
        const QString sdr = QStringLiteral("sdr_heic_%1").arg(QLatin1String(figure));
        if (results.has(hdr) && results.has(sdr) && results.value(sdr) > 0)
            std::printf("  %-52s x%.2f\n",
                        qPrintable(QStringLiteral("HDR against SDR HEIC, %1:").arg(figure)),
                        results.value(hdr) / results.value(sdr));
    }
}

// Holds Right over the photos, then lets go: how far the viewer goes on after the release and
// how much memory it took on the way.
void burst(const Settings& settings, const DataSet& data, Keyboard& keyboard, Results& results)
{
    const Waits waits = waitsFor(settings);
    std::vector<double> overshoot, rss, shown;
    for (int run = 0; run < settings.repeats; ++run) {
        ViewerProcess viewer(settings, data.photos.first());
        if (!viewer.waitFor(isFrame, waits.timeoutMs) ||
            !viewer.placeWindow(kStepWidth, kStepHeight))
            continue;
        viewer.runFor(waits.settleMs);
        const size_t from = viewer.lines().size();
        keyboard.send(QStringLiteral("keydown Right"));
        viewer.runFor(waits.holdMs);
        const double released = keyboard.send(QStringLiteral("keyup Right"));
        viewer.runFor(waits.settleMs);
        // A step shows a new photo: its first frame counts, not the ones that refine it.
        double lastStep = 0;
        QString current;
        int steps = 0;
        for (size_t i = from; i < viewer.lines().size(); ++i) {
            const TraceLine& line = viewer.lines()[i];
            if (isFrame(line) && shownFile(line) != current) {
                current = shownFile(line);
                lastStep = line.mono;
                ++steps;
            }
        }
        overshoot.push_back(std::max(0.0, lastStep - released));
        rss.push_back(viewer.peakRssMb());
        shown.push_back(steps);
    }
    report("photos shown while Right was held:", shown);
    report("key release to the last step (ms):", overshoot);
    report("peak RSS of the burst (MiB):", rss);
    if (!overshoot.empty()) {
        results.set(QStringLiteral("burst_overshoot_ms"), median(overshoot));
        results.set(QStringLiteral("burst_rss_mb"), median(rss));
    }
}

// The 200 MP photo must show (its full image too) and the 260 MP one be refused.
void hugeFiles(const Settings& settings, const DataSet& data, Results& results)
{
    const Waits waits = waitsFor(settings);
    bool allOk = true;
    std::vector<double> rss, refusedRss;
    for (int run = 0; run < settings.repeats; ++run) {
        {
            ViewerProcess viewer(settings, data.hugeJpeg);
            // The whole picture, not its stand-in or the preview shown before it.
            const auto frame = viewer.waitFor(
                [](const TraceLine& l) {
                    return isFrame(l) && !l.detail.endsWith(QLatin1String("stand-in")) &&
                           !l.detail.endsWith(QLatin1String("preview"));
                },
                waits.timeoutMs);
            // Once the full image is in: a frame of it, or a second of quiet.
            viewer.runFor(1000);
            allOk = allOk && frame.has_value();
            rss.push_back(viewer.peakRssMb());
        }
        ViewerProcess refused(settings, data.refusedJpeg);
        const bool said =
            refused.waitForEvent(QStringLiteral("refused"), waits.timeoutMs).has_value();
        refused.runFor(300);
        const bool drewNothing =
            std::none_of(refused.lines().begin(), refused.lines().end(), isFrame);
        allOk = allOk && said && drewNothing;
        refusedRss.push_back(refused.peakRssMb());
    }
    report("peak RSS showing the 200 MP photo (MiB):", rss);
    report("peak RSS refusing the 260 MP photo (MiB):", refusedRss);
    results.set(QStringLiteral("huge_open_ok"), allOk ? 1 : 0);
    if (!rss.empty())
        results.set(QStringLiteral("huge_rss_mb"), median(rss));
}

} // namespace

void runWindowBench(const Settings& settings, const DataSet& data, Results& results)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("\nNo X display: the real window's figures are left out.\n");
        return;
    }
    Keyboard keyboard;
    if (!keyboard.isReady()) {
        std::printf("\nxdotool did not start: the real window's figures are left out.\n");
        return;
    }
    std::printf("\nThe real window (%s), each run a fresh process:\n", qPrintable(settings.viewer));
    coldFrameAndSteps(settings, data, keyboard, results);
    smallFirstFrame(settings, data, results);
    if (!data.heic.isEmpty())
        previewedFrames(settings, data.heic, "heic", results);
    if (!data.cameraDng.isEmpty())
        previewedFrames(settings, data.cameraDng, "dng", results);
    if (!data.jxl.isEmpty())
        previewedFrames(settings, data.jxl, "jxl", results);
    if (!data.hdrHeic.isEmpty() && !data.sdrHeic.isEmpty()) {
        previewedFrames(settings, data.sdrHeic, "sdr_heic", results);
        previewedFrames(settings, data.hdrHeic, "hdr_heic", results);
        hdrRatios(results);
    }
    plainReference(settings, data, results);
    burst(settings, data, keyboard, results);
    hugeFiles(settings, data, results);
    std::fflush(stdout);
}

} // namespace bench
