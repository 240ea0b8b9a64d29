#include "HistogramBench.h"

#include "imaging/Histogram.h"
#include "imaging/ImageService.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kRuns = 7;
constexpr int kWidth = 6000, kHeight = 4000;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F> double medianMs(F&& run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

// Layered value noise: a random lattice, smoothly interpolated.
class Noise {
public:
    Noise(int cell, std::mt19937& random) : m_cell(cell)
    {
        m_columns = kWidth / cell + 2;
        std::uniform_real_distribution<float> unit(-1, 1);
        m_lattice.resize(size_t(m_columns) * size_t(kHeight / cell + 2));
        for (float& v : m_lattice)
            v = unit(random);
    }

    float at(int x, int y) const
    {
        const int cx = x / m_cell, cy = y / m_cell;
        const float fx = smooth(float(x % m_cell) / float(m_cell));
        const float fy = smooth(float(y % m_cell) / float(m_cell));
        const auto v = [this](int i, int j) { return m_lattice[size_t(j * m_columns + i)]; };
        const float top = v(cx, cy) + (v(cx + 1, cy) - v(cx, cy)) * fx;
        const float bottom = v(cx, cy + 1) + (v(cx + 1, cy + 1) - v(cx, cy + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    static float smooth(float t) { return t * t * (3 - 2 * t); }

    int m_cell;
    int m_columns;
    std::vector<float> m_lattice;
};

// A landscape: sky fading to the horizon, hills textured with several octaves of noise, and
// sensor grain, so the JPEG holds the mix of smooth areas and fine detail of a photograph.
QImage landscape()
{
    std::mt19937 random(24);
    const Noise hills(900, random), shapes(160, random), texture(24, random), fine(4, random);
    std::uniform_int_distribution<int> grain(-6, 6);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const float v = float(y) / kHeight;
        for (int x = 0; x < kWidth; ++x) {
            const float horizon = 0.45f + 0.12f * hills.at(x, 0) + 0.05f * shapes.at(x, y / 8);
            float r, g, b;
            if (v < horizon) {
                const float cloud = std::max(0.0f, shapes.at(x, y) + 0.4f * texture.at(x, y));
                r = 90 + 110 * v + 120 * cloud;
                g = 140 + 80 * v + 110 * cloud;
                b = 220 - 30 * v + 30 * cloud;
            } else {
                const float detail =
                    shapes.at(x, y) + 0.5f * texture.at(x, y) + 0.25f * fine.at(x, y);
                const float shade = 0.6f + 0.4f * (1 - v);
                r = shade * (70 + 50 * detail + 40 * hills.at(x, y));
                g = shade * (110 + 60 * detail);
                b = shade * (50 + 30 * detail);
            }
            const int n = grain(random);
            line[x] = qRgb(std::clamp(int(r) + n, 0, 255), std::clamp(int(g) + n, 0, 255),
                           std::clamp(int(b) + n, 0, 255));
        }
    }
    return image;
}

} // namespace

void runHistogramBench()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("landscape.jpg"));
    landscape().save(path, "JPEG", 92);

    const double decodeMs = medianMs([&] { imaging::decodeImage(path); });
    const QImage decoded = imaging::decodeImage(path).value_or(QImage());
    std::optional<imaging::HistogramData> counts;
    const double countMs = medianMs([&] { counts = imaging::computeHistogram(decoded); });
    // A 16-bit picture has no fast path: every sample is converted on its own.
    const QImage deep = decoded.convertToFormat(QImage::Format_RGBA64);
    const double deepMs = medianMs([&] { imaging::computeHistogram(deep); });
    const QSize miniMap(150, 100);
    QImage copy;
    const double copyMs = medianMs(
        [&] { copy = decoded.scaled(miniMap, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); });
    const double quickCopyMs = medianMs(
        [&] { copy = decoded.scaled(miniMap, Qt::IgnoreAspectRatio, Qt::FastTransformation); });

    qint64 samples = 0;
    for (const qint64 c : counts.value_or(imaging::HistogramData()).red)
        samples += c;
    const double ratio = countMs / decodeMs;
    std::printf("\nHistogram of a %dx%d photograph, JPEG quality 92 (median of %d)\n", kWidth,
                kHeight, kRuns);
    std::printf("%-48s %9.1f ms\n", "decode (imaging::decodeImage)", decodeMs);
    std::printf("%-48s %9.2f ms  (%lld samples)\n", "computeHistogram of the decoded image",
                countMs, samples);
    std::printf("%-48s %9.2f  (target at most 0.50: %s)\n", "ratio: histogram / decode", ratio,
                ratio <= 0.5 ? "ok" : "SLOW");
    std::printf("%-48s %9.2f ms\n", "computeHistogram of a 16-bit copy", deepMs);
    std::printf("%-48s %9.1f ms  (background)\n", "navigator copy 150x100, smooth", copyMs);
    std::printf("%-48s %9.2f ms  (user-interface thread)\n", "navigator copy 150x100, sampled",
                quickCopyMs);
}
