#pragma once

#include "BenchSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <vector>

namespace bench {

// One line of the viewer's frame trace.
struct TraceLine {
    QString event;
    double mono = 0; // CLOCK_MONOTONIC, ms
    QString detail;
};

// build/pelu on one file, its trace on, with a settings, cache and runtime folder of its own (so
// no earlier preference, thumbnail or running instance plays a part, and the user's thumbnail
// cache is left alone), killed when this goes. home: those folders under it instead, for
// launches that are to find what an earlier one left.
class ViewerProcess {
public:
    ViewerProcess(const Settings& settings, const QString& file, const QString& home = {});
    ~ViewerProcess();

    // The monotonic clock just before the process was started.
    double startMono() const { return m_startMono; }
    // The first line from now on (or among those already read, from index from) that matches.
    std::optional<TraceLine> waitFor(const std::function<bool(const TraceLine&)>& wanted,
                                     int timeoutMs, size_t from = 0);
    std::optional<TraceLine> waitForEvent(const QString& event, int timeoutMs, size_t from = 0);
    void runFor(int milliseconds);
    const std::vector<TraceLine>& lines() const { return m_lines; }
    // The peak resident memory of the process so far (VmHWM), in MiB (the keys say "mb").
    double peakRssMb() const;
    // Finds the window, gives it this size at the top left corner and the keyboard focus.
    bool placeWindow(int width, int height);
    // A second launch on file, as a file manager would start one: it hands the file to this
    // viewer and ends. The monotonic clock when it ended; negative when it failed.
    double handOver(const QString& file);

private:
    void readTrace();

    QTemporaryDir m_home;
    QProcess m_process;
    QString m_viewer;
    double m_startMono = 0;
    QByteArray m_pending;
    std::vector<TraceLine> m_lines;
};

// One xdotool that reads commands from its standard input, so a key goes out without starting
// a program.
class Keyboard {
public:
    Keyboard();
    ~Keyboard();
    bool isReady() const { return m_process.state() == QProcess::Running; }
    // Returns once the command is written; the monotonic clock then.
    double send(const QString& command);

private:
    QProcess m_process;
};

// The environment the viewer should see: the bench itself runs on the offscreen platform.
void rememberViewerPlatform(const QByteArray& platform);

} // namespace bench
