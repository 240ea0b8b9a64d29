#pragma once

#include <QString>

namespace base {

// Timing lines for the benchmark, on stderr, when PELU_TRACE_FRAMES=1: when a key arrived and
// when a frame showing a new picture reached the screen. Each line reads
//   pelu-trace <event> <ms since main began> <CLOCK_MONOTONIC ms> <detail>
// so that a program that started the viewer can measure from its own start of the process.
// Off, a call costs one test of a flag.
class FrameTrace {
public:
    static bool isOn() { return s_on; }
    // Reads the switch and takes the clock: the first thing main does.
    static void start();
    static void note(const char* event, const QString& detail = {});

private:
    static bool s_on;
};

} // namespace base
