#include "imaging/colour/HdrCurves.h"

#include <algorithm>
#include <cmath>

namespace imaging::detail {

namespace {

constexpr double kPqMaxNits = 10000.0;
constexpr double kPqM1 = 2610.0 / 16384;
constexpr double kPqM2 = 2523.0 / 4096 * 128;
constexpr double kPqC1 = 3424.0 / 4096;
constexpr double kPqC2 = 2413.0 / 4096 * 32;
constexpr double kPqC3 = 2392.0 / 4096 * 32;

} // namespace

double pqToNits(double signal)
{
    const double p = std::pow(std::clamp(signal, 0.0, 1.0), 1 / kPqM2);
    return kPqMaxNits * std::pow(std::max(p - kPqC1, 0.0) / (kPqC2 - kPqC3 * p), 1 / kPqM1);
}

double nitsToPq(double nits)
{
    const double y = std::pow(std::clamp(nits / kPqMaxNits, 0.0, 1.0), kPqM1);
    return std::pow((kPqC1 + kPqC2 * y) / (1 + kPqC3 * y), kPqM2);
}

double hlgToScene(double signal)
{
    constexpr double a = 0.17883277;
    constexpr double b = 1 - 4 * a;
    const double c = 0.5 - a * std::log(4 * a);
    const double e = std::clamp(signal, 0.0, 1.0);
    return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
}

double bt2390Eetf(double nits, double sourcePeak, double targetPeak)
{
    if (sourcePeak <= targetPeak)
        return nits;
    const double top = nitsToPq(sourcePeak);
    const double e1 = std::min(nitsToPq(nits) / top, 1.0);
    const double maxLum = nitsToPq(targetPeak) / top;
    const double knee = 1.5 * maxLum - 0.5;
    if (e1 < knee)
        return nits;
    // The Hermite spline from the knee, where it meets the straight line, to (1, maxLum).
    const double t = (e1 - knee) / (1 - knee);
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double e2 =
        (2 * t3 - 3 * t2 + 1) * knee + (t3 - 2 * t2 + t) * (1 - knee) + (-2 * t3 + 3 * t2) * maxLum;
    return pqToNits(e2 * top);
}

double srgbEncode(double linear)
{
    const double v = std::clamp(linear, 0.0, 1.0);
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

} // namespace imaging::detail
